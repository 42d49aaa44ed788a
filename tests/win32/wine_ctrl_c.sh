#!/usr/bin/env bash
# Ctrl+C under Wine: Wine hands a SIGINT to the program as the console's
# CTRL_C_EVENT. During the transfer it stops the update after the current
# block: "Downloading firmware failed.", "Camera update failed.", exit 1,
# the same as SIGINT on Linux. The program runs from a folder named beyond
# ASCII, with the ReadMe beside it, which the failure names.
#   wine_ctrl_c.sh CLI.exe SIM
source "$(dirname "$0")/wine_common.sh"
cli=$1 sim=$2

start_camera "$sim" --exit-after-release
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
for _ in $(seq 600); do
    grep -q "Downloading firmware" "$dir/update.err" 2>/dev/null && break
    sleep 0.1
done
grep -q "Downloading firmware" "$dir/update.err" || fail "the transfer did not begin"
sleep 1
kill -INT "$pid"
status=0
wait "$pid" || status=$?
[ $status -eq 1 ] || fail "exit status $status after Ctrl+C, not 1"
grep -q "Stopping: the camera is released first." "$dir/update.err" || fail "no stop notice"
grep -q "Downloading firmware failed." "$dir/update.err" || fail "the transfer did not stop"
grep -q "Camera update failed." "$dir/update.out" || fail "no failure prompt"
grep -qF "The ReadMe file is at $(winpath "$folder/ReadMe.txt")" "$dir/update.out" ||
    fail "the ReadMe is not named: $(cat "$dir/update.out")"
echo "Ctrl+C stopped the transfer: exit 1"
