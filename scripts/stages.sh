# Stage bookkeeping for scripts/test (sourced, not run; tests/scripts checks
# it). Each helper runs one piece of the suite with its output shown as it
# comes, and counts what really ran into the closing summary. None of them
# stops the run, so the summary is complete even after a failure.
#
#   run_stage NAME COMMAND [ARGS...]
#       Runs COMMAND ARGS under a "== NAME" heading and counts one item:
#       passed (exit 0), skipped (exit 77) or failed (any other status).
#       Returns COMMAND's status, so a stage that later ones need can guard
#       them (see run_stage ... || skip_stage ...).
#   run_ctest NAME CTEST_ARGS...
#       Runs ctest with CTEST_ARGS and counts each test it ran from ctest's
#       own JUnit report: passed; failed (failed, timed out, or could not
#       start); skipped (SKIP_RETURN_CODE, e.g. exit 77, or disabled). A ctest
#       that fails with no failing test in its report (nothing to run, no
#       report) counts as one failed item; so does finding no test at all.
#       Returns 0 when ctest passed.
#   start_stage NAME COMMAND [ARGS...] / join_stage NAME
#       run_stage in the background: the command runs while later stages go
#       on (a stage that mostly waits, beside one that computes), its output
#       kept and shown under its heading when it is joined. join_stage counts
#       it as run_stage does and returns its status.
#   start_ctest NAME CTEST_ARGS... / join_ctest NAME
#       run_ctest in the background, joined and counted the same way.
#   skip_stage NAME REASON
#       Counts NAME as one skipped item, e.g. the tests of a build that failed.
#   finish_stages
#       Counts a stage started in the background and never joined as failed
#       (its result would otherwise be lost) and stops it, lists what failed, prints
#       "summary: N passed, M failed" (with ", K skipped" when K > 0) and
#       exits 1 when anything failed, else 0.

stages_passed=0
stages_failed=0
stages_skipped=0
stages_failures=()

run_stage() {
    local name=$1 status=0 start=$SECONDS
    shift
    echo "== $name"
    "$@" || status=$?
    case $status in
        0) stages_passed=$((stages_passed + 1)) ;;
        77)
            stages_skipped=$((stages_skipped + 1))
            echo "== $name: skipped"
            ;;
        *)
            stages_failed=$((stages_failed + 1))
            stages_failures+=("$name (exit status $status)")
            echo "== $name: FAILED (exit status $status)"
            ;;
    esac
    echo "== $name: $((SECONDS - start)) s"
    return "$status"
}

# count_ctest NAME STATUS REPORT: counts ctest's JUnit REPORT of a run that
# ended with STATUS.
count_ctest() {
    local name=$1 status=$2 report=$3 counts passed failed skipped failedNames
    # One <testcase> per test; a test that did not run carries a <skipped>
    # element whose message says why: only a skip the test asked for (its
    # SKIP_RETURN_CODE or SKIP_REGULAR_EXPRESSION) is a skip, anything else
    # (its program missing, say) is a failure, as ctest itself counts it.
    counts=$(awk '
        function close_pending() { if (pending) { failed++; names = names " " test } pending = 0 }
        /<testcase / {
            close_pending()
            test = $0; sub(/.*<testcase name="/, "", test); sub(/".*/, "", test)
            st = $0; sub(/.* status="/, "", st); sub(/".*/, "", st)
            if (st == "run") passed++
            else if (st == "fail") { failed++; names = names " " test }
            else if (st == "disabled") skipped++
            else pending = 1
            next
        }
        pending && /<skipped message="SKIP_(RETURN_CODE|REGULAR_EXPRESSION)/ { skipped++; pending = 0 }
        pending && /<\/testcase>/ { close_pending() }
        END { close_pending(); printf "%d %d %d%s\n", passed, failed, skipped, names }
    ' "$report" 2>/dev/null)
    read -r passed failed skipped failedNames <<<"${counts:-0 0 0}"
    stages_passed=$((stages_passed + passed))
    stages_failed=$((stages_failed + failed))
    stages_skipped=$((stages_skipped + skipped))
    [ "$failed" -gt 0 ] && stages_failures+=("$name:$(printf ' %s' $failedNames)")
    if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
        stages_failed=$((stages_failed + 1))
        stages_failures+=("$name (ctest exit status $status, no failing test reported)")
    fi
    echo "== $name: $passed passed, $failed failed, $skipped skipped"
}

run_ctest() {
    local name=$1 status=0 start=$SECONDS report
    shift
    echo "== $name"
    report=$(mktemp)
    ctest --no-tests=error "$@" --output-junit "$report" || status=$?
    count_ctest "$name" "$status" "$report"
    rm -f "$report"
    echo "== $name: $((SECONDS - start)) s"
    return "$status"
}

# Background stages: NAME -> "pid log start".
declare -A stages_background=()

start_stage() {
    local name=$1 log
    shift
    log=$(mktemp)
    "$@" >"$log" 2>&1 &
    stages_background[$name]="$! $log $SECONDS"
    echo "== $name: started in the background"
}

join_stage() {
    local name=$1 pid log start status=0
    read -r pid log start <<<"${stages_background[$name]}"
    wait "$pid" || status=$?
    echo "== $name (ran in the background, $((SECONDS - start)) s)"
    cat "$log"
    rm -f "$log"
    unset "stages_background[$name]"
    run_stage "$name" stage_status "$status"
}

# A command that ends with the given status (a `return` of run_stage's own).
stage_status() { return "$1"; }

start_ctest() {
    local name=$1 report
    shift
    report=$(mktemp)
    start_stage "$name" ctest --no-tests=error "$@" --output-junit "$report"
    stages_background[$name]+=" $report"
}

join_ctest() {
    local name=$1 pid log start report status=0
    read -r pid log start report <<<"${stages_background[$name]}"
    wait "$pid" || status=$?
    echo "== $name (ran in the background)"
    cat "$log"
    rm -f "$log"
    unset "stages_background[$name]"
    count_ctest "$name" "$status" "$report"
    rm -f "$report"
    echo "== $name: $((SECONDS - start)) s"
    return "$status"
}

skip_stage() {
    stages_skipped=$((stages_skipped + 1))
    echo "== $1: skipped ($2)"
}

finish_stages() {
    local f name pid
    for name in "${!stages_background[@]}"; do
        read -r pid _ <<<"${stages_background[$name]}"
        kill "$pid" 2>/dev/null
        stages_failed=$((stages_failed + 1))
        stages_failures+=("$name (started in the background, never joined)")
    done
    for f in "${stages_failures[@]}"; do
        echo "failed: $f"
    done
    local skipped=""
    [ "$stages_skipped" -gt 0 ] && skipped=", $stages_skipped skipped"
    echo "summary: $stages_passed passed, $stages_failed failed$skipped"
    [ "$stages_failed" -eq 0 ] && exit 0
    exit 1
}
