#!/usr/bin/env bash
# Walks through the ReadMe's RETRY PROCEDURE with the real programs: an
# update cut during the transfer, then the steps as the ReadMe gives them,
# against one rm525cam-sim that keeps the half-written flash all along, until
# the flash holds the file's body byte for byte. Every program text that the
# ReadMe quotes and this walk shows must be quoted exactly.
#
#   retry_procedure.sh README RM525FW_CLI RM525CAM_SIM
set -euo pipefail

readme=$1
cli=$2
sim=$3

work=$(mktemp -d)
sim_pid=""
cli_pid=""
cleanup() {
    for pid in "$cli_pid" "$sim_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for f in "$work"/*.out "$work"/*.err "$work"/report; do
        [ -f "$f" ] && { echo "== $f"; tail -c 2000 "$f"; echo; }
    done
    exit 1
}

# The ReadMe quotes a text when it holds it line for line (its indentation
# and the message's trailing blanks aside).
quoted() {
    local text
    text=$(sed 's/^ *//; s/ *$//' "$readme")
    while IFS= read -r line; do
        line=$(sed 's/^ *//; s/ *$//' <<<"$line")
        [ -z "$line" ] && continue
        grep -qxF -- "$line" <<<"$text" || fail "the ReadMe does not quote: $line"
    done <<<"$1"
}

# The other way round: a line the ReadMe quotes (NAME: its first words) is
# printed, line for line, into one of the walk's outputs.
printed() {
    local first=$1 line text outputs
    text=$(sed 's/^ *//; s/ *$//' "$readme")
    line=$(grep -m1 -F -- "$first" <<<"$text") || true
    [ -n "$line" ] || fail "the ReadMe quotes no line beginning: $first"
    outputs=$(cat "$work"/*.out "$work"/*.err | sed 's/^ *//; s/ *$//')
    grep -qxF -- "$line" <<<"$outputs" || fail "no program printed the ReadMe's: $line"
}

grep -qx "RETRY PROCEDURE" "$readme" || fail "no RETRY PROCEDURE section in $readme"

export RM525FW_NO_DEFAULT_PORTS=1 RM525FW_COM1="$work/camera"
"$sim" make-firmware --model rm525 --version 0106 --seed 7 --out "$work/new.fw"
"$sim" --model rm525 --version 0105 --link "$work/camera" --flash-out "$work/flash.bin" \
    --report "$work/report" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/camera" ] && break; sleep 0.1; done
[ -e "$work/camera" ] || fail "the simulator did not start"

update() {  # update NAME: the ReadMe's command, standard input not a terminal
    "$cli" update --port COM1 --file "$work/new.fw" --yes </dev/null \
        >"$work/$1.out" 2>"$work/$1.err"
}

# The cut: Ctrl+C in the middle of the transfer.
"$cli" update --port COM1 --file "$work/new.fw" --yes </dev/null \
    >"$work/first.out" 2>"$work/first.err" &
cli_pid=$!
for _ in $(seq 600); do
    grep -q "10% Downloading firmware" "$work/first.err" 2>/dev/null && break
    sleep 0.1
done
grep -q "10% Downloading firmware" "$work/first.err" || fail "the transfer did not start"
kill -INT "$cli_pid"
status=0
wait "$cli_pid" || status=$?
cli_pid=""
[ "$status" -eq 1 ] || fail "the cut update ended with status $status, not 1"
grep -q "Camera update failed" "$work/first.out" || fail "no failure message after the cut"
quoted "$(sed -n '/^Camera update failed/,/RETRY PROCEDURE/p' "$work/first.out")"
kill -0 "$sim_pid" || fail "the simulator ended with the cut"
quoted "$(grep -x 'Next: .*' "$work/first.out")"
quoted "$(sed -n '/^Stopping after the current block/,/Press Ctrl+C again/p' "$work/first.err")"

# Steps 1 to 3: the camera stays on; the same command again. The cut left
# the camera at the update's line rate, and a pseudo-terminal cannot carry
# the line break that would bring it back (step 4b): the camera is not found.
status=0
update second || status=$?
[ "$status" -eq 3 ] || fail "the second run ended with status $status, not 3"
quoted "$(grep -x "Searching for .*" "$work/second.out")"
quoted "$(sed -n '/^Camera can not be found/,/properly connected/p' "$work/second.out")"
quoted "$(grep -x 'Why: .*' "$work/second.out")"

# "When the camera is then not found": turn it off and on, the same command
# again. The camera waits in update mode and answers at once (step 4a): no
# camera ID, no version question, the whole file from the first block.
kill -USR1 "$sim_pid"
for _ in $(seq 100); do grep -q "switched off and on" "$work/sim.err" && break; sleep 0.1; done
grep -q "switched off and on" "$work/sim.err" || fail "the camera was not switched off and on"
status=0
update third || status=$?
[ "$status" -eq 0 ] || fail "the third run ended with status $status, not 0"
grep -q "Camera ID" "$work/third.out" && fail "the camera was read although it answered at once"
grep -q "matches camera version" "$work/third.out" && fail "a version question after step 4a"
grep -qE "(^|[^0-9])0% Downloading firmware" "$work/third.err" || fail "the transfer did not start at 0%"
quoted "$(grep -x "Searching for .*" "$work/third.out")"
grep -q "^Firmware 1.06 was successfully installed" "$work/third.out" || fail "no success message"
for first in "Camera update failed." "RETRY PROCEDURE in the ReadMe file." "Next: keep the camera" \
    "Stopping after the current block." "keep it connected and switched on, then" \
    "(RETRY PROCEDURE in the ReadMe). Press" "Why: a camera left" "Camera can not be found." \
    "Searching for Quelm"; do
    printed "$first"
done

kill -TERM "$sim_pid"
wait "$sim_pid" || fail "the simulator failed"
sim_pid=""
tail -c +129 "$work/new.fw" | cmp - "$work/flash.bin" || fail "the flash differs from the body"
echo "PASS: the RETRY PROCEDURE ends with the firmware body in the camera's flash"
