# A Wine prefix of a test's own, sourced by the Wine test scripts.
#
#   wine_prefix_start DIR [COMn=PATH ...]
#       makes DIR/prefix and maps every one of COM1..COM9 before anything in
#       it can open a port: the ones named to PATH, all others to a path in
#       DIR that does not exist. A COMn beyond 9 named is mapped too. Wine's mount manager maps COM ports onto the
#       machine's /dev/ttyS* devices when a prefix starts; on these machines
#       /dev/ttyS0 is the kernel console. It gives them the numbers the
#       registry leaves free (it only looks whether the devices exist; it
#       does not open them): with all nine taken, /dev/ttyS0 becomes COM10,
#       which the program never opens (`ports` lists it).
#   wine_run PROGRAM.exe ARGS...     runs a Windows program in that prefix
#   wine_prefix_stop                 ends the prefix's wineserver
#
# The registry is written as a file before the prefix's first start, so the
# mapping is there when the mount manager reads it.

WINE_BIN_DIR=${WINE_BIN_DIR:-/usr/lib/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# Nothing beyond the prefix itself: no .NET, no Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

wine_prefix_start() {
    local dir=$1
    shift
    export WINEPREFIX="$dir/prefix"
    mkdir -p "$WINEPREFIX"
    local -A map=()
    local n entry
    local -a numbers=(1 2 3 4 5 6 7 8 9)
    for entry in "$@"; do
        map[${entry%%=*}]=${entry#*=}
        n=${entry%%=*}
        n=${n#COM}
        [ "$n" -gt 9 ] && numbers+=("$n")
    done
    {
        printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n'
        printf '[Software\\\\Wine\\\\Ports] 1700000000\n'
        for n in "${numbers[@]}"; do
            printf '"COM%s"="%s"\n' "$n" "${map[COM$n]-$dir/no-port-$n}"
        done
    } >"$WINEPREFIX/system.reg"
    # A first boot that fails (seen once on a loaded machine, silently) is
    # said with its log and tried once more on a fresh copy of the registry.
    cp "$WINEPREFIX/system.reg" "$dir/system.reg"
    local attempt
    for attempt in 1 2; do
        "$WINE_BIN_DIR/wine64" wineboot -i >"$dir/wineboot.log" 2>&1 && break
        echo "wine_prefix_start: wineboot failed (attempt $attempt):" >&2
        tail -n 20 "$dir/wineboot.log" >&2
        [ "$attempt" = 2 ] && return 1
        "$WINE_BIN_DIR/wineserver" -k 2>/dev/null || true
        "$WINE_BIN_DIR/wineserver" -w 2>/dev/null || true
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        cp "$dir/system.reg" "$WINEPREFIX/system.reg"
    done
    # Refuse to go on unless every number points where it was told to.
    for n in "${numbers[@]}"; do
        local want=${map[COM$n]-$dir/no-port-$n}
        local got
        got=$(readlink "$WINEPREFIX/dosdevices/com$n" || true)
        if [ "$got" != "$want" ]; then
            echo "wine_prefix_start: COM$n maps to '$got', not '$want'" >&2
            return 1
        fi
    done
}

wine_run() {
    "$WINE_BIN_DIR/wine64" "$@"
}

wine_prefix_stop() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        "$WINE_BIN_DIR/wineserver" -k 2>/dev/null || true
        "$WINE_BIN_DIR/wineserver" -w 2>/dev/null || true
    fi
}
