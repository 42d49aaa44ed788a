#!/usr/bin/env bash
# The cross-built unit tests under Wine, one after the other in one prefix
# in which no COM port leads anywhere.
#   wine_unit_tests.sh TEST.exe...
source "$(dirname "$0")/wine_common.sh"

wine_prefix_start "$dir"
failed=()
for exe in "$@"; do
    name=$(basename "$exe" .exe)
    echo "== $name"
    if ! wine_run "$exe" --gtest_brief=1 >"$dir/$name.out" 2>&1; then
        failed+=("$name")
    fi
    grep -E '^\[  (PASSED|FAILED) |^\[  FAILED  \]|tests? ran' "$dir/$name.out" || true
done
if [ ${#failed[@]} -ne 0 ]; then
    for name in "${failed[@]}"; do
        echo "---- $name"
        tail -n 60 "$dir/$name.out"
    done
    fail "under Wine: ${failed[*]}"
fi
echo "all ${#} unit test programs passed under Wine"
