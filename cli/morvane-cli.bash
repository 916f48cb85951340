# bash completion for morvane-cli: commands, their options, book files and --bits sizes.
# Item paths are not completed: that would need the book's password.
_morvane_cli()
{
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
        words=("${COMP_WORDS[@]}") cword=$COMP_CWORD
    fi
    local commands="new list show add remove keygen export import encrypt decrypt"
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    case $prev in
        --bits) COMPREPLY=($(compgen -W "512 1024 2048 4096" -- "$cur")); return ;;
        --password-fd) COMPREPLY=($(compgen -W "0 3 4 5 6 7 8 9" -- "$cur")); return ;;
        --sign | --verify) return ;;
    esac
    local options="--help --password-fd"
    case ${words[1]} in
        list) options+=" --json" ;;
        show) options+=" --json --private --dir --lock --key" ;;
        add) options+=" --dir --lock --key" ;;
        remove) options+=" --recursive --dir --lock --key" ;;
        keygen) options+=" --bits --force" ;;
        import) options+=" --force" ;;
        encrypt) options+=" --sign" ;;
        decrypt) options+=" --verify" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    # The first argument after the command is the book; import's third may be any file.
    local i args=0
    for ((i = 2; i < cword; i++)); do
        case ${words[i]} in
            --bits | --password-fd | --sign | --verify) ((i++)) ;;
            -*) ;;
            *) ((args++)) ;;
        esac
    done
    if ((args == 0)); then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -X '!*.[Bb][Kk]' -- "$cur") $(compgen -d -- "$cur"))
    elif [[ ${words[1]} == import ]] && ((args == 2)); then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _morvane_cli morvane-cli
