#!/usr/bin/env bash
# Drives the real planora binary on a private X server under the openbox window manager, with
# real key presses and mouse clicks (xdotool): types a matrix and transforms, opens the options
# window and checks that it covers none of the main window's controls, minimises it and shows it
# again, loads a file that is no picture and closes the message with Return, checks that Ctrl+S
# still reaches the main window, and quits with Ctrl+Q.
#
# Usage: desktop.sh <planora binary>
# Exits 0 when every step passed, 77 (skipped) when no X server can be started, 1 otherwise.
# With PLANORA_E2E_SHOTS=<folder> and ImageMagick's import installed, it saves a screenshot of
# the screen after each step, half a second later so that openbox's animations are over.
set -euo pipefail

planora=$(realpath "${1:?usage: desktop.sh <planora binary>}")
here=$(dirname "$(realpath "$0")")
readonly planora here
readonly skipped=77
readonly timeout=20 # seconds for any one window to appear, change or go

work=$(mktemp -d "${TMPDIR:-/tmp}/planora-e2e.XXXXXX")
pids=()
planora_pid=

cleanup() {
    local i
    if [[ -n $planora_pid ]]; then
        kill "$planora_pid" 2>/dev/null || true
        wait "$planora_pid" 2>/dev/null || true
    fi
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

say() { echo "desktop: [${SECONDS} s] $*"; }

shot() {
    [[ -n ${PLANORA_E2E_SHOTS:-} ]] && command -v import >/dev/null || return 0
    mkdir -p "$PLANORA_E2E_SHOTS"
    sleep 0.5
    import -window root "$PLANORA_E2E_SHOTS/$1.png" 2>/dev/null || true
}

fail() {
    say "FAILED: $*" >&2
    shot failed
    say "the windows with names:" >&2
    xwininfo -root -tree 2>/dev/null | grep -v 'has no name' | grep '0x' >&2 || true
    local log
    for log in planora openbox; do
        if [[ -s $work/$log.log ]]; then
            say "$log wrote:" >&2
            cat "$work/$log.log" >&2
        fi
    done
    exit 1
}

# Whether the program has ended. The shell collects an ended child by itself, or leaves it a
# zombie until it is waited for.
stopped() {
    ! kill -0 "$planora_pid" 2>/dev/null ||
        [[ $(cut -d ' ' -f 3 "/proc/$planora_pid/stat" 2>/dev/null) == Z ]]
}

# Runs the command until it succeeds, for at most $timeout seconds; fails at once when the
# program ends meanwhile.
await() {
    local what=$1
    shift
    local deadline=$((SECONDS + timeout)) status
    until "$@" >/dev/null; do
        if [[ $1 != stopped && -n $planora_pid ]] && stopped; then
            status=0
            wait "$planora_pid" || status=$?
            planora_pid=
            fail "the program ended with exit code $status while the test waited for $what"
        fi
        ((SECONDS < deadline)) || fail "waited ${timeout} s for $what"
        sleep 0.05
    done
}

for tool in xdotool xwininfo xprop xauth openbox; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-dependencies installs it)"
done
if ! command -v Xvfb >/dev/null; then
    say "SKIPPED: Xvfb is not installed"
    exit "$skipped"
fi

# A home, configuration and runtime folder of our own: the file dialog and openbox keep state
# there, and nothing of the user's desktop session leaks in.
mkdir -m 700 "$work/home" "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
unset WAYLAND_DISPLAY SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb
# For a build with the leak checker: what libdbus keeps is not the program's.
export LSAN_OPTIONS=suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}

# Only clients that hold our cookie may connect. The server takes every entry of the file
# whatever its display number; the clients' entry is added once the number is known.
export XAUTHORITY=$work/Xauthority
cookie=$(mcookie)
touch "$XAUTHORITY"
xauth -q add :0 MIT-MAGIC-COOKIE-1 "$cookie"

# Xvfb chooses a free display number itself and reports it, so parallel runs cannot clash. By
# default it resets whenever its last client disconnects, and a client that connects during a
# reset is turned away: -noreset keeps it up between our short-lived xprop and xdotool calls.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset -auth "$XAUTHORITY" \
    3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
deadline=$((SECONDS + timeout))
until [[ $(wc -l <"$work/display") -ge 1 ]]; do
    if ! kill -0 "${pids[0]}" 2>/dev/null || ((SECONDS >= deadline)); then
        say "SKIPPED: Xvfb cannot start:"
        cat "$work/xvfb.log"
        exit "$skipped"
    fi
    sleep 0.05
done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
xauth -q add "$DISPLAY" MIT-MAGIC-COOKIE-1 "$cookie"
say "X server on $DISPLAY"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
openbox_pid=$!
pids+=("$openbox_pid")
wm_running() {
    kill -0 "$openbox_pid" 2>/dev/null || fail "openbox ended at start"
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}
await "openbox to manage the screen" wm_running

# The ids of the mapped windows named exactly $1, one a line.
windows_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
one_window_named() { [[ $(windows_named "$1" | wc -l) -eq 1 ]]; }
map_state() { xwininfo -id "$1" 2>/dev/null | sed -n 's/^ *Map State: //p'; }
viewable() { [[ $(map_state "$1") == IsViewable ]]; }
iconic() { xprop -id "$1" WM_STATE 2>/dev/null | grep -q 'window state: Iconic'; }
gone() { ! xwininfo -id "$1" >/dev/null 2>&1 || [[ $(map_state "$1") != IsViewable ]]; }
active() { [[ $(xdotool getactivewindow 2>/dev/null) == "$1" ]]; }

# All windows that exist, mapped or not, on one line.
all_windows() { xdotool search --name '' 2>/dev/null | tr '\n' ' ' || true; }

