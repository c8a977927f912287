#!/usr/bin/env bash
# tesspack's bash completion, sourced into plain bash and run on a table of
# partial command lines against the built program, as readline would call it;
# then every value it offers for --metric, --dither and --format is given to
# the program, which must take it.
# Usage: completion_test.sh COMPLETION_SCRIPT TESSPACK
set -u

if [ "$#" -ne 2 ]; then
    echo "usage: $0 completion.bash tesspack" >&2
    exit 2
fi
script=$(realpath "$1")
tesspack=$(realpath "$2")
# shellcheck source=../programs/tesspack/completion.bash
source "$script" || exit 1

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
mkdir art
touch hero.toml walk.til knight.til 'my walk.til' notes.txt art/inner.til

passed=0
failed=0

# check LINE EXPECTED...: complete LINE's last word (after a trailing space,
# an empty one) and compare the offers, in any order, with EXPECTED.
check()
{
    local line=$1
    shift
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_WORDS[0]=$tesspack
    COMPREPLY=()
    _tesspack
    local got wanted
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort)
    wanted=$(printf '%s\n' "$@" | sort)
    if [[ $got == "$wanted" ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: "%s"\n  offered: %s\n  wanted:  %s\n' "$line" "$(echo $got)" "$(echo $wanted)"
    fi
}

# The line as typed (readline splits "--metric=o" into "--metric", "=", "o")  the offers
check 'tesspack '                             build compare unpack verify list preview palette diff dump
check 'tesspack pre'                          preview
check 'tesspack -'                            -h --help --version
check 'tesspack --help '                      build compare unpack verify list preview palette diff dump
check 'tesspack build '                       art hero.toml
check 'tesspack compare h'                    hero.toml
check 'tesspack list '                        art knight.til 'my walk.til' walk.til
check 'tesspack diff walk.til k'              knight.til
check 'tesspack list art/'                    art/inner.til
check 'tesspack verify n'
check 'tesspack build --'                     --help --output --metric --dither --report --report-json --max-size
check 'tesspack unpack walk.til --'           --help --output --format --sheets --max-files
check 'tesspack dump --j'
check 'tesspack palette '                     -h --help -o --output
check 'tesspack build --metric '              L1 L2 L3 L4 oklab
check 'tesspack compare m.toml --dither b'    bayer4 bayer8
check 'tesspack unpack walk.til --format '    png xpm gif aseprite
check 'tesspack build --metric = o'           oklab
check 'tesspack build --dither = '            none floyd-steinberg bayer4 bayer8
check 'tesspack build --dither ='             none floyd-steinberg bayer4 bayer8
check 'tesspack preview walk.til --scale '
check 'tesspack preview walk.til --scene w'
check 'tesspack preview walk.til -o '         art hero.toml knight.til 'my walk.til' notes.txt walk.til
check 'tesspack build -o out.til '            art hero.toml
check 'tesspack build --report '              art hero.toml

# accepted KIND ARGUMENTS...: every value the completion offers for --KIND
# passes the program's own check (a missing file is status 1, a value it
# refuses status 2).
accepted()
{
    local kind=$1 value status
    shift
    COMP_WORDS=("$tesspack" "$@" "--$kind" "")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _tesspack
    for value in "${COMPREPLY[@]}"; do
        "$tesspack" "$@" "--$kind" "$value" 2>/dev/null
        status=$?
        if [[ $status == 1 ]]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
            echo "FAIL: tesspack $* --$kind $value: status $status, not 1 for the missing file"
        fi
    done
}
accepted metric build missing.toml
accepted dither compare missing.toml -o out.png
accepted format unpack missing.til

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
