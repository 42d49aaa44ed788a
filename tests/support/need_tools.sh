# need_tools TOOL...: sourced by the test scripts that drive outside programs.
# Each tool they use comes from a package that `scripts/setup tests` installs,
# so a missing one means that setup did not run or failed: the test fails and
# names it, in CI or not. A skip here would let a whole group of tests vanish
# from the count without anyone noticing.
need_tools() {
    local tool missing=()
    for tool in "$@"; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "FAIL: not installed: ${missing[*]} (scripts/setup tests installs them)"
    exit 1
}
