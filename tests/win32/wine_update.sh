#!/usr/bin/env bash
# A whole update with rm525fw-cli.exe under Wine against rm525cam-sim on a
# pseudo-terminal, ending with the firmware body byte for byte in the
# camera's flash.
#   wine_update.sh fixed CLI.exe SIM        the camera on COM1, --port COM1
#   wine_update.sh auto-retry CLI.exe SIM   the camera on COM3, COM1 and COM2
#       mapped to nothing, --port AUTO; the first transfer fails early (the
#       camera fails block 5), so that the test costs one whole transfer, and
#       the second run finds the camera still in update mode and installs
source "$(dirname "$0")/wine_common.sh"
mode=$1 cli=$2 sim=$3

"$sim" make-firmware --model rm525 --version 0106 --out "$dir/update.fw" >/dev/null
fw=$(winpath "$dir/update.fw")

run_update() {  # run_update NAME PORT: status in $status, output in $dir/NAME.out/.err
    local name=$1 port=$2 start end
    start=$(date +%s%N)
    status=0
    wine_run "$cli" update --port "$port" --file "$fw" --yes \
        --trace "$(winpath "$dir/$name.trace")" \
        </dev/null >"$dir/$name.out" 2>"$dir/$name.err" || status=$?
    end=$(date +%s%N)
    echo "$name: exit $status after $(((end - start) / 1000000)) ms"
}

case $mode in
fixed)
    start_camera "$sim" --exit-after-release
    wine_prefix_start "$dir" "COM1=$camera_tty"
    run_update update COM1
    [ "$status" -eq 0 ] || fail "exit status $status"
    grep -q "Firmware Version: 1.05" "$dir/update.err" || fail "no camera version shown"
    grep -q "Firmware 1.06 was successfully installed" "$dir/update.out" || fail "no success"
    grep -q "100% Downloading firmware completed." "$dir/update.err" || fail "no progress"
    grep -q " COM1 > 57 51 4D 5A 45 41 56 48 52 59 43 53" "$dir/update.trace" ||
        fail "no handshake on the wire"
    ;;
auto-retry)
    start_camera "$sim" --exit-after-verified-release --fault fail@0x1D:5
    wine_prefix_start "$dir" "COM3=$camera_tty"
    run_update failed AUTO
    [ "$status" -eq 1 ] || fail "the failed transfer exits $status, not 1"
    grep -q "Camera update failed." "$dir/failed.out" || fail "no failure prompt"
    grep -q " COM3 - opened" "$dir/failed.trace" || fail "the camera was not found on COM3"
    ! grep -q " COM[4-9] " "$dir/failed.trace" || fail "the search went past COM3"
    # The retry procedure: the camera is switched off and on again (back at
    # 9600 bit/s, still in update mode without verified firmware).
    kill -USR1 "$sim_pid"
    run_update retry AUTO
    [ "$status" -eq 0 ] || fail "the retry exits $status"
    grep -q "successfully installed" "$dir/retry.out" || fail "no success on the retry"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
camera_exit || fail "the simulator ended with $?"
flash_matches "$dir/update.fw" || fail "the flash differs from the file's body"
echo "byte-exact: the camera's flash is the firmware body"
