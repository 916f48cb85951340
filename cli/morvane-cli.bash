# bash completion for morvane-cli: commands, their options (each offered until it is given),
# book files, input and output files and --bits sizes. Item paths are not completed: that
# would need the book's password.
_morvane_cli()
{
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
        words=("${COMP_WORDS[@]}") cword=$COMP_CWORD
    fi
    local commands="new list show add remove move rename keygen export import encrypt decrypt passwd"
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands help --help --version" -- "$cur"))
        return
    fi
    if [[ ${words[1]} == help ]]; then
        ((cword == 2)) && COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi
    case $prev in
        --bits) COMPREPLY=($(compgen -W "512 1024 2048 4096" -- "$cur")); return ;;
        --password-fd | --new-password-fd) COMPREPLY=($(compgen -W "0 3 4 5 6 7 8 9" -- "$cur")); return ;;
        --sign | --verify) return ;;
        -o | --output) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac
    local kinds="--dir --lock --key" options="--help --password-fd" files=0
    case ${words[1]} in
        new) ;;
        list) options+=" --json $kinds" ;;
        show) options+=" --json --private $kinds" ;;
        add) options+=" $kinds" ;;
        remove) options+=" --recursive $kinds" ;;
        move | rename) options+=" $kinds" ;;
        keygen) options+=" --bits --force $kinds" ;;
        export) options+=" --output $kinds" ;;
        import) options+=" --force $kinds" files=3 ;;
        encrypt) options+=" --sign --output $kinds" files=3 ;;
        decrypt) options+=" --verify --output $kinds" files=3 ;;
        passwd) options+=" --new-password-fd" ;;
    esac
    # What the line gives already: options are not offered again (the kinds are one choice),
    # and arguments are counted to know which one is being typed.
    local i word args=0 given=" "
    for ((i = 2; i < cword; i++)); do
        word=${words[i]}
        case $word in
            -o) given+="--output "; ((i++)) ;;
            --bits | --password-fd | --new-password-fd | --sign | --verify | --output) given+="$word "; ((i++)) ;;
            --*=*) given+="${word%%=*} " ;;
            --dir | --lock | --key) given+="$kinds " ;;
            --*) given+="$word " ;;
            *) ((args++)) ;;
        esac
    done
    if [[ $cur == -* ]]; then
        local offered=() option
        for option in $options; do
            [[ $given == *" $option "* ]] || offered+=("$option")
        done
        COMPREPLY=($(compgen -W "${offered[*]}" -- "$cur"))
        return
    fi
    if ((args == 0)); then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -X '!*.[Bb][Kk]' -- "$cur") $(compgen -d -- "$cur"))
    elif ((files && args == files - 1)); then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _morvane_cli morvane-cli
