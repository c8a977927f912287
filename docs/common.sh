# Sourced by the scripts that make the pictures in docs/: the programs they
# run. With a build folder as the script's argument, the targets named are
# built there; without, the `release` preset is built. Sets `build`.
show() { printf '+ %s\n' "$*"; "$@"; }

use_build() {  # use_build "$@" -- TARGET...
    local folder=
    if [[ $1 != -- ]]; then folder=$1; shift; fi
    shift
    if [[ -n $folder ]]; then
        build=$(cd "$folder" && pwd)
        show cmake --build "$build" -j 2 --target "$@" >/dev/null
    else
        build=$root/build/release
        show cmake --workflow --preset release >/dev/null
    fi
}
