# bash completion for kelvarin-cli                          -*- shell-script -*-
# Installed as share/bash-completion/completions/kelvarin-cli: the commands, the
# options, the settings' values, the ports (COM1..COM4 and the adapters under
# /dev/serial/by-id), file names where a command takes a file and folders where
# it takes a folder.

_kelvarin_cli_files() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_kelvarin_cli_folders() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$1")
}

_kelvarin_cli_words() {
    mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2")
}

_kelvarin_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="read-base write-base verify-base read-number write-number read-setup
                    write-setup show diff new set clear import-csv export-csv backup help"
    local options="--port --demo --trace-file --log-file --json --quiet --yes --force --skip-bad --mode
                   --period --relay --backlight --help --version"
    local valued="--port --trace-file --log-file --mode --period --relay --backlight"
    COMPREPLY=()
    # --port=COM1: bash splits the word at "=".
    if [[ $cur == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 1]} cur=""
    elif [[ $prev == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    case $prev in
    --port)
        local ports="COM1 COM2 COM3 COM4" device
        for device in /dev/serial/by-id/*; do
            [[ -e $device ]] && ports+=" $device"
        done
        _kelvarin_cli_words "$ports" "$cur"
        return
        ;;
    --mode) _kelvarin_cli_words "manual auto computer" "$cur" && return ;;
    --period)
        _kelvarin_cli_words "4min 6min 8min 10min 12min 14min 16min 18min 20min off" "$cur"
        return
        ;;
    --relay) _kelvarin_cli_words "2min 3s reset" "$cur" && return ;;
    --backlight) _kelvarin_cli_words "off in-use always" "$cur" && return ;;
    --trace-file | --log-file) _kelvarin_cli_files "$cur" && return ;;
    esac
    if [[ $cur == -* ]]; then
        _kelvarin_cli_words "$options" "$cur"
        return
    fi
    # The command is the first word that is neither an option nor an option's value.
    local i word command="" arguments=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ " $valued " == *" $word "* ]]; then
            ((i++))
            [[ ${COMP_WORDS[i]} == = ]] && ((i++))
        elif [[ $word != -* ]]; then
            if [[ -z $command ]]; then
                command=$word
            else
                ((arguments++))
            fi
        fi
    done
    case $command in
    "") _kelvarin_cli_words "$commands" "$cur" ;;
    help) ((arguments == 0)) && _kelvarin_cli_words "$commands" "$cur" ;;
    read-base | write-base | verify-base | show | new | set | clear)
        ((arguments == 0)) && _kelvarin_cli_files "$cur"
        ;;
    diff | import-csv | export-csv) ((arguments < 2)) && _kelvarin_cli_files "$cur" ;;
    backup) ((arguments == 0)) && _kelvarin_cli_folders "$cur" ;;
    esac
    return 0
}

complete -F _kelvarin_cli kelvarin-cli
