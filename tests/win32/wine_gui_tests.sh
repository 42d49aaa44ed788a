#!/usr/bin/env bash
# The Win32 desktop program's windows and pixels, in process (a test program
# that carries the program's resources), under Wine on an X display of its
# own with openbox: every COM port mapped to nothing.
#   wine_gui_tests.sh TEST.exe
source "$(dirname "$0")/wine_common.sh"
source "$(dirname "$0")/wine_display.sh"
end_test() {
    local rc=$?
    [ $rc -eq 0 ] || shot failed
    stop_display
    (exit $rc)
    cleanup
}
trap end_test EXIT
start_display
wine_prefix_start "$dir"
wine_run "$1" --gtest_brief=1 >"$dir/gui_test.out" 2>&1 || {
    cat "$dir/gui_test.out"
    fail "the window tests failed under Wine"
}
grep -E 'PASSED|tests? ran' "$dir/gui_test.out"
# The dialog-unit facts, for tests/app/dialog_units_facts.txt.
grep '^dialog-units ' "$dir/gui_test.out" | tr -d '\r'

