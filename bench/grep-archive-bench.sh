#!/usr/bin/env bash
# grep-archive-bench.sh [CORPUS] -- search inside a zip of the Japanese corpus:
# talvo-grep (YGREP -z) against ugrep -z on the same archive. Run by hand,
# after bench/install-peers.sh; never part of the test run.
# CORPUS is the directory made by /work/shared/bench/make-corpus.sh
# (default /tmp/talvo-corpus; it is made there when missing).
set -euo pipefail
CORPUS=${1:-/tmp/talvo-corpus}
HERE=$(cd "$(dirname "$0")/.." && pwd)
BIN=${TALVO_PROGRAM_DIR:-$HERE/build/bin}
RUNS=${RUNS:-5}
[[ -f $CORPUS/ja/ja-utf8.txt ]] || /work/shared/bench/make-corpus.sh "$CORPUS"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# One member per encoding plus the man-page tree: a few thousand members.
(cd "$CORPUS/ja" && zip -q -r "$WORK/ja.zip" ja-utf8.txt ja-cp932.txt ja-eucjp.txt tree)
ls -l "$WORK/ja.zip" | awk '{printf "archive: %s bytes\n", $5}'

best() { # best wall time of RUNS runs, in seconds
  local b=999999 t s e
  for ((i = 0; i < RUNS; i++)); do
    s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc); (($(echo "$t < $b" | bc))) && b=$t
  done
  echo "$b"
}
lines() { "$@" 2>/dev/null | wc -l; }

printf '%-14s %10s %10s %8s %10s %10s\n' pattern talvo_s ugrep_s ratio talvo_n ugrep_n
for pat in 'ファイル' 'コマンド' 'error' '[0-9]+年'; do
  t=$(best "$BIN/ygrep.exe" -z -e "$pat" "$WORK/ja.zip")
  u=$(best ugrep -z -e "$pat" "$WORK/ja.zip")
  tn=$(lines "$BIN/ygrep.exe" -z -e "$pat" "$WORK/ja.zip")
  un=$(lines ugrep -z -e "$pat" "$WORK/ja.zip")
  printf '%-14s %10.3f %10.3f %8.2f %10s %10s\n' "$pat" "$t" "$u" "$(echo "$t / $u" | bc -l)" "$tn" "$un"
done
