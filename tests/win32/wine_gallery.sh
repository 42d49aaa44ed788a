#!/usr/bin/env bash
# Every window of rm525fw.exe photographed under Wine on an X display (Xvfb,
# openbox), one picture each in OUT_DIR; with the Qt program's gallery
# (tests/app's window_gallery) in QT_DIR, also both side by side in
# OUT_DIR/both.png, for a person to compare.
#   wine_gallery.sh GALLERY.exe OUT_DIR [QT_DIR]
source "$(dirname "$0")/wine_common.sh"
exe=$1 out=$2 qt=${3:-}
shots=$out
source "$(dirname "$0")/wine_display.sh"
end_test() {
    local rc=$?
    stop_display
    (exit $rc)
    cleanup
}
trap end_test EXIT
mkdir -p "$out"
rm -f "$out"/*.png
start_display
wine_prefix_start "$dir"
mkfifo "$dir/next"
wine_run "$exe" <"$dir/next" >"$dir/names" 2>"$dir/gallery.err" &
pid=$!
exec 8>"$dir/next"
# The active window once the window manager has framed it, waited for at
# most 20 s; empty if none is.
framed_active_window() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool getactivewindow 2>/dev/null || true)
        if [ -n "$id" ] && xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; then
            echo "$id"
            return
        fi
        sleep 0.1
    done
}
count=0
while [ "$count" -lt 12 ]; do
    for _ in $(seq 100); do
        [ "$(wc -l <"$dir/names")" -gt "$count" ] && break
        sleep 0.1
    done
    name=$(sed -n "$((count + 1))p" "$dir/names" | tr -d '\r')
    [ -n "$name" ] || fail "window $((count + 1)) was not shown"
    id=$(framed_active_window)
    [ -n "$id" ] || fail "$name was not framed by the window manager within 20 s"
    import -frame -window "$id" "$out/$name.png"
    echo >&8
    count=$((count + 1))
done
exec 8>&-
wait_exit "$pid" 30 "the gallery" || fail "the gallery ended with $?"
echo "$count windows in $out"
if [ -n "$qt" ] && [ -d "$qt" ]; then
    args=()
    for f in "$out"/*.png; do
        name=$(basename "$f")
        [ "$name" = both.png ] && continue
        args+=(-label "Win32 $name" "$f")
        [ -f "$qt/$name" ] && args+=(-label "Qt $name" "$qt/$name")
    done
    montage -background white -fill black -pointsize 12 "${args[@]}" -tile 2x \
        -geometry '+6+6' "$out/both.png"
    echo "side by side: $out/both.png"
fi
