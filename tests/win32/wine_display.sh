# An X display of the test's own for the Windows desktop program, sourced
# after wine_common.sh: Xvfb on a free number, openbox on it, screenshots.
#   start_display             sets DISPLAY; both end with the test
#   shot NAME                 keeps the screen as $shots/NAME.png
#   wait_dialog S WHAT        waits up to S s for a window of the program (by
#                             its caption) other than the main window and
#                             the dialog waited for before
#   wait_named TITLE S WHAT   waits for a window titled TITLE
shots=${shots:-$dir/shots}
x_pids=()
stop_display() {
    local pid
    for pid in "${x_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
start_display() {
    mkdir -p "$shots"
    exec 7> >(cat >"$dir/display-number")
    Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
    x_pids+=($!)
    exec 7>&-
    local i
    for i in $(seq 100); do
        [ -s "$dir/display-number" ] && break
        sleep 0.1
    done
    [ -s "$dir/display-number" ] || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$dir/display-number")"
    openbox >"$dir/openbox.log" 2>&1 &
    x_pids+=($!)
}
shot() {
    import -window root "$shots/$1.png" 2>/dev/null || true
}
# The program's dialogs: its windows by caption, less the main window
# (which covers the screen).
program_dialogs() {
    local id
    for id in $(xdotool search --onlyvisible --name \
        '^Quelm RM520/RM525 Zoom Camera Update Software$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
        [ "${WIDTH:-0}" -lt 900 ] && echo "$id"
    done
}
last_dialog=
wait_dialog() {
    local limit=$1 what=$2 i id
    for i in $(seq $((limit * 5))); do
        for id in $(program_dialogs); do
            if [ "$id" != "$last_dialog" ]; then
                last_dialog=$id
                return 0
            fi
        done
        sleep 0.2
    done
    shot "timeout-${what// /-}"
    fail "no $what within $limit s"
}
wait_named() {
    local title=$1 limit=$2 what=$3 i
    for i in $(seq $((limit * 5))); do
        xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    shot "timeout-${what// /-}"
    fail "no $what within $limit s"
}
