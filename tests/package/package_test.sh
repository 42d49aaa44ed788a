#!/usr/bin/env bash
# Builds the Debian packages of a build folder with CPack, checks what they
# hold and what they depend on, unpacks them into a temporary root and runs
# the programs from there (the terminal program, its completion, and the
# desktop program to its port dialog on an X display), checks that the
# documents are the tree's own, validates the desktop entry and lets lintian
# judge them: no errors allowed (warnings are shown).
#
#   package_test.sh BUILD_DIR WITH_GUI(0|1) VERSION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/need_tools.sh"
need_tools cpack dpkg-deb lintian desktop-file-validate xvfb-run xdotool xprop

build=$1
with_gui=$2
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
main=$(ls "$work"/out/rm525fw_*.deb)
sim=$(ls "$work"/out/rm525cam-sim_*.deb)

# What each package holds. The listing is read whole before it is searched:
# a grep -q that stops reading early would end dpkg-deb with SIGPIPE, and
# under pipefail the match would be lost.
contents() { dpkg-deb -c "$1" | awk '{print $6}'; }
has() {  # has DEB PATH...
    local deb=$1 list
    shift
    list=$(contents "$deb")
    for path in "$@"; do
        grep -qxF "./$path" <<<"$list" || fail "$(basename "$deb") lacks /$path"
    done
}
has "$main" usr/bin/rm525fw-cli usr/share/man/man1/rm525fw-cli.1.gz \
    usr/share/bash-completion/completions/rm525fw-cli \
    usr/share/doc/rm525fw/ReadMe usr/share/doc/rm525fw/copyright usr/share/doc/rm525fw/changelog.gz
if [ "$with_gui" = 1 ]; then
    has "$main" usr/bin/rm525fw usr/share/man/man1/rm525fw.1.gz \
        usr/share/applications/rm525fw.desktop usr/share/icons/hicolor/48x48/apps/rm525fw.png
fi
has "$sim" usr/bin/rm525cam-sim usr/share/man/man1/rm525cam-sim.1.gz \
    usr/share/doc/rm525cam-sim/copyright usr/share/doc/rm525cam-sim/changelog.gz
main_list=$(contents "$main")
grep -q "rm525cam-sim" <<<"$main_list" && fail "the simulator is in the updater's package"

# Dependencies worked out from the binaries.
depends=$(dpkg-deb -f "$main" Depends)
grep -q "libstdc++6" <<<"$depends" || fail "rm525fw does not depend on libstdc++6: $depends"
if [ "$with_gui" = 1 ]; then
    grep -q "libqt6widgets6" <<<"$depends" || fail "rm525fw does not depend on Qt: $depends"
fi
grep -q "libc6" <<<"$(dpkg-deb -f "$sim" Depends)" || fail "rm525cam-sim has no dependencies"

# The programs, run from the unpacked packages.
root=$work/root
dpkg-deb -x "$main" "$root"
dpkg-deb -x "$sim" "$root"
export RM525FW_NO_DEFAULT_PORTS=1
"$root/usr/bin/rm525fw-cli" --version >"$work/version.out" || fail "rm525fw-cli --version failed"
grep -qx "rm525fw-cli $version" "$work/version.out" ||
    fail "rm525fw-cli --version: $(cat "$work/version.out"), expected $version"
RM525FW_COM2="$work/camera" "$root/usr/bin/rm525fw-cli" ports >"$work/ports.out" ||
    fail "rm525fw-cli ports failed"
grep "COM2" "$work/ports.out" | grep -qF "$work/camera" ||
    fail "ports does not show COM2 mapped to $work/camera: $(cat "$work/ports.out")"
"$root/usr/bin/rm525cam-sim" make-firmware --model rm525 --version 0106 --out "$work/sample.fw"
"$root/usr/bin/rm525fw-cli" inspect "$work/sample.fw" >"$work/inspect.out" ||
    { cat "$work/inspect.out"; fail "rm525fw-cli inspect rejected a valid file"; }
grep -q "^Version: *1.06$" "$work/inspect.out" || fail "inspect: $(cat "$work/inspect.out")"

# The documents are the tree's own.
src=$here/../..
same() {  # same PACKAGED TREE [gz]
    if [ "${3:-}" = gz ]; then
        zcat "$1" | cmp -s - "$2" || fail "$1 is not $2"
    else
        cmp -s "$1" "$2" || fail "$1 is not $2"
    fi
}
same "$root/usr/share/doc/rm525fw/ReadMe" "$src/ReadMe"
same "$root/usr/share/bash-completion/completions/rm525fw-cli" "$src/cli/rm525fw-cli.bash"
same "$root/usr/share/man/man1/rm525fw-cli.1.gz" "$src/doc/rm525fw-cli.1" gz
same "$root/usr/share/man/man1/rm525cam-sim.1.gz" "$src/doc/rm525cam-sim.1" gz
[ "$with_gui" = 1 ] && same "$root/usr/share/man/man1/rm525fw.1.gz" "$src/doc/rm525fw.1" gz

# The packaged completion, run by bash against the packaged program.
bash "$here/../cli/completion_test.sh" "$root/usr/bin/rm525fw-cli" \
    "$root/usr/share/bash-completion/completions/rm525fw-cli" >"$work/completion.out" ||
    { cat "$work/completion.out"; fail "the packaged completion"; }

if [ "$with_gui" = 1 ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/desktop_quits.sh" \
        "$root/usr/bin/rm525fw" "$work/desktop.log" >"$work/desktop.out" 2>&1 ||
        { cat "$work/desktop.out" "$work/desktop.log"; fail "the packaged desktop program"; }
    desktop-file-validate "$root/usr/share/applications/rm525fw.desktop" ||
        fail "desktop-file-validate"
fi

# Exit status 0: no errors (warnings are printed and let pass); 2: errors;
# anything else: lintian itself failed.
status=0
lintian --allow-root --fail-on error "$main" "$sim" >"$work/lintian.out" 2>&1 || status=$?
cat "$work/lintian.out"
[ "$status" -eq 0 ] || fail "lintian ended with status $status"
grep -q "^E: " "$work/lintian.out" && fail "lintian reports errors"
echo "PASS: $(basename "$main") and $(basename "$sim")"
