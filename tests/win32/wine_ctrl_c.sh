#!/usr/bin/env bash
# Ctrl+C under Wine: Wine hands a SIGINT to the program as the console's
# CTRL_C_EVENT. During the transfer it stops the update at the end of the
# block on the line: "Downloading firmware failed.", "Camera update failed.",
# exit 1, the same as SIGINT on Linux. The program runs from a folder named
# beyond ASCII, with the ReadMe beside it, which the failure names.
#
# The camera holds block 10's completion for five seconds (keep-alives 100 ms
# apart) and logs every frame it gets; Ctrl+C comes once block 10's frame is
# in. The camera must then have written every block it was sent whole, been
# sent nothing after block 10, and not been released: it stays in update
# mode, as the ReadMe's RETRY PROCEDURE expects.
#   wine_ctrl_c.sh CLI.exe SIM
source "$(dirname "$0")/wine_common.sh"
cli=$1 sim=$2

camera_frames=1 start_camera "$sim" --report "$dir/report" --fault "storm-done@0x1D:10=50/100"
wine_prefix_start "$dir" "COM1=$camera_tty"
"$sim" make-firmware --model rm525 --version 0106 --out "$dir/update.fw" >/dev/null
folder="$dir/Kamera-Übertragung"
mkdir "$folder"
cp "$cli" "$folder/rm525fw-cli.exe"
echo "RETRY PROCEDURE" >"$folder/ReadMe.txt"
cli="$folder/rm525fw-cli.exe"
# Started directly, not through a function: $! must be Wine's own process.
"$WINE_BIN_DIR/wine64" "$cli" update --port COM1 --file "$(winpath "$dir/update.fw")" --yes \
    </dev/null >"$dir/update.out" 2>"$dir/update.err" &
pid=$!
block10="frame 1D 00 00 0A "
for _ in $(seq 1200); do
    grep -q "$block10" "$dir/sim.log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
grep -q "$block10" "$dir/sim.log" || fail "the transfer did not reach block 10"
kill -INT "$pid"
status=0
wait_exit "$pid" 60 "rm525fw-cli after Ctrl+C" || status=$?
[ $status -eq 1 ] || fail "exit status $status after Ctrl+C, not 1"
grep -q "Stopping after the current block. The camera stays in update mode" "$dir/update.err" ||
    fail "no stop notice for the transfer"
grep -q "Downloading firmware failed." "$dir/update.err" || fail "the transfer did not stop"
grep -q "Camera update failed." "$dir/update.out" || fail "no failure prompt"
grep -qF "The ReadMe file is at $(winpath "$folder/ReadMe.txt")" "$dir/update.out" ||
    fail "the ReadMe is not named: $(cat "$dir/update.out")"

kill -TERM "$sim_pid"
camera_exit || fail "the simulator ended with $?"
last=$(grep "frame 1D " "$dir/sim.log" | tail -n1)
sent=$(grep -c "frame 1D " "$dir/sim.log")
written=$(sed -n 's/^blocks written: //p' "$dir/report")
[[ $last == *"$block10"* ]] || fail "the camera was sent a block after block 10: $last"
[ "$written" = "$sent" ] || fail "the camera got $sent block frames but wrote $written blocks"
grep -qx "releases: 0" "$dir/report" || fail "the camera was released during the update"
grep -qx "mode: update" "$dir/report" || fail "the camera left update mode"
echo "Ctrl+C stopped the transfer after block 10, the block on the line ($written blocks): exit 1"
