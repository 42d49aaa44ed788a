#!/usr/bin/env bash
# scripts/build, scripts/tsan, scripts/fuzz and scripts/windows must fail
# when their build fails (scripts/windows also when a test under it fails). Each script is run on a small tree of its own, first sound (it must
# pass, so it cannot be failing for some other reason), then again with a
# compile error planted in the same tree: the programs of the earlier build
# are still there, and a script that ignores the build's status passes with
# them. scripts/fuzz must also fail when the build makes no fuzzer.
# And the X display wrapper must not turn a missing xvfb-run into a skip in CI.
#
#   scripts_fail_test.sh SOURCE_DIR
set -uo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A tree holding copies of scripts/build and scripts/$1, a CMakeLists.txt
# made of the lines that follow, and a sound main.cpp; prints its path.
tree() {
    local dir
    dir=$(mktemp -d "$work/tree-XXXXXX")
    mkdir -p "$dir/scripts"
    cp "$src/scripts/build" "$src/scripts/$1" "$dir/scripts/" 2>/dev/null
    shift
    {
        echo "cmake_minimum_required(VERSION 3.25)"
        echo "project(planted CXX)"
        echo "enable_testing()"
        echo "add_compile_options(-Wall -Werror)"
        printf '%s\n' "$@"
    } >"$dir/CMakeLists.txt"
    # What libFuzzer prints at its end, which scripts/fuzz looks for.
    echo '#include <cstdio>
int main() { std::fputs("Done 1 runs in 0 second(s)\n", stderr); return 0; }' >"$dir/main.cpp"
    echo "$dir"
}
broken() { echo 'int main() { return undeclared_name; }' >"$1/main.cpp"; }
warns() { echo 'int main() { int unused = 0; return 0; }' >"$1/main.cpp"; }

# expect fails|passes DESCRIPTION COMMAND...
expect() {
    local want=$1 what=$2 log status=0
    shift 2
    log=$(mktemp "$work/log-XXXXXX")
    "$@" >"$log" 2>&1 </dev/null || status=$?
    if { [ "$want" = fails ] && [ "$status" -eq 0 ]; } ||
        { [ "$want" = passes ] && [ "$status" -ne 0 ]; }; then
        echo "FAIL: $what: exit status $status, but the script should have ${want%s}ed; its output:"
        sed 's/^/    /' "$log"
        failures=$((failures + 1))
    else
        echo "ok: $what (exit status $status)"
    fi
}

t=$(tree build "add_executable(app main.cpp)")
expect passes "scripts/build, sound tree" "$t/scripts/build" "$t/b"
broken "$t"
expect fails "scripts/build, compile error" "$t/scripts/build" "$t/b"
warns "$t"
expect fails "scripts/build, warning under -Werror" "$t/scripts/build" "$t/b"

# scripts/tsan builds and runs these targets and tests.
t=$(tree tsan "add_executable(app_runner_test main.cpp)" \
    "add_executable(app_gui_run_test main.cpp)" \
    "add_executable(tsan_planted_race main.cpp)" \
    "add_test(NAME app_runner_test COMMAND app_runner_test)" \
    "add_test(NAME app_gui_run_test COMMAND app_gui_run_test)" \
    "add_test(NAME tsan_planted_race_is_reported COMMAND tsan_planted_race)")
expect passes "scripts/tsan, sound tree" "$t/scripts/tsan"
broken "$t"
expect fails "scripts/tsan, compile error" "$t/scripts/tsan"

# scripts/fuzz runs build/fuzz/fuzz/fuzz_*.
t=$(tree fuzz "add_executable(fuzz_planted main.cpp)" \
    'set_target_properties(fuzz_planted PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)')
expect passes "scripts/fuzz, sound tree" "$t/scripts/fuzz" 1
broken "$t"
expect fails "scripts/fuzz, compile error" "$t/scripts/fuzz" 1
t=$(tree fuzz "add_executable(not_a_fuzzer main.cpp)")
expect fails "scripts/fuzz, no fuzzer built" "$t/scripts/fuzz" 1

# scripts/windows cross-builds build/win after the simulator and the
# resource tools for this machine (build/ci); the planted fault is in a
# program only the cross build makes.
t=$(tree windows "add_executable(rm525cam-sim main.cpp)" \
    "add_executable(rm525-make-string-table main.cpp)" "add_executable(rm525-make-artwork main.cpp)" \
    "if(WIN32)" "  add_executable(win_only win.cpp)" \
    "  add_test(NAME win_test COMMAND \${CMAKE_COMMAND} -E true)" "endif()")
cp "$src/scripts/setup" "$src/scripts/registered-tests" "$t/scripts/"
mkdir -p "$t/cmake" "$t/tests"
echo "win wine 0" >"$t/tests/minimum_counts"
cp "$src/cmake/mingw-w64-x86_64.cmake" "$t/cmake/"
echo 'int main() { return 0; }' >"$t/win.cpp"
expect passes "scripts/windows, sound tree" "$t/scripts/windows"
echo 'int main() { return undeclared_name; }' >"$t/win.cpp"
expect fails "scripts/windows build, compile error in the cross build" "$t/scripts/windows" build
echo 'int main() { return 0; }' >"$t/win.cpp"
sed -i 's/-E true/-E false/' "$t/CMakeLists.txt"
expect fails "scripts/windows test, a failing test" "$t/scripts/windows"
sed -i 's/-E false/-E true/' "$t/CMakeLists.txt"
echo "win wine 1" >"$t/tests/minimum_counts"
expect fails "scripts/windows, fewer Wine tests registered than counted" "$t/scripts/windows"

# The X display wrapper of the window tests: scripts/setup installs xvfb-run,
# so without it the test fails, in CI or not; a skip would hide the window
# tests from the count.
xvfb_status() {
    local status=0
    env -i PATH=/nonexistent "$@" "$(command -v bash)" "$src/tests/support/xvfb_run.sh" \
        true >/dev/null 2>&1 || status=$?
    echo "$status"
}
expect passes "xvfb_run.sh without xvfb-run fails (1)" test "$(xvfb_status)" -eq 1
expect passes "xvfb_run.sh without xvfb-run fails in CI (1)" test "$(xvfb_status CI=true)" -eq 1

[ "$failures" -eq 0 ]
