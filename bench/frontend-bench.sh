#!/bin/bash
# The front end's own cost of one search: the press of "&Grep" in the main
# window (offscreen) to the outcome on the status line, against the same
# command line started directly and against talvo-cmd started directly on the
# same batch file, interleaved in one run; with the processor time the front
# end spends per search and while it waits.
#
#   bench/frontend-bench.sh [BUILD_DIR] [--runs N] [--long-runs N] [--long-ms MS]
#                           [--files N] [--corpus SPEC --pattern P]
#
# BUILD_DIR is a configured build tree (Release for numbers that mean
# anything); without it the build tree holding $TALVO_BIN_DIR when that is
# one, else build-fbench/, configured in Release when it is new. The benchmark program is built there
# on request only (target talvo_frontend_bench). Cases: a search of a few
# hundred small generated files with matches, the same files without one, and
# one large file that takes about a second (--long-ms) to search. --corpus
# searches SPEC, a file-box text, for P in the first case instead.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ge 1 ] && [ "${1#-}" = "$1" ]; then
    build=$1
    shift
elif [ -n "${TALVO_BIN_DIR:-}" ] && [ -f "$TALVO_BIN_DIR/../CMakeCache.txt" ]; then
    build=$TALVO_BIN_DIR/..
else
    build=$top/build-fbench
    [ -f "$build/CMakeCache.txt" ] ||
        cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
build=$(cd "$build" && pwd)
[ -f "$build/CMakeCache.txt" ] || { echo "frontend-bench: $build is no build tree" >&2; exit 1; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$type" = Release ] || echo "frontend-bench: $build is a ${type:-default} build, not Release" >&2
cmake --build "$build" -j 2 --target talvo_frontend_bench > /dev/null

echo "front-end cost per search ($(uname -m), $(nproc) cores, ${type:-default} build)"
QT_QPA_PLATFORM=offscreen exec "$build/bench/talvo_frontend_bench" "$@"
