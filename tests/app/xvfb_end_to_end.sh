#!/usr/bin/env bash
# The real program on a real desktop: an X server (Xvfb) with a window manager
# (openbox) that frames, decorates and places windows, against rm525cam-sim on
# a pseudo-terminal, driven by keys the way a user would: Enter on the port
# dialog (AUTO), a file name typed into the chooser, Enter on the success
# prompt. The program is started as on a Wayland session with XWayland
# (WAYLAND_DISPLAY and DISPLAY set, no QT_QPA_PLATFORM), so it must choose X
# itself. On the way it checks what a user would see:
#   - the main window's outer rectangle, frame included, is the screen;
#   - the port dialog, the progress window and the success prompt lie where
#     the placement rule puts their outer rectangles (within 2 px), centred
#     on the view's size at the screen's top-left corner;
#   - each asks the window manager for no close, minimise or maximise box
#     (what the window manager then offers is kept), and the window
#     manager's close key closes none of them;
#   - Ctrl+Q, Ctrl+N and Ctrl+O pressed during the search change nothing;
#   - the camera got the firmware and the program then ended by itself.
# Screenshots and what the window manager reported are kept in ARTIFACT_DIR.
#
#   xvfb_end_to_end.sh RM525FW RM525CAM_SIM ARTIFACT_DIR
set -euo pipefail

app=$1
sim=$2
artifacts=$3
source "$(dirname "$0")/../support/need_tools.sh"
need_tools Xvfb openbox xdotool xprop xwininfo import convert
mkdir -p "$artifacts"
rm -f "$artifacts"/*.png "$artifacts"/*.txt

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    import -display "$DISPLAY" -window root "$artifacts/failure.png" 2>/dev/null || true
    for f in "$work"/*.log "$work"/report; do [ -f "$f" ] && { echo "== $f"; cat "$f"; }; done
    exit 1
}

# An X server on a display number it picks itself, free by construction.
screen_w=1024
screen_h=768
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 "${screen_w}x${screen_h}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(tr -d '\n' <"$work/display")"

# The window manager with its own default settings, not the user's.
HOME="$work" XDG_CONFIG_HOME="$work/config" openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" ||
    fail "the window manager did not start"

# The camera (version 1.05, an ID with a byte above 0x7F) and a firmware
# file for it (version 1.06).
"$sim" make-firmware --model rm525 --version 0106 --out "$work/new.fw" >/dev/null
"$sim" --model rm525 --version 0105 --camera-id $'SIMULATED CAMERA \xDC' --prepare-ms 500 \
    --report "$work/report" --exit-after-verified-release >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
pids+=($sim_pid)
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")
[ -c "$pty" ] || fail "the simulator gave no terminal"

# As on a Wayland session whose compositor also serves X (XWayland).
started=$(date +%s%N)
env -u QT_QPA_PLATFORM WAYLAND_DISPLAY=rm525fw-test-no-compositor XDG_SESSION_TYPE=wayland \
    RM525FW_NO_DEFAULT_PORTS=1 RM525FW_COM1="$pty" "$app" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=($app_pid)

# The visible window whose role (the dialog's class) is $1, or nothing.
window_with_role() {
    local w
    for w in $(xdotool search --onlyvisible --name "Quelm" 2>/dev/null); do
        if xprop -id "$w" WM_WINDOW_ROLE 2>/dev/null | grep -q "\"$1\""; then
            echo "$w"
            return
        fi
    done
}

# Waits up to $2 seconds for the window of role $1 and prints its id.
wait_for() {
    local w
    for _ in $(seq $(($2 * 10))); do
        w=$(window_with_role "$1")
        [ -n "$w" ] && { echo "$w"; return 0; }
        kill -0 "$app_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

shot() { import -window root "$artifacts/$1.png"; }
# shot_when_drawn NAME WINDOW: the screen, for a person to judge, once
# WINDOW shows its grey face and black text; it must within 20 s.
shot_when_drawn() {
    local colours
    for _ in $(seq 100); do
        colours=$(import -window "$2" -format %c histogram:info:- 2>/dev/null || true)
        if grep -q '#C0C0C0' <<<"$colours" && grep -q '#000000' <<<"$colours"; then
            shot "$1"
            return
        fi
        sleep 0.2
    done
    fail "the window for $1 was not drawn within 20 s"
}

# The outer rectangle of window $1, frame included, as "x y w h": the
# window's own rectangle widened by the frame extents its window manager
# reports (left, right, top, bottom).
outer_rect() {
    local info x y w h ext l=0 r=0 t=0 b=0
    info=$(xwininfo -id "$1")
    x=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
    y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
    w=$(awk '/^ *Width:/ {print $NF}' <<<"$info")
    h=$(awk '/^ *Height:/ {print $NF}' <<<"$info")
    ext=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p')
    [ -n "$ext" ] && IFS=', ' read -r l r t b <<<"$ext"
    echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

# What window $1 (named $2) asks of the window manager and what that offers.
# The program asks through the Motif hints, which window managers read for a
# window's functions and decorations: $3 is the hints it must carry (moving
# only for a dialog; moving and resizing for the main window; a title and a
# border, no menu, no minimise or maximise box; and so no close box). What
# openbox then offers (_NET_WM_ALLOWED_ACTIONS) is kept: it honours the
# resizing and maximising the hints withhold, but offers closing and
# minimising whatever a window asks, so the program itself makes closing do
# nothing (checked below with the window manager's close key).
check_decorations() {
    local hints actions
    hints=$(xprop -id "$1" _MOTIF_WM_HINTS | sed -n 's/.*= *//p')
    actions=$(xprop -id "$1" _NET_WM_ALLOWED_ACTIONS | sed -n 's/.*= *//p')
    echo "$2: hints $hints; allowed: $actions" >>"$artifacts/window-manager.txt"
    [ "$hints" = "$3" ] || fail "the $2 asks the window manager for $hints, not $3"
    if [ "$2" = "main window" ]; then
        grep -q "_NET_WM_ACTION_RESIZE" <<<"$actions" || fail "the main window cannot be resized"
    else
        for action in RESIZE MAXIMIZE_HORZ MAXIMIZE_VERT; do
            grep -q "_NET_WM_ACTION_${action}\b" <<<"$actions" &&
                fail "the window manager offers $action on the $2: $actions"
        done
    fi
    return 0
}
dialog_hints="0x3, 0x4, 0xa, 0x0, 0x0"
main_hints="0x3, 0x6, 0xe, 0x0, 0x0"

