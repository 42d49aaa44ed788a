# bash completion for rm525fw-cli                              -*- shell-script -*-
#
# The verbs, their options and what each option's value is come from the
# program itself (rm525fw-cli --completion-table), from the same tables that
# its help and its parsing read.

# Answers one a line into COMPREPLY, so that a name with blanks stays one.
_rm525fw_cli_reply() {
    mapfile -t COMPREPLY
}

_rm525fw_cli_values() {
    local kind=$1 cur=$2
    case $kind in
        port)
            if [[ $cur == /* || $cur == ./* || $cur == ../* ]]; then
                compopt -o filenames 2>/dev/null
                _rm525fw_cli_reply < <(compgen -f -- "$cur")
            else
                local devices
                devices=$(compgen -G '/dev/ttyUSB*'; compgen -G '/dev/ttyACM*'; compgen -G '/dev/serial/by-id/*')
                _rm525fw_cli_reply < <(compgen -W "AUTO COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 $devices" -- "$cur")
            fi
            ;;
        firmware)
            compopt -o filenames 2>/dev/null
            _rm525fw_cli_reply < <(compgen -f -X '!*.[fF][wW]' -- "$cur"; compgen -d -- "$cur")
            ;;
        file)
            compopt -o filenames 2>/dev/null
            _rm525fw_cli_reply < <(compgen -f -- "$cur")
            ;;
    esac
}

_rm525fw_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local table
    table=$("${COMP_WORDS[0]}" --completion-table 2>/dev/null) || return 0
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        local verbs
        verbs=$(awk 'NF == 1' <<<"$table")
        COMPREPLY=($(compgen -W "$verbs help --help --version" -- "$cur"))
        return 0
    fi
    local verb=${COMP_WORDS[1]}
    # "help VERB": the verbs again.
    if [[ $verb == help ]]; then
        ((COMP_CWORD == 2)) && _rm525fw_cli_reply < <(compgen -W "$(awk 'NF == 1' <<<"$table")" -- "$cur")
        return 0
    fi

    # "--option=value" reaches here as "--option" "=" "value".
    # (Or as one word, when COMP_WORDBREAKS holds no "=".)
    local option=$prev joined=
    if [[ $cur == --*=* ]]; then
        option=${cur%%=*}
        cur=${cur#*=}
        joined=$option=
    elif [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    fi

    # After "--" only operands follow.
    local i operandsOnly=0
    for ((i = 2; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && operandsOnly=1
    done

    local kind
    if ((!operandsOnly)); then
        kind=$(awk -v v="$verb" -v o="$option" '$1 == v && $2 == o { print $3 }' <<<"$table")
        if [[ -n $kind && $kind != none ]]; then
            _rm525fw_cli_values "$kind" "$cur"
            [[ -n $joined ]] && COMPREPLY=("${COMPREPLY[@]/#/$joined}")
            return 0
        fi
        if [[ $cur == -* ]]; then
            # An option once given is not offered again.
            local options given=" ${COMP_WORDS[*]:2:COMP_CWORD-2} " o left=
            options=$(awk -v v="$verb" '$1 == v && NF == 3 && $2 != "-" { print $2 }' <<<"$table")
            for o in $options; do
                [[ $given == *" $o "* || $given == *" $o="* ]] || left+=" $o"
            done
            _rm525fw_cli_reply < <(compgen -W "$left" -- "$cur")
            return 0
        fi
    fi
    kind=$(awk -v v="$verb" '$1 == v && $2 == "-" { print $3 }' <<<"$table")
    [[ -n $kind ]] && _rm525fw_cli_values "$kind" "$cur"
    return 0
}

complete -F _rm525fw_cli rm525fw-cli
