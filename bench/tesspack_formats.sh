#!/usr/bin/env bash
# bench/tesspack_formats.sh - tesspack's GIF and .aseprite roads beside its
# PNG roads, on the frames of bench/tesspack.sh.
#
# A benchmark, not a test: it prints figures and goals ("met" / "NOT met") and
# exits 0 whatever they are; it fails only when a command itself fails.
#
#   bench/tesspack_formats.sh
#
# 1. Builds tesspack with the `release` preset (build/release).
# 2. Generates the 6,400 frames of bench/make_inputs.py (100 scenes x 8 views
#    x 8 frames of 64x64), builds frames.til from them, and unpacks it three
#    times: into indexed PNGs (6,400 files), into animated GIFs (--format gif,
#    800 files, one a view) and into .aseprite files (--format aseprite, 100
#    files, one a scene, a tag a view). Every manifest must build frames.til
#    again.
# 3. With hyperfine (BENCH_RUNS runs each after a warm-up), measures side by
#    side the build from each set and the unpack to each format, and prints
#    each GIF or .aseprite road's mean time over the PNG road's: goal <= 2x,
#    but for unpack --format aseprite, which holds a scene's images until its
#    file is written (a reference).
#
# Settings (environment) as bench/tesspack.sh: TMPDIR, BENCH_BUILD,
# BENCH_RESULTS (tesspack_formats.log and hyperfine's exports), BENCH_RUNS
# (default 5), BENCH_KEEP=1.

set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

runs=${BENCH_RUNS:-5}

tools=(cmake python3 hyperfine)
source "$root/bench/common.sh"
bench_start tesspack_formats.log tesspack-formats-bench

step "Building"
build_release tesspack
tesspack=$build/programs/tesspack/tesspack

step "Inputs (in $scratch)"
cd "$scratch"
show python3 "$root/bench/make_inputs.py" frames frames
show "$tesspack" build frames/rgba/frames.toml -o frames.til
for format in png gif aseprite; do
    show "$tesspack" unpack frames.til -o "$format" --format "$format"
    echo "$format: $(find "$format" -type f ! -name '*.toml' | wc -l) files, $(du -sk "$format" | cut -f1) KiB"
    "$tesspack" build "$format/frames.toml" -o check.til 2>/dev/null
    cmp -s check.til frames.til || { echo "tesspack build $format/frames.toml differs from frames.til" >&2; exit 1; }
done
echo "every set builds frames.til again"

step "hyperfine: 6,400 frames"
style=basic
[[ -t 1 ]] && style=full
commands=()
for format in png gif aseprite; do
    commands+=(-n "build from $format" "$tesspack build $format/frames.toml -o out.til")
    commands+=(-n "unpack --format $format" "$tesspack unpack frames.til -o out_$format --format $format")
done
show hyperfine -N --style "$style" --warmup 1 --runs "$runs" --export-json "$results/tesspack_formats.json" \
    --export-markdown "$results/tesspack_formats.md" "${commands[@]}"

step "GIF and .aseprite beside PNG (goal: at most 2x the PNG road's time)"
python3 - "$results/tesspack_formats.json" <<'PY'
import json, sys
means = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
for road in ("build from", "unpack --format"):
    for format in ("gif", "aseprite"):
        other, png = f"{road} {format}", f"{road} png"
        ratio = means[other] / means[png]
        goal = "(reference)" if other == "unpack --format aseprite" else ("met" if ratio <= 2 else "NOT met")
        print(f"{other:24} {means[other] * 1000:7.1f} ms  {png:19} {means[png] * 1000:7.1f} ms  {ratio:4.2f}x  {goal}")
PY
