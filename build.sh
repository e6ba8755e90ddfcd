#!/usr/bin/env bash
# ./build.sh run   installs what is missing, builds, and starts Talvo
# ./build.sh test  installs what is missing, builds with the sanitizers, runs every test
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
case "${1:-}" in
  run)  shift; make --no-print-directory build && exec build/bin/talvo "$@" ;;
  test) make --no-print-directory test ;;
  *)    echo "usage: ./build.sh run|test" >&2; exit 2 ;;
esac
