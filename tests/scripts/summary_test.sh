#!/usr/bin/env bash
# The bookkeeping of scripts/test (scripts/stages.sh) against a small ctest
# project whose outcomes are known: the summary must count each test and
# stage once, a skip (exit 77) as skipped, a test whose program is missing as
# failed, and the exit status must follow the failures.
#
#   summary_test.sh SOURCE_DIR
set -uo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

mkdir "$work/project"
cat >"$work/project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(outcomes NONE)
enable_testing()
add_test(NAME passes COMMAND true)
add_test(NAME passes_too COMMAND sh -c "echo '<testcase status=\"run\">'")
set_tests_properties(passes passes_too PROPERTIES LABELS "must-run")
add_test(NAME fails COMMAND false)
add_test(NAME skips COMMAND sh -c "exit 77")
set_tests_properties(skips PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME program_missing COMMAND /nonexistent/program)
add_test(NAME times_out COMMAND sleep 30)
set_tests_properties(times_out PROPERTIES TIMEOUT 1)
CMAKE
cmake -S "$work/project" -B "$work/build" >/dev/null || exit 1

# check DESCRIPTION EXPECTED-LAST-LINE EXPECTED-STATUS SCRIPT
check() {
    local what=$1 line=$2 want=$3 out status=0
    out=$(cd "$src" && bash -c "source scripts/stages.sh; $4" 2>&1) || status=$?
    if [ "$(tail -n1 <<<"$out")" != "$line" ] || [ "$status" -ne "$want" ]; then
        echo "FAIL: $what: exit status $status (expected $want), last line" \
            "\"$(tail -n1 <<<"$out")\" (expected \"$line\"); output:"
        sed 's/^/    /' <<<"$out"
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

b=$work/build
check "mixed outcomes" "summary: 3 passed, 5 failed, 3 skipped" 1 "
    run_ctest tests --test-dir $b
    run_stage good true
    run_stage bad false
    run_stage skipped sh -c 'exit 77'
    run_stage 'no build' false || skip_stage 'its tests' 'the build failed'
    finish_stages"
check "only passes" "summary: 3 passed, 0 failed" 0 "
    run_ctest tests --test-dir $b -R '^passes'
    run_stage good true
    finish_stages"
check "a ctest that finds nothing to run" "summary: 0 passed, 1 failed" 1 "
    run_ctest tests --test-dir $b -R nothing-matches
    finish_stages"
check "a ctest without a build tree" "summary: 0 passed, 1 failed" 1 "
    run_ctest tests --test-dir $work/no-such-build
    finish_stages"
check "stages in the background count as those in the foreground" \
    "summary: 4 passed, 4 failed, 1 skipped" 1 "
    start_ctest background --test-dir $b
    start_stage 'slow bad' sh -c 'sleep 1; exit 3'
    run_stage good true
    join_stage 'slow bad'
    start_stage 'slow good' sleep 1
    join_ctest background
    join_stage 'slow good'
    finish_stages"
check "a stage started in the background and never joined fails the run" \
    "summary: 1 passed, 1 failed" 1 "
    start_stage forgotten true
    run_stage good true
    finish_stages"

# The labels that must run, counted from ctest's own list.
registered() {
    printf '%s\n' "# tree label minimum" "ci must-run $1" "win must-run 9" >"$work/counts"
    "$src/scripts/registered-tests" ci "$b" "$work/counts"
}
check "enough tests registered under a label" "label must-run: 2 tests (at least 2)" 0 \
    "$(declare -f registered); work=$work b=$b src=$src registered 2"
check "too few tests registered under a label" \
    "label must-run: 2 tests registered in $b, at least 3 expected" 1 \
    "$(declare -f registered); work=$work b=$b src=$src registered 3"
check "the failures are named" "failed: tests: fails program_missing times_out" 1 "
    run_ctest tests --test-dir $b
    finish_stages | tail -n2 | head -n1; exit \${PIPESTATUS[0]}"

[ "$failures" -eq 0 ]