# Prints the first mapped window whose name matches the pattern $1 and that is not among the
# ids in $2; fails when there is none.
new_window() {
    local id
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
        if [[ " $2 " != *" $id "* ]]; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# Presses key $1 and waits for the window it opens, named $2 in messages, to appear and take
# the keyboard; its id is left in $dialog.
press_for_dialog() {
    local known
    known=$(all_windows)
    xdotool key "$1"
    await "$2" new_window . "$known"
    dialog=$(new_window . "$known")
    await "$2 to have the keyboard" active "$dialog"
}

# Prints "left top right bottom" of window $1 on the screen, with the frame the window manager
# draws around it.
frame_box() {
    local info x y w h l=0 r=0 t=0 b=0 extents
    info=$(xwininfo -id "$1")
    x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
    y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
    w=$(sed -n 's/^ *Width: *//p' <<<"$info")
    h=$(sed -n 's/^ *Height: *//p' <<<"$info")
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ' ')
    [[ -n $extents ]] && IFS=, read -r l r t b <<<"$extents"
    echo "$((x - l)) $((y - t)) $((x + w + r)) $((y + h + b))"
}

# The main window's content area is 760 x 330 (ui/main.cpp); the menu bar lies above it, inside
# the same X window.
readonly content_width=760 content_height=330

# Prints "left top" of the main window's content area $1 on the screen.
content_origin() {
    local info x y h
    info=$(xwininfo -id "$1")
    x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
    y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
    h=$(sed -n 's/^ *Height: *//p' <<<"$info")
    echo "$x $((y + h - content_height))"
}

# Clicks at ($2, $3) of the main window $1's content area.
click_in() {
    local x y
    read -r x y <<<"$(content_origin "$1")"
    xdotool mousemove "$((x + $2))" "$((y + $3))" click 1
}

# The main window's controls in its content area: x, y, width, height (ui/main.cpp).
main_controls=(
    "140 20 300 300" # CAquell
    "8 20 60 40"     # TEMat(1)
    "70 20 60 40"    # TEMat(2)
    "8 62 60 40"     # TEMat(3)
    "70 62 60 40"    # TEMat(4)
    "8 137 122 20"   # PushButton2 "Transformieren"
    "32 297 81 20"   # PushButton3 "Optionen"
    "450 20 300 300" # CAziel
    "8 97 100 20"    # Label1
)

say "start"
# The file dialogs open in the working folder.
cd "$work"
"$planora" >"$work/planora.log" 2>&1 &
planora_pid=$!
await 'the main window "Planora"' one_window_named Planora
main=$(windows_named Planora)
main_width=$(xwininfo -id "$main" | sed -n 's/^ *Width: *//p')
main_height=$(xwininfo -id "$main" | sed -n 's/^ *Height: *//p')
if ((main_width != content_width || main_height <= content_height)); then
    fail "the main window is ${main_width}x$main_height, not a menu bar over" \
        "${content_width}x$content_height"
fi
await "the main window to have the keyboard" active "$main"
shot 1-start

say "type a matrix with negative entries, Return"
# The first matrix field has the keyboard at start; Tab walks the four fields in order.
for entry in -0.866 -0.5 0.5 -0.866; do
    xdotool key ctrl+a
    xdotool type --delay 20 -- "$entry"
    xdotool key Tab
done
xdotool key Return
shot 2-transformed

say 'open "Optionen"'
click_in "$main" 72 307
await 'the window "Optionen"' one_window_named Optionen
options=$(windows_named Optionen)
shot 3-options
read -r ol ot or ob <<<"$(frame_box "$options")"
read -r main_x main_y <<<"$(content_origin "$main")"
for control in "${main_controls[@]}"; do
    read -r cx cy cw ch <<<"$control"
    cl=$((main_x + cx)) ct=$((main_y + cy))
    if ((ol < cl + cw && cl < or && ot < ct + ch && ct < ob)); then
        fail "the options window ($ol,$ot)-($or,$ob) covers the main window's control at" \
            "($cl,$ct) size ${cw}x${ch}"
    fi
done

say 'minimise "Optionen" and press "Optionen" again'
xdotool windowminimize "$options"
await 'the options window to be minimised' iconic "$options"
shot 4-minimised
click_in "$main" 72 307
await 'the options window to come back' viewable "$options"
iconic "$options" && fail "the options window is shown but still minimised"
[[ $(xdotool search --name '^Optionen$') == "$options" ]] || fail 'a second window "Optionen" was built'
shot 5-restored

say "load a file that is no picture"
printf 'no picture\n' >"$work/notapicture.jpg"
click_in "$main" 70 240 # a free spot: the main window comes to the front
await "the main window to have the keyboard" active "$main"
press_for_dialog ctrl+o "the open dialog"
shot 6-open-dialog
xdotool type --delay 10 -- "$work/notapicture.jpg"
xdotool key Return
await "the open dialog to close" gone "$dialog"
await 'the message box "Planora"' new_window '^Planora$' "$main"
message=$(new_window '^Planora$' "$main")
await "the message box to have the keyboard" active "$message"
shot 7-message
xdotool key Return
await "the message box to close" gone "$message"

say "Ctrl+S still opens the save dialog"
await "the main window to have the keyboard again" active "$main"
press_for_dialog ctrl+s "the save dialog"
shot 8-save-dialog
xdotool key Escape
await "the save dialog to close" gone "$dialog"
await "the main window to have the keyboard again" active "$main"

say "Ctrl+Q quits"
xdotool key ctrl+q
await "the program to end" stopped
status=0
wait "$planora_pid" || status=$?
planora_pid=
((status == 0)) || fail "the program ended with exit code $status"
say "passed"
