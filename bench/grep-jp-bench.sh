#!/bin/bash
# grep-jp-bench.sh [CORPUS] [SUFFIX] -- each character equivalence and fuzzy
# search on the Japanese corpus, in UTF-8, Shift-JIS and EUC-JP, timed in one
# run beside the plain search of the same pattern; prints the times, the ratio
# to the plain search and the line counts. SUFFIX picks the files: "" for the
# 17 MB texts (default), "-x12" for the large ones. Run by hand, never in CI.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
CORPUS=${1:-/tmp/talvo-corpus}
SUFFIX=${2:-}
MAKE_CORPUS=${MAKE_CORPUS:-$ROOT/../shared/bench/make-corpus.sh}
[[ -f $CORPUS/MANIFEST ]] || bash "$MAKE_CORPUS" "$CORPUS"
if [[ -z ${TALVO_GREP:-} ]]; then
  cmake -S "$ROOT" -B "$ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$ROOT/build-bench" -j 2 --target talvo-grep >/dev/null
  TALVO_GREP=$ROOT/build-bench/bin/talvo-grep
fi
BIN=$(mktemp -d)
trap 'rm -rf "$BIN"' EXIT
for n in wgrep.com dgrep.exe cgrep.exe; do ln -s "$TALVO_GREP" "$BIN/$n"; done

# Best of three wall-clock times, in seconds.
best() {
  local b=999 t s e
  for _ in 1 2 3; do
    s=$(date +%s.%N); "$@" >/dev/null || true; e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc -l)
    b=$(echo "if ($t < $b) $t else $b" | bc -l)
  done
  printf '%.3f' "$b"
}

printf '%-8s %-22s %-10s %8s %8s %7s %8s %8s\n' enc case pattern plain equiv ratio lines0 lines1
row() { # enc label pattern program flag
  local f=$CORPUS/ja/ja-$1$SUFFIX.txt prog=$BIN/$4
  cat "$f" >/dev/null
  local t0 t1 c0 c1
  t0=$(best "$prog" -c -e "$3" "$f")
  t1=$(best "$prog" "$5" -c -e "$3" "$f")
  c0=$("$prog" -c -e "$3" "$f" || true)
  c1=$("$prog" "$5" -c -e "$3" "$f" || true)
  printf '%-8s %-22s %-10s %8s %8s %6.2fx %8s %8s\n' "$1" "$2" "$3" "$t0" "$t1" \
    "$(echo "$t1 / $t0" | bc -l)" "$c0" "$c1"
}
for enc in utf8 cp932 eucjp; do
  row $enc "WGREP -j1 width" "ファイル" wgrep.com -j1
  row $enc "WGREP -j2 kana" "ファイル" wgrep.com -j2
  row $enc "WGREP -j4 long vowel" "データ" wgrep.com -j4
  row $enc "WGREP -j8 b/v rows" "バイオリン" wgrep.com -j8
  row $enc "WGREP -j15 all" "ファイル" wgrep.com -j15
  row $enc "DGREP -J7" "ファイル" dgrep.exe -J7
  row $enc "CGREP -Z fuzzy" "ファイル" cgrep.exe -Z
  row $enc "CGREP -Z fuzzy kanji" "日本" cgrep.exe -Z
done
