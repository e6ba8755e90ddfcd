#!/usr/bin/env bash
# grep-bench.sh [CORPUS] -- times talvo-grep beside GNU grep, ripgrep and ugrep.
#
# Builds the corpus with make-corpus.sh when CORPUS (default
# /tmp/talvo-corpus) has none, builds talvo-grep in Release (build-bench/),
# then runs every case RUNS times (default 3) per program and prints the best
# wall time, the ratio to the fastest peer and the result line count, which
# must agree (a time with "*" gave another count than most: it is left out
# of the ratio). Run by hand on an otherwise idle machine; never from ctest.
# Beside talvo-grep's own choice between reading and mapping large files it
# shows each way forced (TALVO_GREP_READ=read, =map), beside ripgrep's
# default (a map) its --no-mmap reading, and after the times each program's
# peak resident memory in MiB (the largest of its runs, /usr/bin/time).
# ROWS, an extended regular expression, runs only the cases whose names it
# matches (ROWS='^ja ' for the Japanese ones, say). WARM is the command that
# puts the large files back into the page cache before each row (default
# cat); page-cache.py says how to time both kinds of machine on one.
# Peers and corpus packages: bench/install-peers.sh.
set -euo pipefail
export LC_ALL=C.UTF-8
ROOT=$(cd "$(dirname "$0")/.." && pwd)
CORPUS=${1:-/tmp/talvo-corpus}
RUNS=${RUNS:-3}
MAKE_CORPUS=${MAKE_CORPUS:-$ROOT/../shared/bench/make-corpus.sh}

[[ -f $CORPUS/MANIFEST ]] || bash "$MAKE_CORPUS" "$CORPUS"
if [[ -z ${TALVO_GREP:-} ]]; then
  cmake -S "$ROOT" -B "$ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$ROOT/build-bench" -j 2 --target talvo-grep >/dev/null
  TALVO_GREP=$ROOT/build-bench/bin/talvo-grep
fi
# The Windows-style name, as the front end starts it.
BIN=$(mktemp -d)
trap 'rm -rf "$BIN"' EXIT
ln -s "$TALVO_GREP" "$BIN/cgrep.exe"
ln -s "$TALVO_GREP" "$BIN/ygrep.exe"
CG=$BIN/cgrep.exe
YG=$BIN/ygrep.exe

OUT=$(mktemp)
MEM=$(mktemp)
# best DIR CMD... : best wall time in microseconds of RUNS runs; sets BEST,
# LINES and PEAK (the largest resident size in MiB).
best() {
  local dir=$1
  shift
  local t b= peak=0
  for ((i = 0; i < RUNS; i++)); do
    local s e
    s=$(date +%s%N)
    (cd "$dir" && /usr/bin/time -f %M -o "$MEM" "$@" >"$OUT" 2>/dev/null) || true
    e=$(date +%s%N)
    t=$(((e - s) / 1000))
    [[ -z $b || $t -lt $b ]] && b=$t
    local kib
    kib=$(tail -n 1 "$MEM")
    [[ $kib =~ ^[0-9]+$ && $kib -gt $peak ]] && peak=$kib
  done
  LINES=$(wc -l <"$OUT")
  # With -c the one line is the count.
  if [[ $LINES -eq 1 && $(cat "$OUT") =~ ^[0-9]+$ ]]; then LINES=$(cat "$OUT"); fi
  BEST=$b
  PEAK=$(((peak + 512) / 1024))
}

printf '%-26s %7s %7s %7s %7s %7s %7s %7s %6s %6s  %-21s %s\n' case talvo t:read t:map grep \
  rg rg:read ugrep ratio vsGNU "MiB talvo/grep/rg/ug" lines
