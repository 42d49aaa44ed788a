# Shared by the Wine test scripts: a temporary folder of the test's own, the
# simulated camera on a pseudo-terminal, Windows names for Linux paths.
set -euo pipefail
# A command that ends the test by failing says which, even where it prints
# nothing itself (wineboot, xdotool).
set -E
# Said once: the failure then runs up through the callers and the traps.
trap 'failed_status=$?; [ -n "${failed_command:-}" ] || {
    failed_command=$BASH_COMMAND
    echo "FAIL: status $failed_status from: $BASH_COMMAND (${BASH_SOURCE[0]##*/}:$LINENO)" >&2
}' ERR
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine_prefix.sh
source "$here/wine_prefix.sh"
# Wine turns the program's arguments into UTF-16 by the locale.
export LC_ALL=C.UTF-8
keep_dir=${RM525FW_KEEP_WINE_DIR:-}  # the test's own: keep the folder for a look
# Wine hands the Linux environment on to the program: a developer's
# RM525FW_COM1=/dev/ttyUSB0 would point the test at a real device.
while read -r name; do
    unset "$name"
done < <(compgen -e | grep '^RM525FW_' || true)
if compgen -e | grep -q '^RM525FW_'; then
    echo "wine_common.sh: RM525FW_* variables are still set" >&2
    exit 1
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/rm525-wine-XXXXXX")
sim_pid=
cleanup() {
    local rc=$?
    wine_prefix_stop
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [ $rc -ne 0 ] && [ -z "$keep_dir" ]; then
        for f in "$dir"/*.out "$dir"/*.err "$dir"/sim.log; do
            [ -f "$f" ] && { echo "---- $f"; tail -n 40 "$f"; }
        done
    fi
    [ -n "$keep_dir" ] || rm -rf "$dir"
    exit $rc
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The Windows name of a Linux path, through Wine's drive Z: (the root).
winpath() {
    local p=$1
    echo "Z:${p//\//\\}"
}

# start_camera SIM [ARGS...]: the simulated camera on a terminal reached as
# $dir/camera; sets sim_pid and camera_tty. The camera logs each frame it
# gets into $dir/sim.log when camera_frames=1 is set, else it is quiet.
start_camera() {
    local sim=$1 quiet=(--quiet)
    shift
    [ "${camera_frames:-}" = 1 ] && quiet=()
    "$sim" --link "$dir/camera" --flash-out "$dir/flash.bin" "${quiet[@]}" "$@" \
        >"$dir/sim.log" 2>&1 &
    sim_pid=$!
    local i
    for i in $(seq 100); do
        [ -e "$dir/camera" ] && break
        sleep 0.1
    done
    [ -e "$dir/camera" ] || fail "the simulator made no terminal"
    camera_tty=$(readlink -f "$dir/camera")
}

# wait_exit PID SECONDS WHAT: waits at most SECONDS for the child PID to end
# and returns its exit status; one still running then is killed, and the
# test fails naming WHAT.
wait_exit() {
    local pid=$1 limit=$2 what=$3 i rc=0
    for i in $(seq $((limit * 10))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        fail "$what did not end within $limit s"
    fi
    wait "$pid" || rc=$?
    return $rc
}

# camera_exit: waits for the simulator to leave by itself; its exit status.
camera_exit() {
    local pid=$sim_pid rc=0
    sim_pid=
    wait_exit "$pid" 20 "the simulator" || rc=$?
    return $rc
}

# The camera's flash holds exactly the body of firmware file $1.
flash_matches() {
    tail -c +129 "$1" | cmp -s - "$dir/flash.bin"
}
