#!/usr/bin/env bash
# End to end on a real X display: starts Xvfb and openbox, starts the built
# talvo on a throw-away program directory and drives it from outside with
# xdotool as a user would, then checks what it left behind.
#
#   tests/e2e/run-e2e.sh [BUILD_PROGRAM_DIR]
#
# BUILD_PROGRAM_DIR holds talvo, talvo-cmd, talvo-grep with its six names and
# talvo.html (default: $TALVO_PROGRAM_DIR, else build/bin). Prints one SKIP line
# and exits 0 when Xvfb, openbox or xdotool is missing. Every wait polls a
# condition (a window title, a file, a process) with a time-out; the script
# never sleeps a fixed time to let something happen. Every process it starts
# is ended on the way out, also when a step fails.
#
# TALVO_E2E_KEEP=1 keeps the program directory for a look afterwards.
set -uo pipefail
# The window runs searches and takes the page keys: a missing step is a failure.
TALVO_E2E_STRICT=${TALVO_E2E_STRICT:-1}

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-${TALVO_PROGRAM_DIR:-$here/../../build/bin}}
bin=$(cd "$bin" 2>/dev/null && pwd) || {
    echo "FAIL: no program directory ${1:-${TALVO_PROGRAM_DIR:-build/bin}}"
    exit 1
}

