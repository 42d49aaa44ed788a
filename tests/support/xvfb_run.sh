#!/usr/bin/env bash
# xvfb-run ARGS..., with xvfb-run looked up when the test runs rather than
# when the build was configured; without it the test fails (need_tools.sh).
set -euo pipefail
source "${0%/*}/need_tools.sh"
need_tools xvfb-run
exec xvfb-run "$@"
