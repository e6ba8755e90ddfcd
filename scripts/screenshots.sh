#!/usr/bin/env bash
# Screenshots of Talvo under Xvfb with the Japanese font:
#   scripts/screenshots.sh OUTDIR [BUILD_PROGRAM_DIR]
# Drives the built talvo on a throw-away program directory as a user would and
# writes, each with its window frame:
#   OUTDIR/main-window.png    options hidden, after a search for 検索 in *.txt
#   OUTDIR/options-shown.png  the same with the option pages shown
#   OUTDIR/tiny-mode.png      the tiny mode (Page Up in the pattern box)
#   OUTDIR/busy-window.png    "Now busy ..." over the main window, searching a log
#   OUTDIR/command-sets.png   the command-set editor opened by "&List"
#   OUTDIR/result-view.png    talvo-view showing a result with line numbers
# Needs Xvfb, openbox, xdotool, xprop and xwininfo (x11-utils), xwd (x11-apps),
# iconv and convert (imagemagick). Every wait polls a condition with a time-out;
# every process started is ended on the way out, also when a step fails.
# TALVO_SHOTS_KEEP=1 keeps the program directory for a look afterwards.
set -euo pipefail
out=${1:?usage: scripts/screenshots.sh OUTDIR [BUILD_PROGRAM_DIR]}
bin=$(cd "${2:-build/bin}" && pwd)
for tool in Xvfb openbox xdotool xprop xwininfo xwd iconv convert; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-shots.XXXXXX")
pids=()
cleanup() {
    exec 4>&- 2>/dev/null || true
    # Newest first: talvo, then the window manager, then the X server.
    for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    if [[ ${TALVO_SHOTS_KEEP:-} == 1 ]]; then echo "kept: $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# until_true SECONDS COMMAND...: polls COMMAND until it succeeds.
until_true() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.1
    done
}
die() { echo "screenshots: $*" >&2; exit 1; }

# ---- Program directory ---------------------------------------------------------
home=$work/home
mkdir -p "$home"
for f in cgrep.exe dgrep.exe izgrep.exe jgrep.exe wgrep.com ygrep.exe talvo.html; do
    ln -s "$bin/$f" "$home/$f"
done
# Files to search, UTF-8.
printf '全文検索の使い方\n検索する語とファイルを入れて Grep を押す\n結果はエディタで開く\n' >"$home/manual.txt"
printf '会議のメモ\n来週までに検索画面を見直す\n' >"$home/memo.txt"
printf 'shopping list\nmilk, bread\n' >"$home/list.txt"
# talvo.ini and talvolst.ini are Shift-JIS text with CR LF lines. The editor is
# `true`, so the result opens nowhere; the file box starts with *.txt.
sjis() { iconv -f UTF-8 -t CP932; }
printf '%s\r\n' '[エディタ]' "ファイル名=$(command -v true)" \
    '[ディフォールトファイル]' 'ファイル名=*.txt' \
    '[TALVOオプション]' '起動時にﾃﾞｨﾌｫｰﾙﾄﾌｧｲﾙ=1' | sjis >"$home/talvo.ini"
# shellcheck disable=SC2016 # $K and $F are the templates' own placeholders
printf '%s\r\n' '[コマンドセット]' \
    '名前[1]=行番号つき' 'コマンドライン[1]=CGREP.EXE -n $K $F > RESULT00.TXT' \
    '名前[2]=ファイル名だけ' 'コマンドライン[2]=CGREP.EXE -l $K $F > RESULT00.TXT' \
    '名前[3]=かなカナ同一視' 'コマンドライン[3]=DGREP.EXE -J7 $K $F > RESULT00.TXT' | sjis >"$home/talvolst.ini"

# ---- Display and program ---------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
until_true 20 test -s "$work/display" || die "Xvfb did not start"
DISPLAY=:$(tr -d '\n' <"$work/display")
export DISPLAY
unset WAYLAND_DISPLAY
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
until_true 20 wm_running || die "openbox did not start"
(cd "$work" && QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 LANG=C.UTF-8 \
    exec "$bin/talvo" --home "$home") >"$work/talvo.log" 2>&1 &
