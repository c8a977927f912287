# Bash completion for tesspack: its commands, each command's options, the
# values of --metric, --dither and --format, manifests (.toml) and tile files
# (.til). The words come from the tesspack being completed (its hidden
# --list-values), so they are what that program accepts. Plain bash: the
# bash-completion package is not needed, though it loads this file by itself
# from share/bash-completion/completions/.

# The words of `tesspack --list-values ARGS...`, from the program on the line.
_tesspack_values()
{
    local program=${COMP_WORDS[0]}
    # Readline leaves a leading ~ unexpanded.
    [[ $program == '~/'* ]] && program=$HOME/${program#'~/'}
    "$program" --list-values "$@" 2>/dev/null
}

# Folders, and files ending in ".$1" (any file where $1 is empty).
_tesspack_files()
{
    compopt -o filenames 2>/dev/null  # fails only outside a completion, as in tests
    if [[ -n $1 ]]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X "!*.$1" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

_tesspack()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # Readline splits "--metric=L2" at "=" into "--metric", "=" and "L2".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi

    # The command is the first word that is not an option: the program's own
    # options take no value.
    local command= index
    for ((index = 1; index < COMP_CWORD; ++index)); do
        if [[ ${COMP_WORDS[index]} != -* ]]; then
            command=${COMP_WORDS[index]}
            break
        fi
    done

    local options
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            options=$(_tesspack_values options)
            mapfile -t COMPREPLY < <(compgen -W "${options//=/}" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$(_tesspack_values commands)" -- "$cur")
        fi
        return 0
    fi

    options=$(_tesspack_values options "$command")
    if [[ $prev == -* && $'\n'$options$'\n' == *$'\n'"$prev="$'\n'* ]]; then
        case $prev in
        --metric | --dither | --format)
            mapfile -t COMPREPLY < <(compgen -W "$(_tesspack_values "${prev#--}")" -- "$cur")
            ;;
        -o | --output)
            _tesspack_files ""
            ;;
        esac
        # Any other value (a number, a scene's name) is the user's to type.
        return 0
    fi

    if [[ $cur == -* || $command == palette ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${options//=/}" -- "$cur")
        return 0
    fi
    case $command in
    build | compare) _tesspack_files toml ;;
    *) _tesspack_files til ;;
    esac
    return 0
}

complete -F _tesspack tesspack
