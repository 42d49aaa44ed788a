#!/usr/bin/env bash
# The real program on a real X server (Xvfb) against rm525cam-sim on a
# pseudo-terminal, driven by keys the way a user would: Enter on the port
# dialog (AUTO), a file name typed into the chooser, Enter on the success
# prompt. Checks that the camera got the firmware and that the program then
# ended by itself. Screenshots of the port dialog, the progress window and
# the success prompt are kept in ARTIFACT_DIR.
#
#   xvfb_end_to_end.sh RM525FW RM525CAM_SIM ARTIFACT_DIR
set -euo pipefail

app=$1
sim=$2
artifacts=$3
for tool in Xvfb xdotool xprop import; do
    command -v "$tool" >/dev/null && continue
    # scripts/setup installs them all: in CI a missing one is a failure.
    [ "${CI:-}" = true ] && { echo "FAIL: $tool is not installed"; exit 1; }
    echo "SKIP: $tool is not installed"
    exit 77
done
mkdir -p "$artifacts"
rm -f "$artifacts"/*.png

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
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(tr -d '\n' <"$work/display")"

# The camera (version 1.05) and a firmware file for it (version 1.06).
"$sim" make-firmware --model rm525 --version 0106 --out "$work/new.fw" >/dev/null
"$sim" --model rm525 --version 0105 --prepare-ms 500 --quiet --report "$work/report" \
    --exit-after-verified-release >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
pids+=($sim_pid)
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")
[ -c "$pty" ] || fail "the simulator gave no terminal"

# A real X display, whatever platform the other tests run on.
QT_QPA_PLATFORM=xcb RM525FW_NO_DEFAULT_PORTS=1 RM525FW_COM1="$pty" "$app" >"$work/app.log" 2>&1 &
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

shot() { sleep 0.3; import -window root "$artifacts/$1.png"; }

w=$(wait_for CPortDlg 20) || fail "no port dialog"
shot 1-port-dialog
xdotool windowfocus --sync "$w" key Return

w=$(wait_for fileChooser 60) || fail "no file chooser"
shot 2-file-chooser
xdotool windowfocus --sync "$w" key ctrl+a
xdotool type --delay 5 "$work/new.fw"
xdotool key Return

wait_for CProgressDlg 60 >/dev/null || fail "no progress window"
# Past the preparation of the camera's memory, into the blocks.
sleep 8
shot 3-progress

w=$(wait_for CSuccessDlg 300) || fail "no success prompt"
shot 4-success
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