talvo=$!
pids+=("$talvo")
# visible NAME: the first visible window of talvo whose title holds NAME.
visible() { xdotool search --all --onlyvisible --pid "$talvo" --name "$1" 2>/dev/null | head -n 1; }
find_window() { window=$(visible Sondel) && [[ -n $window ]]; }
until_true 30 find_window || die "no talvo window ($(head -c 500 "$work/talvo.log"))"
activate() { xdotool windowactivate --sync "$window" >/dev/null 2>&1; }
until_true 10 activate || die "the window could not be activated"

keys() { xdotool key --clearmodifiers --delay 40 "$@"; }
# Types into the focused box; Japanese too (xdotool maps each character onto a
# spare key code).
type_text() { xdotool type --clearmodifiers --delay 40 -- "$1"; }
title() { xdotool getwindowname "$window" 2>/dev/null; }
geometry() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: //p'; }
# frame ID: "WxH+X+Y" of the window with its window-manager frame, on the screen.
frame() {
    local x y w h l r t b
    read -r x y < <(xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF}
        /Absolute upper-left Y/ {y = $NF} END {print x, y}')
    read -r w h < <(xwininfo -id "$1" | awk '/Width:/ {w = $NF} /Height:/ {h = $NF}
        END {print w, h}')
    IFS=', ' read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null |
        sed -n 's/.* = //p')
    echo "$((w + ${l:-0} + ${r:-0}))x$((h + ${t:-0} + ${b:-0}))+$((x - ${l:-0}))+$((y - ${t:-0}))"
}
# painted_mean ID: the mean brightness of the window's contents, 0 … 1.
painted_mean() { xwd -silent -id "$1" 2>/dev/null | convert xwd:- -format '%[fx:mean]' info: 2>/dev/null; }
# place ID: "+X+Y", the window's contents' upper-left corner on the screen.
place() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF}
    /Absolute upper-left Y/ {y = $NF} END {printf "+%d+%d\n", x, y}'; }
# shot NAME ID [OVER_ID]: the window with its frame, and OVER_ID above it if
# given, once the frame's size and place have stayed put between two looks a
# tenth of a second apart and the window on top shows more than a black
# rectangle. The screen is read for the frames; each window's contents are read
# from the window itself and put in their place (the screen showed a dialog
# above a busy main window as a black rectangle).
shot() {
    local id=$2 top=${3:-$2} before now
    before=$(frame "$id")
    steady() {
        now=$(frame "$id")
        [[ $now == "$before" ]] && return 0
        before=$now
        return 1
    }
    # Through the window manager, so the frame is drawn as the active one.
    xdotool windowactivate --sync "$top" >/dev/null 2>&1 || true
    drawn() { awk -v m="$(painted_mean "$top")" 'BEGIN { exit !(m > 0.2) }'; }
    sleep 0.1
    until_true 5 steady || true
    until_true 5 drawn || echo "screenshots: $1: the window looks unpainted" >&2
    xdotool sync 2>/dev/null || true
    xwd -silent -root | convert xwd:- "$work/screen.png"
    for w in "$id" ${3:+"$3"}; do
        xwd -silent -id "$w" | convert xwd:- "$work/window.png"
        convert "$work/screen.png" "$work/window.png" -geometry "$(place "$w")" -composite \
            "$work/screen.png"
    done
    convert "$work/screen.png" -crop "$now" +repage -strip "$out/$1.png"
    echo "$out/$1.png"
}
# press_until SECONDS TEST KEY...: sends the keys, then polls TEST.
press_until() {
    local seconds=$1 test=$2
    shift 2
    keys "$@"
    until_true "$seconds" "$test"
}
result_file() { find "$home" -maxdepth 1 -iname RESULT00.TXT -size +0 | grep -q .; }
busy() { busy_window=$(visible 'Now busy') && [[ -n $busy_window ]]; }
idle() { ! busy; }

# ---- Main window after a search, options hidden and shown --------------------------
height=$(geometry "$window")
options_shown() { [[ $(geometry "$window") != "$height" ]]; }
options_hidden() { [[ $(geometry "$window") == "$height" ]]; }
# Line numbers and tag format ticked: alt+4 and alt+6 on the common page.
press_until 10 options_shown alt+o || die "Alt+O did not show the options"
keys alt+4 alt+6
press_until 10 options_hidden alt+o || die "Alt+O did not hide the options"
keys alt+k ctrl+a BackSpace
type_text '検索'
keys alt+f ctrl+a BackSpace
type_text '*.txt'
searched() { result_file && idle && [[ $(title) == "CGREP - *.txt" ]]; }
press_until 30 searched alt+g || die "Grep made no result (title '$(title)')"
shot main-window "$window"
press_until 10 options_shown alt+o || die "Alt+O did not show the options"
shot options-shown "$window"
press_until 10 options_hidden alt+o || die "Alt+O did not hide the options"

