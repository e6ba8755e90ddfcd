#!/usr/bin/env bash
# Installs the built package and runs one search as an ordinary user, the way
# a user of a fresh machine would: the command of the menu entry, no program
# directory given, a search typed into the window under Xvfb.
#
#   scripts/check-package.sh [PACKAGE.deb]
#
# Run by hand as root (it installs the package and adds the user
# "talvo-check"); default package: the newest build/talvo_*.deb. Every wait
# polls with a time-out; every process started is ended on the way out.
set -euo pipefail
[[ $(id -u) -eq 0 ]] || { echo "run as root: it installs the package" >&2; exit 2; }
deb=${1:-$(find build -maxdepth 1 -name "talvo_*.deb" -printf "%T@ %p\n" 2>/dev/null | sort -rn | head -n 1 | cut -d" " -f2-)}
[[ -f $deb ]] || { echo "no package; build it with: make package" >&2; exit 2; }
deb=$(realpath "$deb")

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
user=talvo-check
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/talvo.desktop | sed 's/ %[fFuU]//')
echo "menu entry command: $exec_line"

work=$(mktemp -d)
chmod 755 "$work"
mkdir -p "$work/data"
printf 'one\nthe needle here\n東京の needle\nthree\n' >"$work/data/a.txt"
chmod -R a+rX "$work"
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    pkill -u "$user" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
until_true() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.1
    done
}
as_user() { runuser -u "$user" -- env HOME="$home" DISPLAY="$DISPLAY" LANG=C.UTF-8 "$@"; }

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
until_true 20 test -s "$work/display"
DISPLAY=:$(tr -d '\n' <"$work/display")
export DISPLAY
as_user openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
# shellcheck disable=SC2086 # the entry's command is a command line
as_user env QT_QPA_PLATFORM=xcb $exec_line >"$work/talvo.log" 2>&1 &
pids+=($!)
window=
find_window() { window=$(xdotool search --name 'Sondel' 2>/dev/null | head -n 1); [[ -n $window ]]; }
until_true 30 find_window || { echo "FAIL: no window ($(cat "$work/talvo.log"))"; exit 1; }
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true

dir=$home/.local/share/talvo
if [[ -L $dir/cgrep.exe ]]; then
    echo "ok: per-user program directory $dir with links"
else
    echo "FAIL: no per-user program directory at $dir"
    exit 1
fi
keys() { xdotool key --clearmodifiers --delay 40 "$@"; }
keys alt+k ctrl+a BackSpace
xdotool type --clearmodifiers --delay 40 -- needle
keys alt+f ctrl+a BackSpace
xdotool type --clearmodifiers --delay 40 -- "$work/data/a.txt"
keys alt+g
result() { [[ -s $dir/RESULT00.TXT ]] && grep -q '東京の needle' "$dir/RESULT00.TXT"; }
if until_true 30 result; then
    echo "ok: the search wrote $dir/RESULT00.TXT:"
    sed 's/^/    /' "$dir/RESULT00.TXT"
else
    echo "FAIL: no result in $dir ($(ls "$dir"))"
    exit 1
fi
keys alt+q
running() { pgrep -u "$user" -x talvo >/dev/null; }
quit() { ! running; }
if until_true 20 quit && [[ -s $dir/talvo.ini ]]; then
    echo "ok: Alt+Q ended it and saved $dir/talvo.ini"
else
    echo "FAIL: after Alt+Q: $(running && echo still running) $(ls "$dir")"
    exit 1
fi
