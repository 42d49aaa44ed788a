#!/usr/bin/env bash
# The bash completion of rm525fw-cli, run as bash runs it: COMP_WORDS and
# COMP_CWORD set, the completion function called, COMPREPLY checked.
# usage: completion_test.sh PROGRAM COMPLETION_SCRIPT
set -u
program=$1
script=$2
dir=$(mktemp -d "${TMPDIR:-/tmp}/rm525-completion-XXXXXX")
trap 'rm -rf "$dir"' EXIT
touch "$dir/new.fw" "$dir/OLD.FW" "$dir/notes.txt"
mkdir "$dir/more"

# shellcheck source=/dev/null
source "$script"
failures=0

# complete WORD... : the words of the command line, the last being completed.
# Prints the answers sorted, space-separated.
complete_words() {
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _rm525fw_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

expect() {
    local want=$1
    shift
    local got
    got=$(complete_words "$@")
    if [[ $got != "$want" ]]; then
        echo "FAIL: rm525fw-cli $* -> '$got', want '$want'"
        failures=$((failures + 1))
    fi
}

expect "--help --version help info inspect ports update" ""
expect "info inspect" "in"
expect "--file --help --port --trace --yes" update --
expect "--help --port --trace" info -
expect "--help" ports --
expect "AUTO COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9" update --port ""
expect "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9" info --port CO
# --port=VALUE reaches the function as "--port" "=" "VALUE".
expect "AUTO" update --port = A
expect "AUTO COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9" update --port =
# A device path: the files there.
expect "/dev/null" update --port /dev/nul
# Firmware files (and folders to go into) for --file and inspect's operand.
expect "$dir/OLD.FW $dir/more $dir/new.fw" update --port COM1 --file "$dir/"
expect "$dir/OLD.FW $dir/more $dir/new.fw" inspect "$dir/"
expect "$dir/new.fw" update --file = "$dir/n"
expect "--file=$dir/new.fw" update --file="$dir/n"
# Any file for --trace.
expect "$dir/OLD.FW $dir/more $dir/new.fw $dir/notes.txt" update --trace "$dir/"
# After "--" only the operand.
expect "$dir/OLD.FW $dir/more $dir/new.fw" inspect -- "$dir/"
# A flag takes no value: the next word is an option again.
expect "--file --help --port --trace" update --yes --
# Options already given are not offered again; "help" offers the verbs.
expect "--file --help --trace" update --yes --port COM1 --
expect "--help --trace" update --port=COM1 --yes --file x.fw --
expect "info inspect" help in
# A relative device path: the files there.
(cd "$dir" && expect "./more" update --port ./mo)
# A name with blanks is one answer.
mkdir "$dir/with space"
touch "$dir/with space/my new.fw"
COMP_WORDS=("$program" update --file "$dir/with space/my")
COMP_CWORD=3
COMPREPLY=()
_rm525fw_cli
if [[ ${#COMPREPLY[@]} -ne 1 || ${COMPREPLY[0]} != "$dir/with space/my new.fw" ]]; then
    echo "FAIL: a name with blanks -> ${#COMPREPLY[@]} answers: ${COMPREPLY[*]}"
    failures=$((failures + 1))
fi

if ((failures > 0)); then
    echo "$failures completion(s) wrong"
    exit 1
fi
echo "all completions right"