# The window manager's close key on window $1 (named $2, role $3) is no
# answer: the window stays. The check waits for two events rather than a
# time. First the window manager has handled the key (and sent the window
# its close request): it has made a change asked of it after the key, its
# number of desktops. Then the program has handled the request: it has
# stamped the window with the time of a key pressed after it, twice (what the
# first stamp's turn of the event loop did, a window being hidden included,
# is done before the second stamp shows).
sync_with_wm() {
    local n want
    n=$(xprop -root _NET_NUMBER_OF_DESKTOPS | sed 's/.*= *//')
    want=$((n == 4 ? 5 : 4))
    xdotool set_num_desktops "$want"
    for _ in $(seq 100); do
        [ "$(xprop -root _NET_NUMBER_OF_DESKTOPS | sed 's/.*= *//')" = "$want" ] && return 0
        sleep 0.1
    done
    return 1
}
user_time() { xprop -id "$1" _NET_WM_USER_TIME 2>/dev/null | sed 's/.*= *//'; }
sync_with_window() {  # a key with no meaning to the program: shift
    local before
    before=$(user_time "$1")
    xdotool windowfocus --sync "$1" key shift 2>/dev/null || return 1
    for _ in $(seq 100); do
        [ "$(user_time "$1")" != "$before" ] && return 0
        sleep 0.1
    done
    return 1
}
check_close_key_ignored() {
    xdotool windowfocus --sync "$1" key alt+F4
    sync_with_wm || fail "the window manager did not change its desktops when asked"
    sync_with_window "$1" && sync_with_window "$1" ||
        [ -z "$(window_with_role "$3")" ] ||
        fail "the $2 did not take a key after the close key"
    [ -n "$(window_with_role "$3")" ] || fail "the window manager's close key closed the $2"
}

abs() { echo $(($1 < 0 ? -$1 : $1)); }

# The placement rule for a dialog of outer size w x h: centred on the view's
# size (W x H) at the screen's top-left corner, never left of or above it.
# Waits up to 3 s for window $1 (named $2) to get there, within 2 px: the
# window manager may report its frame only after the window is mapped, and
# the program then places it again.
check_centred() {
    local x y w h ex ey
    for _ in $(seq 30); do
        read -r x y w h <<<"$(outer_rect "$1")"
        ex=$((view_w / 2 - w / 2))
        ey=$((view_h / 2 - h / 2))
        ((ex < 0)) && ex=0
        ((ey < 0)) && ey=0
        if (($(abs $((x - ex))) <= 2 && $(abs $((y - ey))) <= 2)); then
            echo "$2: outer $x,$y ${w}x$h, rule $ex,$ey" >>"$artifacts/placement.txt"
            return 0
        fi
        sleep 0.1
    done
    fail "the $2 lies at $x,$y (outer ${w}x$h), the rule puts it at $ex,$ey"
}

