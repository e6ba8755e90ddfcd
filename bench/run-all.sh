#!/bin/bash
# Runs every benchmark of this folder (bench/*-bench.sh) one after another,
# each with its own defaults. BIN_DIR, when given, is passed on as
# $TALVO_BIN_DIR to the benchmarks that time the built programs.
#
#   bench/run-all.sh [BIN_DIR]
#
# Run it by hand on an otherwise idle machine; a build running at the same
# time changes the numbers.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ $# -ge 1 ]; then
    TALVO_BIN_DIR=$(cd "$1" && pwd) || exit 1
    export TALVO_BIN_DIR
fi

failed=()
for script in "$here"/*-bench.sh; do
    [ -x "$script" ] || continue
    echo "== $(basename "$script")"
    "$script" || failed+=("$(basename "$script")")
    echo
done
if ((${#failed[@]})); then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
