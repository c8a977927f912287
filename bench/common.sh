# Sourced by the benchmark scripts: their shared start. Expects `root` and
# `tools` set. Sets `build` (BENCH_BUILD, default build/release) and
# `results` (BENCH_RESULTS, default build/bench-results); bench_start takes
# the log's name and the scratch folder's prefix, sets `scratch` (removed at
# exit unless BENCH_KEEP=1) and copies everything printed into $results/LOG.
build=${BENCH_BUILD:-$root/build/release}
results=${BENCH_RESULTS:-$root/build/bench-results}
step() { printf '\n=== %s\n' "$*"; }
show() { printf '+ %s\n' "$*"; "$@"; }

bench_start() {  # bench_start LOG PREFIX
    local tool
    for tool in "${tools[@]}"; do
        command -v "$tool" >/dev/null || { echo "${BASH_SOURCE[1]##*/} needs $tool" >&2; exit 2; }
    done
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/$2.XXXXXX")
    if [[ ${BENCH_KEEP:-0} == 1 ]]; then
        trap 'echo "scratch folder kept: $scratch"' EXIT
    else
        trap 'rm -rf "$scratch"' EXIT
    fi
    mkdir -p "$results"
    exec > >(tee "$results/$1") 2>&1
}

build_release() {  # build_release TARGET...: the release preset into $build, these targets only
    show cmake --preset release -B "$build" >/dev/null
    show cmake --build "$build" -j 2 --target "$@" >/dev/null
}