# ---- the main window and the port dialog --------------------------------------
w=$(wait_for CPortDlg 20) || fail "no port dialog"
echo "port dialog shown $((($(date +%s%N) - started) / 1000000)) ms after the start"
main=$(window_with_role CMainFrame)
[ -n "$main" ] || fail "no main window"
for _ in $(seq 30); do
    read -r mx my mw mh <<<"$(outer_rect "$main")"
    [ "$mx $my $mw $mh" = "0 0 $screen_w $screen_h" ] && break
    sleep 0.1
done
echo "main window: outer $mx,$my ${mw}x$mh" >>"$artifacts/placement.txt"
[ "$mx $my $mw $mh" = "0 0 $screen_w $screen_h" ] ||
    fail "the main window's outer rectangle is $mx,$my ${mw}x$mh, not the screen"
check_decorations "$main" "main window" "$main_hints"

# The view is the main window's client area below the status line. The line
# is dialog grey down to its dark bottom border, read off the screen at the
# client area's right edge, where no text is drawn.
read -r cx cy cw ch <<<"$(xwininfo -id "$main" | awk '/Absolute upper-left X|Absolute upper-left Y|^ *Width:|^ *Height:/ {printf "%s ", $NF}')"
# The height of the grey status line in screenshot $1: the pixels down the
# client area's right edge that are dialog grey, and the border below them.
status_line_height() {
    convert "$1" -crop "1x60+$((cx + cw - 1))+$cy" +repage txt:- |
        awk 'NR > 1 { if ($0 ~ /#C0C0C0/ && !done) n++; else done = 1 } END { print n + 1 }'
}
# Read once the main window has painted it: the screen is taken again until
# the line is there, for at most 20 s.
for _ in $(seq 100); do
    shot 1-port-dialog
    line_h=$(status_line_height "$artifacts/1-port-dialog.png")
    [ "$line_h" -ge 10 ] && break
    sleep 0.2
done
[ "$line_h" -ge 10 ] || fail "no status line found at the top of the main window"
view_w=$cw
view_h=$((ch - line_h))
echo "view: ${view_w}x$view_h below a status line $line_h px high" >>"$artifacts/placement.txt"

check_centred "$w" "port dialog"
check_decorations "$w" "port dialog" "$dialog_hints"
check_close_key_ignored "$w" "port dialog" CPortDlg
xdotool windowfocus --sync "$w" key Return

# ---- shortcuts while the camera is searched for --------------------------------
# Pressed on the main window once the port dialog has gone, while the search
# (3.6 s of the protocol's own waits at the least) still runs.
for _ in $(seq 100); do [ -z "$(window_with_role CPortDlg)" ] && break; sleep 0.1; done
[ -z "$(window_with_role CPortDlg)" ] || fail "the port dialog stayed after Enter"
xdotool windowactivate --sync "$main" || fail "the main window could not be activated"
[ -z "$(window_with_role fileChooser)" ] || fail "the search ended before the shortcuts"
xdotool key ctrl+q ctrl+n ctrl+o

w=$(wait_for fileChooser 60) || fail "no file chooser (ended after a shortcut?)"
shot 2-file-chooser
xdotool windowfocus --sync "$w" key ctrl+a
xdotool type --delay 5 "$work/new.fw"
xdotool key Return

# ---- the transfer --------------------------------------------------------------
w=$(wait_for CProgressDlg 60) || fail "no progress window"
check_centred "$w" "progress window"
check_decorations "$w" "progress window" "$dialog_hints"
# Past the preparation of the camera's memory, 40 blocks into the transfer
# (the camera logs each command frame it takes; 0x1D writes a block).
for _ in $(seq 600); do
    [ "$(grep -c '^rm525cam-sim: frame 1D ' "$work/sim.log")" -ge 40 ] && break
    sleep 0.1
done
[ "$(grep -c '^rm525cam-sim: frame 1D ' "$work/sim.log")" -ge 40 ] || fail "no blocks written"
shot_when_drawn 3-progress "$w"

w=$(wait_for CSuccessDlg 300) || fail "no success prompt"
check_centred "$w" "success prompt"
check_decorations "$w" "success prompt" "$dialog_hints"
shot_when_drawn 4-success "$w"
check_close_key_ignored "$w" "success prompt" CSuccessDlg
xdotool windowfocus --sync "$w" key Return

# The program ends by itself once the prompt is dismissed.
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end by itself"
wait "$app_pid" || fail "the program ended with status $?"
for _ in $(seq 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$sim_pid" 2>/dev/null && fail "the camera was not released after a verified transfer"
grep -q "^verified: yes" "$work/report" || fail "the camera did not verify the firmware"
grep -q "^blocks written: 2048" "$work/report" || fail "not every block was written"
echo "PASS: screenshots in $artifacts"