row() { # row NAME DIR TALVO GREP RG UGREP (commands as strings; "-" = not run)
  local name=$1 dir=$2
  [[ -n ${ROWS:-} && ! $name =~ $ROWS ]] && return 0
  shift 2
  # Back into the page cache: on some machines the kernel or the host drops
  # cached pages within minutes, and a row then times the disk.
  ${WARM:-cat} "$C/big.txt" "$C"/ja/*-x12.txt >/dev/null
  [[ $dir == "$C/tree/"* ]] && find "$dir" -type f -exec ${WARM:-cat} {} + >/dev/null
  # talvo-grep with each way of reading forced, ripgrep reading instead of mapping.
  local rgRead=-
  [[ $3 != - ]] && rgRead="rg --no-mmap ${3#rg }"
  local cmds=("$1" "TALVO_GREP_READ=read $1" "TALVO_GREP_READ=map $1" "$2" "$3" "$rgRead" "$4")
  local times=() lines=() peaks=()
  for cmd in "${cmds[@]}"; do
    if [[ $cmd == - ]]; then
      times+=(-) lines+=(-) peaks+=(-)
      continue
    fi
    if [[ $cmd == TALVO_GREP_READ=* ]]; then
      local way=${cmd%% *}
      eval "best \"$dir\" env $way ${cmd#* }"
    else
      eval "best \"$dir\" $cmd"
    fi
    times+=("$BEST") lines+=("$LINES") peaks+=("$PEAK")
  done
  # The line count most programs give (talvo-grep counted once); a peer that
  # gives another (its -w reads words otherwise, say) answers another
  # question: it is starred and never the fastest peer of the ratio.
  local usual
  usual=$(printf '%s\n' "${lines[0]}" "${lines[@]:3}" | grep -v '^-$' | sort | uniq -c | sort -k1,1nr | head -n 1 | awk '{ print $2 }')
  local fastest= i
  for ((i = 3; i < ${#times[@]}; i++)); do
    [[ ${times[i]} == - || ${lines[i]} != "$usual" ]] && continue
    [[ -z $fastest || ${times[i]} -lt $fastest ]] && fastest=${times[i]}
  done
  local ratio=- vsgnu=-
  [[ -n $fastest ]] && ratio=$(awk -v a="${times[0]}" -v b="$fastest" 'BEGIN { printf "%.2f", a / b }')
  [[ ${times[3]} != - ]] && vsgnu=$(awk -v a="${times[0]}" -v b="${times[3]}" 'BEGIN { printf "%.2f", a / b }')
  local shown=()
  for ((i = 0; i < ${#times[@]}; i++)); do
    local t=${times[i]}
    if [[ $t == - ]]; then shown+=(-); else shown+=("$(awk -v t="$t" 'BEGIN { printf "%.3f", t / 1e6 }')"); fi
    [[ $t != - && ${lines[i]} != "$usual" ]] && shown[i]+="*"
  done
  local mem="${peaks[0]}/${peaks[3]}/${peaks[4]}/${peaks[6]}"
  printf '%-26s %7s %7s %7s %7s %7s %7s %7s %6s %6s  %-21s %s\n' "$name" "${shown[@]}" "$ratio" \
    "$vsgnu" "$mem" "${lines[*]}"
}

C=$CORPUS
row literal "$C" "$CG -e PM_RESUME big.txt" "grep PM_RESUME big.txt" \
  "rg --no-ignore PM_RESUME big.txt" "ugrep PM_RESUME big.txt"
row "literal -i" "$C" "$CG -i -e pm_resume big.txt" "grep -i pm_resume big.txt" \
  "rg --no-ignore -i pm_resume big.txt" "ugrep -i pm_resume big.txt"
row "alternation of 3" "$C" "$CG -e 'ERR_SYS|PME_TURN_OFF|LINK_REQ_RST_NOT' big.txt" \
  "grep -E 'ERR_SYS|PME_TURN_OFF|LINK_REQ_RST_NOT' big.txt" \
  "rg --no-ignore 'ERR_SYS|PME_TURN_OFF|LINK_REQ_RST_NOT' big.txt" \
  "ugrep 'ERR_SYS|PME_TURN_OFF|LINK_REQ_RST_NOT' big.txt"
row "class [A-Z]+_SUSPEND" "$C" "$CG -e '[A-Z]+_SUSPEND' big.txt" "grep -E '[A-Z]+_SUSPEND' big.txt" \
  "rg --no-ignore '[A-Z]+_SUSPEND' big.txt" "ugrep '[A-Z]+_SUSPEND' big.txt"
row "never matches" "$C" "$CG -e zqxjwvnomatch big.txt" "grep zqxjwvnomatch big.txt" \
  "rg --no-ignore zqxjwvnomatch big.txt" "ugrep zqxjwvnomatch big.txt"
row "count -c static" "$C" "$CG -c -e static big.txt" "grep -c static big.txt" \
  "rg --no-ignore -c static big.txt" "ugrep -c static big.txt"
# Word tests and the word search: the word character is decoded from the text.
row 'word \w+_RESUME\b' "$C" "$CG -c -e '\w+_RESUME\b' big.txt" "grep -E -c '\w+_RESUME\b' big.txt" \
  "rg --no-ignore -c '\w+_RESUME\b' big.txt" "ugrep -c '\w+_RESUME\b' big.txt"
row "word -w PM_RESUME" "$C" "$CG -w -c -e PM_RESUME big.txt" "grep -w -c PM_RESUME big.txt" \
  "rg --no-ignore -w -c PM_RESUME big.txt" "ugrep -w -c PM_RESUME big.txt"
row 'word \bn\w+e\b' "$C" "$CG -c -e '\bn\w+e\b' big.txt" "grep -E -c '\bn\w+e\b' big.txt" \
  "rg --no-ignore -c '\bn\w+e\b' big.txt" "ugrep -c '\bn\w+e\b' big.txt"
# The tree: hidden files included, no ignore files, links below the start not followed.
row "recursive -n tree" "$C/tree/linux-6.1" "$YG -r -n -e PM_RESUME '*.*'" "grep -rn PM_RESUME ." \
  "rg --no-ignore --hidden -n PM_RESUME" "ugrep -r --hidden -n PM_RESUME"
for k in utf8 cp932 eucjp; do
  f=ja/ja-$k-x12.txt
  case $k in
    utf8) rgenc=utf-8 gnu=yes ug=yes ;;
    cp932) rgenc=shift_jis gnu= ug= ;;
    eucjp) rgenc=euc-jp gnu= ug= ;;
  esac
  for p in 'ファイル' '[ぁ-ん]+する' 'オプション|ディレクトリ'; do
    # GNU grep on raw Shift-JIS or EUC-JP bytes reports false matches, and
    # ugrep reads neither encoding: those columns are left out.
    g=- u=-
    # GNU grep takes Japanese ranges only with -P in the C.UTF-8 locale; ugrep
    # takes the roff sources for binary without -a.
    [[ -n $gnu ]] && g="grep -P '$p' $f"
    [[ -n $ug ]] && u="ugrep -a '$p' $f"
    row "ja $k $p" "$C" "$CG -e '$p' $f" "$g" "rg --no-ignore -E $rgenc '$p' $f" "$u"
  done
done
# The word search in Japanese text: Shift-JIS and EUC-JP are held to the
# UTF-8 time of talvo-grep itself.
for k in utf8 cp932 eucjp; do
  f=ja/ja-$k-x12.txt
  case $k in
    utf8) rgenc=utf-8 g="grep -w -c ファイル $f" gb="grep -E -c '\bファイル' $f" u="ugrep -a -w -c ファイル $f" ;;
    cp932) rgenc=shift_jis g=- gb=- u=- ;;
    eucjp) rgenc=euc-jp g=- gb=- u=- ;;
  esac
  row "ja $k -w ファイル" "$C" "$CG -w -c -e ファイル $f" "$g" "rg --no-ignore -E $rgenc -w -c ファイル $f" "$u"
  row "ja $k \\bファイル" "$C" "$CG -c -e '\bファイル' $f" "$gb" "rg --no-ignore -E $rgenc -c '\bファイル' $f" -
done
rm -f "$OUT" "$MEM"
