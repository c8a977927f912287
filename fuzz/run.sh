#!/usr/bin/env bash
# Replays every seed and regression input through every fuzz target, then
# fuzzes each target for SECONDS on a scratch copy of its corpus. Builds
# nothing: run `cmake --workflow --preset fuzz` first.
#
#   fuzz/run.sh SECONDS [BUILD_DIR]     (BUILD_DIR defaults to build/fuzz)
#
# Exits non-zero on any crash, hang, leak, out-of-memory or sanitizer report.
# Crashing inputs are kept in BUILD_DIR/fuzz-artifacts/TARGET/.
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 || ! $1 =~ ^[0-9]+$ ]]; then
    echo "usage: fuzz/run.sh SECONDS [BUILD_DIR]" >&2
    exit 2
fi
seconds=$1
fuzz_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=$(cd "${2:-$fuzz_dir/../build/fuzz}" && pwd)
targets=(tessdec tessenc png gif manifest atlas ase)

# Leaks must fail the run even if the caller's environment turned them off.
# A smaller quarantine of freed memory keeps the sanitizer's own footprint
# well inside the memory limit that stands for the programs' own.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1:quarantine_size_mb=64"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1"
limits=(-timeout=5 -rss_limit_mb=512 -detect_leaks=1)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A clean exit can still hide a report that did not stop the process.
check_log() {
    local log=$1 what=$2
    if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|SUMMARY: ' "$log"; then
        echo "FAIL: $what: sanitizer or libFuzzer report" >&2
        return 1
    fi
}

status=0
for target in "${targets[@]}"; do
    binary=$build_dir/fuzz/${target}_fuzzer
    if [[ ! -x $binary ]]; then
        echo "FAIL: $binary is missing; run cmake --workflow --preset fuzz" >&2
        exit 1
    fi
    artifacts=$build_dir/fuzz-artifacts/$target
    mkdir -p "$artifacts"

    mapfile -t inputs < <(find "$fuzz_dir/corpus/$target" "$fuzz_dir/regressions/$target" -type f ! -name README | sort)
    log=$scratch/$target-replay.log
    echo "== $target: replaying ${#inputs[@]} inputs"
    if ! "$binary" "${limits[@]}" -artifact_prefix="$artifacts/" "${inputs[@]}" >"$log" 2>&1 ||
        ! check_log "$log" "$target replay"; then
        tail -n 60 "$log" >&2
        echo "FAIL: $target replay" >&2
        status=1
        continue
    fi

    [[ $seconds -gt 0 ]] || continue
    corpus=$scratch/$target-corpus
    cp -r "$fuzz_dir/corpus/$target" "$corpus"
    log=$scratch/$target-fuzz.log
    echo "== $target: fuzzing for $seconds s"
    # Manifests reach a hundred kilobytes: keys nested thousands deep.
    length=()
    [[ $target == manifest ]] && length=(-max_len=131072)
    if ! "$binary" "${limits[@]}" "${length[@]}" -max_total_time="$seconds" -dict="$fuzz_dir/$target.dict" \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" >"$log" 2>&1 ||
        ! check_log "$log" "$target fuzzing"; then
        tail -n 60 "$log" >&2
        echo "FAIL: $target fuzzing; inputs kept in $artifacts" >&2
        status=1
        continue
    fi
    grep -E '^#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec' "$log" || true
done
exit $status
