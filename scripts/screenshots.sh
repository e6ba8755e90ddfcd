#!/usr/bin/env bash
# Screenshots of the main window under Xvfb with the Japanese font:
#   scripts/screenshots.sh OUTDIR [BUILD_PROGRAM_DIR]
# writes OUTDIR/main-window.png (options hidden) and OUTDIR/options-shown.png,
# plus OUTDIR/tiny-mode.png when the tiny mode can be reached from the keyboard.
# Needs Xvfb, openbox, xdotool, xwd (x11-apps) and convert (imagemagick).
# Every wait polls with a time-out; every process started is ended on the way out.
set -euo pipefail
out=${1:?usage: scripts/screenshots.sh OUTDIR [BUILD_PROGRAM_DIR]}
bin=$(cd "${2:-build/bin}" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-shots.XXXXXX")
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
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

home=$work/home
mkdir -p "$home"
for f in cgrep.exe dgrep.exe izgrep.exe jgrep.exe wgrep.com ygrep.exe talvo.html; do
    ln -s "$bin/$f" "$home/$f"
done
printf '[ディフォールトファイル]\r\nファイル名=*.txt\r\n[TALVOオプション]\r\n起動時にﾃﾞｨﾌｫｰﾙﾄﾌｧｲﾙ=1\r\n' |
    iconv -f UTF-8 -t CP932 >"$home/talvo.ini"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
until_true 20 test -s "$work/display"
export DISPLAY=:$(tr -d '\n' <"$work/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 "$bin/talvo" --home "$home" >/dev/null 2>&1 &
talvo=$!
pids+=("$talvo")
find_window() { window=$(xdotool search --onlyvisible --pid "$talvo" --name Sondel | head -n 1); }
until_true 30 find_window
xdotool windowactivate --sync "$window" >/dev/null
geometry() { xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p'; }
# shot NAME: the window as drawn, once its size has stayed put between two looks.
shot() {
    local before
    before=$(geometry)
    until_true 5 test "$(geometry)" = "$before" || true
    xdotool sync 2>/dev/null || true
    xwd -silent -frame -id "$window" | convert xwd:- "$out/$1.png"
    echo "$out/$1.png"
}
xdotool type --delay 30 -- '検索'
shot main-window
height=$(geometry)
xdotool key --clearmodifiers alt+o
changed() { [[ $(geometry) != "$height" ]]; }
until_true 10 changed && shot options-shown
xdotool key --clearmodifiers alt+o
until_true 10 test "$(geometry)" = "$height" || true
xdotool key --clearmodifiers alt+k Prior
tiny() { [[ $(xdotool getwindowname "$window") == *" < "* ]]; }
if until_true 5 tiny; then shot tiny-mode; else echo "tiny mode not reached from the keyboard; no tiny-mode.png"; fi