# ---- Tiny mode ------------------------------------------------------------------------
tiny() { [[ $(title) == *" < "* ]]; }
press_until 10 tiny alt+k Prior || die "Page Up did not reach the tiny mode (title '$(title)')"
shot tiny-mode "$window"
press_until 10 options_hidden Next || die "Page Down did not leave the tiny mode"

# ---- Busy window ------------------------------------------------------------------------
# A search that lasts until it is cancelled: a log file that is a pipe this
# script holds open and never writes to (a file name given whole is read even
# when it is a pipe; a wildcard passes over pipes).
mkfifo "$home/server.log"
exec 4<>"$home/server.log"
keys alt+f ctrl+a BackSpace
type_text 'server.log'
press_until 30 busy alt+k alt+g || die "no busy window appeared"
shot busy-window "$window" "$busy_window"
# Cancel through its access key; a click on the button if the key went astray.
if ! press_until 5 idle alt+c; then
    echo "screenshots: Alt+C left the busy window; clicking Cancel" >&2
    xdotool mousemove --window "$busy_window" 170 50 click 1
    until_true 10 idle || die "Cancel did not close the busy window"
fi
exec 4>&-
rm -f "$home/server.log"
until_true 10 activate || true

# ---- Command-set editor -------------------------------------------------------------------
editor_open() { editor=$(visible 'Edit Command Set') && [[ -n $editor ]]; }
press_until 10 editor_open alt+l || die "Alt+L opened no command-set editor"
xdotool windowactivate --sync "$editor" >/dev/null 2>&1 || true
# A set chosen from the list fills the two boxes.
named() { [[ $(painted_mean "$editor") != "$before_choice" ]]; }
before_choice=$(painted_mean "$editor")
keys alt+l Down
until_true 5 named || echo "screenshots: choosing a set changed nothing in the editor" >&2
shot command-sets "$editor"
hidden() { ! xwininfo -id "$editor" 2>/dev/null | grep -q IsViewable; }
press_until 10 hidden alt+o || die "OK did not close the command-set editor"
# One press of List has been seen to open the editor a second time once the
# first is closed; that one is closed too.
if until_true 2 editor_open; then
    echo "screenshots: the command-set editor opened again after OK; closing it" >&2
    xdotool windowactivate --sync "$editor" >/dev/null 2>&1 || true
    press_until 10 hidden alt+o || die "OK did not close the second command-set editor"
fi

# ---- Quit -----------------------------------------------------------------------------------
ended() { ! kill -0 "$talvo" 2>/dev/null; }
until_true 10 activate || true
press_until 30 ended alt+q || echo "screenshots: talvo still runs after Alt+Q; ended on the way out" >&2

# ---- Result view ------------------------------------------------------------------------------
# A result with line numbers over a few files, written by talvo-grep itself so
# the view knows what was searched for, then filtered by typing.
mkdir -p "$home/src"
printf '// 検索の入口\nint search(const char* word);\nint main() { return search("検索"); }\n' >"$home/src/main.c"
printf '/* 検索語の比較 */\nstatic int compare(const char* a, const char* b);\nint search(const char* word) {\n    return compare(word, "検索");\n}\n' >"$home/src/search.c"
(cd "$home" && ASAN_OPTIONS=detect_leaks=0 "$bin/cgrep.exe" -n -e '検索|search' '*.txt' 'src/*.c' >RESULT00.TXT) ||
    die "cgrep.exe wrote no result"
(cd "$work" && QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 LANG=C.UTF-8 \
    exec "$bin/talvo-view" "$home/RESULT00.TXT") >"$work/view.log" 2>&1 &
pids+=($!)
view_pid=$!
find_view() { view=$(xdotool search --all --onlyvisible --pid "$view_pid" --name 'talvo-view' 2>/dev/null | head -n 1) && [[ -n $view ]]; }
until_true 30 find_view || die "no talvo-view window ($(head -c 500 "$work/view.log"))"
xdotool windowsize --sync "$view" 760 420 >/dev/null 2>&1 || true
xdotool windowactivate --sync "$view" >/dev/null 2>&1 || true
keys Down
shot result-view "$view"
