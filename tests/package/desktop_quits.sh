#!/usr/bin/env bash
# The desktop program starts on the X display it is given (xvfb-run), shows
# its port dialog, and ends with status 0 when the dialog is left with
# Escape (Quit), without a camera ever being looked for.
#   desktop_quits.sh PROGRAM LOG
set -euo pipefail
program=$1
log=$2
QT_QPA_PLATFORM=xcb "$program" >"$log" 2>&1 &
pid=$!
dialog=""
for _ in $(seq 300); do
    for w in $(xdotool search --onlyvisible --name "Quelm" 2>/dev/null); do
        xprop -id "$w" WM_WINDOW_ROLE 2>/dev/null | grep -q '"CPortDlg"' && dialog=$w
    done
    [ -n "$dialog" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$dialog" ]; then
    kill "$pid" 2>/dev/null || true
    echo "FAIL: no port dialog"
    exit 1
fi
xdotool windowfocus --sync "$dialog" key Escape
for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    echo "FAIL: the program did not end after Quit"
    exit 1
fi
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "FAIL: the program ended with status $status"; exit 1; }
