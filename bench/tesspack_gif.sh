#!/usr/bin/env bash
# bench/tesspack_gif.sh - tesspack's GIF roads beside its PNG roads, on the
# frames of bench/tesspack.sh.
#
# A benchmark, not a test: it prints figures and the goal ("met" / "NOT met")
# and exits 0 whatever they are; it fails only when a command itself fails.
#
#   bench/tesspack_gif.sh
#
# 1. Builds tesspack with the `release` preset (build/release).
# 2. Generates the 6,400 frames of bench/make_inputs.py (100 scenes x 8 views
#    x 8 frames of 64x64), builds frames.til from them, and unpacks it twice:
#    into indexed PNGs (6,400 files) and into animated GIFs (--format gif,
#    800 files, one a view). Both manifests must build frames.til again.
# 3. With hyperfine (BENCH_RUNS runs each after a warm-up), measures side by
#    side
#      tesspack unpack --format gif   against  --format png
#      tesspack build of the GIFs     against  of the indexed PNGs
#    and prints each GIF road's mean time over the PNG road's: goal <= 2x.
#
# Settings (environment) as bench/tesspack.sh: TMPDIR, BENCH_BUILD,
# BENCH_RESULTS (tesspack_gif.log and hyperfine's exports), BENCH_RUNS
# (default 5), BENCH_KEEP=1.

set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

runs=${BENCH_RUNS:-5}

tools=(cmake python3 hyperfine)
source "$root/bench/common.sh"
bench_start tesspack_gif.log tesspack-gif-bench

step "Building"
build_release tesspack
tesspack=$build/programs/tesspack/tesspack

step "Inputs (in $scratch)"
cd "$scratch"
frames_beside_png gif gif

step "hyperfine: 6,400 frames"
style=basic
[[ -t 1 ]] && style=full
show hyperfine -N --style "$style" --warmup 1 --runs "$runs" --export-json "$results/tesspack_gif.json" \
    --export-markdown "$results/tesspack_gif.md" \
    -n "unpack --format png" "$tesspack unpack frames.til -o out_png --format png" \
    -n "unpack --format gif" "$tesspack unpack frames.til -o out_gif --format gif" \
    -n "build from indexed PNGs" "$tesspack build png/frames.toml -o out.til" \
    -n "build from GIFs" "$tesspack build gif/frames.toml -o out.til"

step "GIF beside PNG (goal: at most 2x the PNG road's time)"
python3 - "$results/tesspack_gif.json" <<'EOF'
import json, sys
means = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
for gif, png in (("unpack --format gif", "unpack --format png"), ("build from GIFs", "build from indexed PNGs")):
    ratio = means[gif] / means[png]
    print(f"{gif:22} {means[gif] * 1000:7.1f} ms  {png:24} {means[png] * 1000:7.1f} ms  "
          f"{ratio:4.2f}x  {'met' if ratio <= 2 else 'NOT met'}")
EOF
