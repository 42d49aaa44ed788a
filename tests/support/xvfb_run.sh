#!/usr/bin/env bash
# xvfb-run ARGS..., with xvfb-run looked up when the test runs rather than
# when the build was configured. Where it is missing the test is skipped
# (exit 77), except in CI (CI=true): scripts/setup installs it there, so its
# absence is a failure.
set -euo pipefail
if ! command -v xvfb-run >/dev/null; then
    if [ "${CI:-}" = true ]; then
        echo "FAIL: xvfb-run is not installed (scripts/setup installs it)"
        exit 1
    fi
    echo "SKIP: xvfb-run is not installed"
    exit 77
fi
exec xvfb-run "$@"