missing=()
for tool in Xvfb openbox xdotool iconv; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if ((${#missing[@]})); then
    echo "SKIP: end-to-end test needs ${missing[*]} (scripts/install-deps.sh installs them)"
    exit 0
fi
for f in talvo talvo-cmd talvo-grep cgrep.exe talvo.html; do
    [[ -e $bin/$f ]] || { echo "FAIL: $bin/$f is missing; build first"; exit 1; }
done

# ---- Clean-up ----------------------------------------------------------------
pids=()
work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-e2e.XXXXXX")
cleanup() {
    local pid
    # Newest first: talvo, then the window manager, then the X server.
    for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
        pid=${pids[i]}
        kill -TERM "$pid" 2>/dev/null || continue
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            wait_a_little
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    if [[ ${TALVO_E2E_KEEP:-} == 1 ]]; then
        echo "kept: $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Polling step of every wait: a short pause between two looks at a condition.
wait_a_little() { sleep 0.1; }

failures=0
passed=0
step() { echo "---- $*"; }
ok() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Stops at once: later steps would only repeat the failure.
fatal() {
    fail "$@"
    finish
}
finish() {
    echo "e2e: $passed passed, $failures failed"
    ((failures == 0))
    exit $?
}

# until_true SECONDS COMMAND...: polls COMMAND until it succeeds.
until_true() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    while ((SECONDS < end)); do
        "$@" && return 0
        wait_a_little
    done
    "$@"
}

# ---- Program directory -----------------------------------------------------------
home=$work/home
mkdir -p "$home/data"
for f in cgrep.exe dgrep.exe izgrep.exe jgrep.exe wgrep.com ygrep.exe talvo.html; do
    ln -s "$bin/$f" "$home/$f"
done
# Files to search: ASCII and Japanese lines (UTF-8), and a file that matches nothing.
printf 'first line\nthe needle is here\nlast line\n' >"$home/data/one.txt"
printf '東京都の天気\n大阪府の天気\nneedle again\n' >"$home/data/two.txt"
printf 'nothing to see\n' >"$home/data/three.txt"

# The editor stand-in records its arguments, one a line, into a file that
# appears whole (written aside, then renamed).
editor=$work/editor-stand-in.sh
cat >"$editor" <<EOF
#!/bin/sh
n=\$(ls "$work" | grep -c '^editor-call-')
out="$work/editor-call-\$((n + 1))"
printf '%s\n' "\$@" >"\$out.tmp" && mv "\$out.tmp" "\$out"
EOF
chmod +x "$editor"

# talvo.ini is Shift-JIS text with CR LF lines.
ini=$home/talvo.ini
printf '[エディタ]\r\nファイル名=%s\r\n[起動時のGREP]\r\nGREP番号=1\r\n' "$editor" |
    iconv -f UTF-8 -t CP932 >"$ini"

# ---- Display ---------------------------------------------------------------------
step "X server and window manager"
# -displayfd: the server picks a free display number and writes it here.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
pids+=($!)
until_true 20 test -s "$work/display" || fatal "Xvfb did not start ($(cat "$work/xvfb.log"))"
export DISPLAY=:$(tr -d '\n' <"$work/display")
unset WAYLAND_DISPLAY
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
if command -v xprop >/dev/null 2>&1; then
    until_true 20 wm_running || fatal "openbox did not start"
fi
ok "display $DISPLAY with openbox"

# ---- Start -------------------------------------------------------------------------
step "start talvo --home"
talvo_log=$work/talvo.log
(
    cd "$work" &&
        QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 LANG=C.UTF-8 \
            exec "$bin/talvo" --home "$home"
) >"$talvo_log" 2>&1 &
talvo_pid=$!
pids+=("$talvo_pid")

window=
find_window() {
    window=$(xdotool search --onlyvisible --pid "$talvo_pid" --name 'Sondel' 2>/dev/null | head -n 1)
    [[ -n $window ]]
}
until_true 30 find_window || fatal "no talvo window appeared (log: $(head -c 2000 "$talvo_log"))"
title() { xdotool getwindowname "$window" 2>/dev/null; }
[[ $(title) == "CGREP Sondel" ]] && ok "window titled CGREP Sondel" ||
    fail "window title is '$(title)', not 'CGREP Sondel'"

activate() { xdotool windowactivate --sync "$window" >/dev/null 2>&1; }
until_true 10 activate || fail "the window could not be activated"
height() { xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p'; }

# keys KEY...: sends keys to the focused window.
keys() { xdotool key --clearmodifiers --delay 40 "$@"; }
# type_text TEXT: types into the focused control (Japanese too: xdotool maps
# each character onto a spare key code).
type_text() { xdotool type --clearmodifiers --delay 40 -- "$1"; }
# Empties the focused combo box.
clear_box() { keys ctrl+a BackSpace; }

editor_calls() { ls "$work" | grep -c '^editor-call-[0-9]*$'; }
result_file() { find "$home" -maxdepth 1 -iname RESULT00.TXT | head -n 1; }

# search PATTERN FILESPEC LABEL: types both boxes (Alt+K and Alt+F are the
# access keys of their labels), presses Enter (Auto: search, then the editor),
# waits for the editor stand-in to be called. Returns 2 when the window did
# not write a batch file at all (the run is not wired to the window).
search() {
    local pattern=$1 files=$2 calls_before
    calls_before=$(editor_calls)
    rm -f "$home/WWW.BAT"
    keys alt+k && clear_box && type_text "$pattern"
    keys alt+f && clear_box && type_text "$files"
    keys alt+k Return
    batch_written() { [[ -e $home/WWW.BAT ]]; }
    until_true 15 batch_written || return 2
    editor_called() { (($(editor_calls) > calls_before)); }
    until_true 60 editor_called
}

# check_result EXPECTED... -- UNEXPECTED...: the editor's last call named the
# result file, which holds each expected line and none of the others.
check_result() {
    local call args result line ok_all=1
    call=$work/editor-call-$(editor_calls)
    args=$(cat "$call")
    result=$(result_file)
    if [[ -z $result ]]; then
        fail "no RESULT00.TXT in the program directory"
        return
    fi
    if [[ $(realpath -m "$args") == $(realpath "$result") ]]; then
        ok "editor started with the result path $args"
    else
        fail "editor started with '$args', not the result $result"
    fi
    local expect=1
    for line in "$@"; do
        if [[ $line == -- ]]; then
            expect=0
            continue
        fi
        if grep -qF -- "$line" "$result"; then
            ((expect)) || { fail "result holds '$line' that does not match"; ok_all=0; }
        else
            ((expect)) && { fail "result lacks '$line'"; ok_all=0; }
        fi
    done
    ((ok_all)) && ok "result holds the expected lines"
    echo "  result: $(tr '\n' '|' <"$result" | head -c 300)"
}

# ---- Searches --------------------------------------------------------------------
step "ASCII search with Enter"
wired=1
search needle 'data/*.txt'
case $? in
0)
    [[ $(title) == "CGREP - data/*.txt" ]] && ok "title shows the program and the files" ||
        fail "title after the search is '$(title)'"
    check_result "the needle is here" "needle again" -- "first line" "東京都" "nothing to see"
    ;;
2)
    if [[ ${TALVO_E2E_STRICT:-} == 1 ]]; then
        fail "Enter in the pattern box wrote no WWW.BAT"
    else
        wired=0
    fi
    ((wired)) || echo "NOT WIRED YET: Enter in the pattern box wrote no WWW.BAT; the window" \
        "does not start a search, so the search steps are skipped"
    ;;
*) fail "Enter started a search (WWW.BAT written) but the editor was not called" \
    "(status title '$(title)'; WWW.BAT: $(tr '\r\n' '  ' <"$home/WWW.BAT" | head -c 300))" ;;
esac

if ((wired)); then
    step "Japanese search with Enter"
    # xdotool types a character outside the keyboard map by remapping a spare
    # key first; on a loaded machine a key can arrive before its remapping
    # and the pattern comes out wrong. One retyping tells that from a fault.
    if search '天気' 'data/*.txt' || { echo "retyping the Japanese pattern once" && search '天気' 'data/*.txt'; }; then
        check_result "東京都の天気" "大阪府の天気" -- "needle" "first line"
    else
        fail "the Japanese search did not call the editor (title '$(title)')"
    fi
fi

# ---- Page keys -------------------------------------------------------------------
step "Page Down and Page Up"
keys alt+k
collapsed=$(height)
keys Next
taller() { (($(height) > collapsed)); }
pages=1
if until_true 10 taller; then
    ok "Page Down shows the options ($collapsed -> $(height) px)"
elif [[ ${TALVO_E2E_STRICT:-} != 1 ]]; then
    pages=0
    echo "NOT WIRED YET: Page Down in the pattern box left the options hidden; the page-key," \
        "tiny-mode and option-tick steps are skipped (TALVO_E2E_STRICT=1 fails them instead)"
else
    fail "Page Down left the window $(height) px high"
fi
if ((pages)); then
    shown=$(height)
    # Common option 4 "行番号の付加(&4)": ticked through its access key while
    # the common page is the one shown.
    step "tick an option with its access key"
    keys alt+4
    keys alt+k Next
    [[ $(height) == "$shown" ]] && ok "Page Down again keeps the options shown" ||
        fail "second Page Down changed the height to $(height)"
    keys Prior
    back() { [[ $(height) == "$collapsed" ]]; }
    until_true 10 back && ok "Page Up hides the options" ||
        fail "Page Up left the window $(height) px high, not $collapsed"
    keys Prior
    tiny_title() { [[ $(title) == "CGREP < "* ]]; }
    until_true 10 tiny_title && ok "Page Up again enters tiny mode: '$(title)'" ||
        fail "tiny mode not entered; title '$(title)'"
    keys Next
    until_true 10 back && ok "Page Down leaves tiny mode" ||
        fail "Page Down in tiny mode left the window $(height) px high"
fi

# ---- Quit --------------------------------------------------------------------------
step "Alt+Q"
keys alt+q
gone() { ! kill -0 "$talvo_pid" 2>/dev/null; }
if until_true 30 gone; then
    wait "$talvo_pid"
    status=$?
    ((status == 0)) && ok "talvo ended with status 0" || fail "talvo ended with status $status"
else
    fail "talvo still runs after Alt+Q"
fi

step "saved talvo.ini"
ini_text=$work/talvo.ini.utf8
if iconv -f CP932 -t UTF-8 "$ini" >"$ini_text" 2>/dev/null; then
    ok "talvo.ini is Shift-JIS text"
else
    fail "talvo.ini is not Shift-JIS text"
fi
if grep -qv $'\r$' "$ini"; then fail "talvo.ini has lines without CR LF"; else ok "CR LF lines"; fi
# has SECTION KEY VALUE: the key's line in the section, compared byte for byte
# with the Shift-JIS spelling.
has() {
    local want
    want=$(printf '%s=%s' "$2" "$3" | iconv -f UTF-8 -t CP932)
    # Through the environment: awk -v would read a 0x5C byte as an escape.
    S="[$(printf '%s' "$1" | iconv -f UTF-8 -t CP932)]" W=$want LC_ALL=C awk '
        { sub(/\r$/, "") }
        /^\[/ { in_s = ($0 == ENVIRON["S"]); next }
        in_s && $0 == ENVIRON["W"] { found = 1 }
        END { exit !found }' "$ini"
}
check_key() {
    has "$1" "$2" "$3" && ok "[$1] $2=$3" || fail "talvo.ini lacks [$1] $2=$3"
}
check_key 'エディタ' 'ファイル名' "$editor"
check_key '起動時のGREP' 'GREP番号' 1
check_key 'タイニィ画面' 'フラグ' 0
if ((pages)); then
    check_key '共通オプション' '行番号の付加' 1
fi
check_key '共通オプション' 'AND 検索' 0
if ((wired)); then
    check_key '検索ファイルヒストリー' 'ファイル名[1]' 'data/*.txt'
fi
grep -q '位置' "$ini_text" && ok "window position saved" || fail "no window position saved"
# ---- The result view from Auto -------------------------------------------------------
step "the result view from Auto, and a jump to a line"
view_phase() {
    [[ -x $bin/talvo-view ]] || { fail "$bin/talvo-view is missing"; return; }
    # talvo-view is the editor; it jumps through the stand-in.
    printf '[エディタ]\r\nファイル名=%s\r\n[起動時のGREP]\r\nGREP番号=1\r\n[共通オプション]\r\n行番号の付加=1\r\n[結果ビュー]\r\nエディタコマンド="%s" "{path}" {line} {column}\r\n' \
        "$bin/talvo-view" "$editor" | iconv -f UTF-8 -t CP932 >"$ini"
    (
        cd "$work" &&
            QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 LANG=C.UTF-8 \
                exec "$bin/talvo" --home "$home"
    ) >"$talvo_log" 2>&1 &
    talvo_pid=$!
    pids+=("$talvo_pid")
    until_true 30 find_window || { fail "talvo did not start again"; return; }
    until_true 10 activate
    rm -f "$home/WWW.BAT"
    keys alt+k && clear_box && type_text needle
    keys alt+f && clear_box && type_text 'data/*.txt'
    keys alt+a
    view=
    find_view() {
        view=$(xdotool search --onlyvisible --name 'RESULT00.TXT - talvo-view' 2>/dev/null | head -n 1)
        [[ -n $view ]]
    }
    until_true 60 find_view || { fail "Auto opened no talvo-view window"; return; }
    pids+=("$(xdotool getwindowpid "$view")")
    ok "Auto opened the result in talvo-view"
    local calls_before
    calls_before=$(editor_calls)
    xdotool windowactivate --sync "$view" >/dev/null 2>&1
    keys Return
    jumped() { (($(editor_calls) > calls_before)); }
    if until_true 30 jumped; then
        local got want
        got=$(tr '\n' ' ' <"$work/editor-call-$(editor_calls)")
        want="$home/data/one.txt 2 5 "
        [[ $got == "$want" ]] && ok "Enter in the view opened data/one.txt at line 2, column 5" ||
            fail "the view started the editor with '$got', not '$want'"
    else
        fail "Enter in the view did not start the editor"
    fi
    until_true 10 activate
    keys alt+q
    until_true 30 gone || fail "talvo still runs after Alt+Q"
}
view_phase

((wired)) || echo "SKIPPED: the search steps (not wired yet)"
((pages)) || echo "SKIPPED: the page-key steps (not wired yet)"
finish
