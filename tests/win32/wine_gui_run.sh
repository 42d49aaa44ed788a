#!/usr/bin/env bash
# rm525fw.exe, the desktop program, driven by keys under Wine on an X
# display of its own (Xvfb, openbox) against rm525cam-sim on a pty.
#   wine_gui_run.sh update RM525FW.exe SIM      AUTO with the camera on COM3
#       and COM1, COM2 mapped to nothing; a wrong file first, Continue, the
#       right file typed into the chooser, the transfer, the success prompt;
#       the program ends by itself with the flash byte-exact
#   wine_gui_run.sh no-camera RM525FW.exe SIM   AUTO with no camera at all:
#       why the ports were passed over, "Camera can not be found.", the end
# Screenshots of each step are kept in SHOTS_DIR (4th argument) when a
# step fails.
source "$(dirname "$0")/wine_common.sh"
mode=$1 program=$2 sim=$3
shots=${4:-$dir/shots}
source "$(dirname "$0")/wine_display.sh"
rm -rf "$shots"
end_test() {
    local rc=$?
    [ $rc -eq 0 ] && rm -rf "$shots" || shot failed
    stop_display
    (exit $rc)
    cleanup
}
trap end_test EXIT

press() {  # press WHAT KEYS...: the keys to the window that has the focus
    local what=$1
    shift
    shot "$what"
    xdotool key --clearmodifiers "$@"
}
type_path() {  # type_path FILE: its Windows name into the chooser's name field
    shot "chooser-$(basename "$1")"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 5 "$(winpath "$1")"
    xdotool key --clearmodifiers Return
}

start_display
case $mode in
update)
    "$sim" make-firmware --model rm525 --version 0106 --out "$dir/update.fw" >/dev/null
    # The same file with its model text in lower case: no model matches.
    { printf 'q'; tail -c +2 "$dir/update.fw"; } >"$dir/wrong.fw"
    start_camera "$sim" --exit-after-release
    wine_prefix_start "$dir" "COM3=$camera_tty"
    started=$(date +%s%N)
    wine_run "$program" >"$dir/program.out" 2>"$dir/program.err" &
    pid=$!
    wait_dialog 60 "port dialog"
    echo "port dialog shown $((($(date +%s%N) - started) / 1000000)) ms after the start"
    press port-dialog Return  # OK untouched: AUTO
    wait_named Open 60 "file chooser"
    type_path "$dir/wrong.fw"
    wait_dialog 30 "wrong-file prompt"
    press wrong-file Return  # Continue
    wait_named Open 30 "second file chooser"
    type_path "$dir/update.fw"
    # The transfer: the progress window, then the success prompt. Keys are
    # dropped while the camera works, so Enter is pressed until the program
    # has ended; it only counts on the prompt.
    for i in $(seq 600); do
        kill -0 "$pid" 2>/dev/null || break
        [ "$i" -eq 30 ] && shot progress
        [ -n "$(program_dialogs)" ] && xdotool key --clearmodifiers Return 2>/dev/null
        sleep 1
    done
    wait_exit "$pid" 10 "rm525fw.exe" || fail "rm525fw.exe ended with $?"
    camera_exit || fail "the simulator ended with $?"
    flash_matches "$dir/update.fw" || fail "the flash differs from the file's body"
    echo "byte-exact: the camera's flash is the firmware body"
    ;;
no-camera)
    wine_prefix_start "$dir"
    wine_run "$program" >"$dir/program.out" 2>"$dir/program.err" &
    pid=$!
    wait_dialog 60 "port dialog"
    press port-dialog Return
    wait_dialog 60 "passed-over ports"
    press passed-over Return
    wait_dialog 30 "no-camera prompt"
    press no-camera Return
    wait_exit "$pid" 30 "rm525fw.exe" || fail "rm525fw.exe ended with $?"
    echo "the no-camera road ends the program"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
