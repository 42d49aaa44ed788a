#!/usr/bin/env bash
# The two desktop programs over one whole update each, side by side on this
# machine: rm525fw.exe under Wine (tests/win32/wine_gui_run.sh update) and
# the Qt rm525fw (tests/app/xvfb_end_to_end.sh), each against its own
# simulated camera on an X display of its own. Samples each program's own
# process twice a second and prints its CPU time (user + system) and peak
# memory (VmHWM) as last seen before it ended. Wine's wineserver, Xvfb and
# openbox are not counted. Beside them, rm525fw-cli.exe under Wine makes the
# same update (tests/win32/wine_update.sh fixed): what Wine's serial calls
# cost without any window. A measurement, not a test: run by hand.
#   bench/desktop_programs.sh [BUILD_CI [BUILD_WIN]]
set -euo pipefail
cd "$(dirname "$0")/.."
ci=${1:-build/ci} win=${2:-build/win}
out=$(mktemp -d "${TMPDIR:-/tmp}/rm525-bench-XXXXXX")
trap 'rm -rf "$out"' EXIT
tick=$(getconf CLK_TCK)

# sample NAME PATTERN: the last CPU ticks and VmHWM of the newest process
# whose command line matches PATTERN, until none is left after one was seen.
sample() {
    local name=$1 pattern=$2 pid="" seen=0 cpu=0 hwm=0 stat peak
    while :; do
        pid=$(pgrep -n -f "$pattern" || true)
        if [ -z "$pid" ]; then
            [ $seen = 1 ] && break
            sleep 0.5
            continue
        fi
        seen=1
        if stat=$(cut -d' ' -f14,15 "/proc/$pid/stat" 2>/dev/null); then
            cpu=$((${stat% *} + ${stat#* }))
            peak=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
            [ -n "$peak" ] && hwm=$peak
        fi
        sleep 0.5
    done
    echo "$name cpu $(awk "BEGIN {printf \"%.2f\", $cpu / $tick}") s, peak $hwm kB" >"$out/$name"
}

sample win32 'rm525fw\.exe$' &
s1=$!
sample qt "^$PWD/$ci/app/qt/rm525fw\$" &
s2=$!
sample cli-wine 'rm525fw-cli\.exe update' &
s3=$!
bash tests/win32/wine_gui_run.sh update "$win/app/win32/rm525fw.exe" "$ci/sim/rm525cam-sim" \
    "$out/win-shots" >"$out/win.log" 2>&1 &
r1=$!
bash tests/app/xvfb_end_to_end.sh "$PWD/$ci/app/qt/rm525fw" "$ci/sim/rm525cam-sim" \
    "$out/qt-shots" >"$out/qt.log" 2>&1 &
r2=$!
bash tests/win32/wine_update.sh fixed "$win/cli/rm525fw-cli.exe" "$ci/sim/rm525cam-sim" \
    >"$out/cli.log" 2>&1 &
r3=$!
wait $r1 || { cat "$out/win.log"; exit 1; }
wait $r2 || { cat "$out/qt.log"; exit 1; }
wait $r3 || { cat "$out/cli.log"; exit 1; }
wait $s1 $s2 $s3
grep 'port dialog shown' "$out/win.log" | sed 's/^/win32 /'
grep 'port dialog shown' "$out/qt.log" | sed 's/^/qt /'
cat "$out/win32" "$out/qt" "$out/cli-wine"
