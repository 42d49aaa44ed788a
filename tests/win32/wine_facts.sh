#!/usr/bin/env bash
# What Wine does for the Windows program on this machine, checked rather
# than assumed:
#   - a fresh prefix starts in seconds with nothing installed beyond it;
#   - HKLM\Software\Wine\Ports maps COMn to any terminal (COM3 -> /dev/pts/N);
#   - on a pty: reads, writes, every rate, SetCommBreak; SetCommState with
#     DTR and RTS held on succeeds; GetCommState fails with error 87
#     (wine_facts_test.exe);
#   - the static rm525fw-cli.exe needs no DLL beside it, takes a non-ASCII
#     file name (and refuses it as its own trace), lists the ports, explains
#     one that does not exist and reaches COM12 by its name.
#   wine_facts.sh FACTS_TEST.exe CLI.exe SIM
source "$(dirname "$0")/wine_common.sh"
facts=$1 cli=$2 sim=$3

# Only the system's own DLLs are imported.
imports=$(x86_64-w64-mingw32-objdump -p "$cli" | sed -n 's/^\tDLL Name: //p' | tr 'a-z' 'A-Z')
for dll in $imports; do
    case $dll in
    KERNEL32.DLL | MSVCRT.DLL | ADVAPI32.DLL | SETUPAPI.DLL | SHELL32.DLL | WINMM.DLL | USER32.DLL) ;;
    *) fail "rm525fw-cli.exe needs $dll" ;;
    esac
done
mkdir "$dir/alone"
cp "$cli" "$dir/alone/rm525fw-cli.exe"

start_camera "$sim" --model rm525
start=$(date +%s%N)
wine_prefix_start "$dir" "COM3=$camera_tty" "COM12=$camera_tty"
echo "fresh prefix: $((($(date +%s%N) - start) / 1000000)) ms"

value=$(wine_run reg query 'HKLM\Software\Wine\Ports' /v COM3 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *COM3 *REG_SZ *//p')
[ "$value" = "$camera_tty" ] || fail "registry COM3 is '$value', not $camera_tty"
[ "$(readlink "$WINEPREFIX/dosdevices/com3")" = "$camera_tty" ] || fail "com3 is not the camera"
echo "COM3 -> $camera_tty through the registry"

RM525FW_FACTS_PORT=3 WINEDEBUG=-all wine_run "$facts" >"$dir/facts.out" 2>&1 ||
    fail "wine_facts_test: $(cat "$dir/facts.out")"
grep -E '^second open|^empty read|PASSED|FAILED' "$dir/facts.out"

# The program alone in its folder; ports it does not open. COM4 and COM5
# are mapped to a folder and to nothing: marked, as on Linux.
RM525FW_COM4=$(winpath "$dir") RM525FW_COM5='Z:\no\such\device' \
    wine_run "$dir/alone/rm525fw-cli.exe" ports >"$dir/ports.out" 2>"$dir/ports.err" ||
    fail "ports: exit $?"
cat "$dir/ports.out"
grep -q '^COM3  \\Device\\Serial2' "$dir/ports.out" || fail "ports does not list COM3"
grep -qF "[RM525FW_COM4]  (a folder, not a device: the search passes it over)" "$dir/ports.out" ||
    fail "ports does not mark the folder on COM4"
grep -qF "[RM525FW_COM5]  (no such device: the search passes it over)" "$dir/ports.out" ||
    fail "ports does not mark the missing device on COM5"

# A port the system does not have is explained in Windows' terms. (Under
# Wine a COM number mapped to a missing path still opens, and fails at its
# first call; a port number beyond Wine's 256 does not.)
"$sim" make-firmware --model rm525 --version 0106 --out "$dir/update.fw" >/dev/null
status=0
RM525FW_COM2=COM300 wine_run "$dir/alone/rm525fw-cli.exe" update --port COM2 --file "$(winpath "$dir/update.fw")" \
    </dev/null >"$dir/nocom.out" 2>"$dir/nocom.err" || status=$?
[ $status -eq 3 ] || fail "update on a missing COM2 exits $status, not 3"
grep -qF 'COM2 (\\.\COM300): no such port on this computer.' "$dir/nocom.err" ||
    fail "no explanation: $(cat "$dir/nocom.err")"

# A file name beyond ASCII reaches the loader intact.
name="Kamera-ä-固件.fw"
cp "$dir/update.fw" "$dir/$name"
wine_run "$dir/alone/rm525fw-cli.exe" inspect "$(winpath "$dir/$name")" \
    >"$dir/inspect.out" 2>"$dir/inspect.err" || fail "inspect $name: exit $? $(cat "$dir/inspect.err")"
grep -q "Version:       1.06" "$dir/inspect.out" || fail "inspect did not read $name"

# A trace onto that very file is refused before the file is touched.
status=0
wine_run "$dir/alone/rm525fw-cli.exe" update --port COM2 --file "$(winpath "$dir/$name")" \
    --trace "$(winpath "$dir/$name")" </dev/null >"$dir/same.out" 2>"$dir/same.err" || status=$?
[ $status -eq 2 ] || fail "a trace onto $name: exit $status, not 2"
cmp -s "$dir/update.fw" "$dir/$name" || fail "the trace overwrote $name"

# A port beyond COM9, as the registry names it, on the command line.
wine_run "$dir/alone/rm525fw-cli.exe" info --port COM12 </dev/null >"$dir/com12.out" \
    2>"$dir/com12.err" || fail "info --port COM12: exit $? $(cat "$dir/com12.err")"
grep -q "RM525" "$dir/com12.out" || fail "info --port COM12 found no camera"
echo "all Wine facts hold"
