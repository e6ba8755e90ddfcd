#!/bin/bash
# The interpreter's own cost: running a batch file that holds one trivial
# command, against starting that command directly, many times each in one run.
# A second pair does the same for the three lines of a search batch file
# (label, a grep program into a result file, the marker copy) against the
# grep program started with the same redirection by the shell.
#
#   bench/cmd-bench.sh [BIN_DIR] [REPETITIONS]
#
# BIN_DIR (else $TALVO_BIN_DIR) holds talvo-cmd and talvo-grep of a Release
# build; without either, both are built in Release into build-bench-cmd/.
# Prints a table: total seconds, milliseconds per run, the ratio and the
# milliseconds the interpreter adds to each run.
set -euo pipefail

reps=${2:-1000}
bin=${1:-${TALVO_BIN_DIR:-}}
if [ -z "$bin" ]; then
    top=$(cd "$(dirname "$0")/.." && pwd)
    cmake -S "$top" -B "$top/build-bench-cmd" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build "$top/build-bench-cmd" -j 2 --target talvo-cmd talvo-grep > /dev/null
    bin=$top/build-bench-cmd/bin
fi
bin=$(cd "$bin" && pwd)
for program in talvo-cmd talvo-grep; do
    [ -x "$bin/$program" ] || { echo "cmd-bench: $bin/$program is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-cmd-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
ln -s "$bin/talvo-grep" cgrep.exe
truecmd=$(type -P true) # the program, not the shell built-in
printf '%s\r\n' "$truecmd" > ONE.BAT
printf 'int abc;\nint xyz;\n' > a.c
printf ': \x8e\xc0\x8d\x73\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc \x81\xa8 %s/WWW.BAT\r\n' "$work" > WWW.BAT
printf 'CGREP.EXE -e abc a.c > RESULT00.TXT\r\nCopy WWW.BAT XXX.BAT\r\n' >> WWW.BAT

now() { date +%s%N; }

# Each loop runs one command REPS times from this shell, its standard output
# (COPY's "1 file(s) copied.") thrown away; the shell's own start cost is the
# same in both columns of a pair.
time_loop() {
    local start end
    start=$(now)
    for ((i = 0; i < reps; i++)); do "$@" > /dev/null; done
    end=$(now)
    echo $((end - start))
}

direct_search() { "$work/cgrep.exe" -e abc a.c > RESULT00.TXT; cp WWW.BAT XXX.BAT; }

# One warm-up of each, so the first run's page-cache misses count nowhere.
{ "$bin/talvo-cmd" ONE.BAT; "$truecmd"; "$bin/talvo-cmd" WWW.BAT; direct_search; } > /dev/null

t_one=$(time_loop "$bin/talvo-cmd" ONE.BAT)
t_true=$(time_loop "$truecmd")
t_batch=$(time_loop "$bin/talvo-cmd" WWW.BAT)
t_search=$(time_loop direct_search)
grep -q 'int abc;' RESULT00.TXT || { echo "cmd-bench: the search found nothing" >&2; exit 1; }

row() { # name batch-ns direct-ns
    awk -v name="$1" -v b="$2" -v d="$3" -v n="$reps" 'BEGIN {
        printf "%-26s %9.3f %9.3f %8.3f %8.3f %7.2f %8.3f\n", name, b / 1e9, d / 1e9,
               b / n / 1e6, d / n / 1e6, b / d, (b - d) / n / 1e6 }'
}
echo "talvo-cmd cost, $reps runs each ($(uname -m), $(nproc) cores)"
printf '%-26s %9s %9s %8s %8s %7s %8s\n' case "batch s" "direct s" "batch ms" "direct ms" ratio "added ms"
row "one trivial command" "$t_one" "$t_true"
row "search file (3 lines)" "$t_batch" "$t_search"
