#!/usr/bin/env bash
# bench/tesspack_aseprite.sh - tesspack's .aseprite roads beside its PNG
# roads, on the frames of bench/tesspack.sh.
#
# A benchmark, not a test: it prints figures and the goal ("met" / "NOT met")
# and exits 0 whatever they are; it fails only when a command itself fails.
#
#   bench/tesspack_aseprite.sh
#
# 1. Builds tesspack with the `release` preset (build/release).
# 2. Generates the 6,400 frames of bench/make_inputs.py (100 scenes x 8 views
#    x 8 frames of 64x64), builds frames.til from them, and unpacks it twice:
#    into indexed PNGs (6,400 files) and into .aseprite files (--format
#    aseprite, 100 files, one a scene, a tag a view). Both manifests must
#    build frames.til again.
# 3. With hyperfine (BENCH_RUNS runs each after a warm-up), measures side by
#    side
#      tesspack build of the .aseprite files  against  of the indexed PNGs
#      tesspack unpack --format aseprite      against  --format png
#    and prints each .aseprite road's mean time over the PNG road's: goal for
#    the build <= 2x.
#
# Settings (environment) as bench/tesspack.sh: TMPDIR, BENCH_BUILD,
# BENCH_RESULTS (tesspack_aseprite.log and hyperfine's exports), BENCH_RUNS
# (default 5), BENCH_KEEP=1.

set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

runs=${BENCH_RUNS:-5}

tools=(cmake python3 hyperfine)
source "$root/bench/common.sh"
bench_start tesspack_aseprite.log tesspack-aseprite-bench

step "Building"
build_release tesspack
tesspack=$build/programs/tesspack/tesspack

step "Inputs (in $scratch)"
cd "$scratch"
frames_beside_png aseprite ase

step "hyperfine: 6,400 frames"
style=basic
[[ -t 1 ]] && style=full
show hyperfine -N --style "$style" --warmup 1 --runs "$runs" --export-json "$results/tesspack_aseprite.json" \
    --export-markdown "$results/tesspack_aseprite.md" \
    -n "build from indexed PNGs" "$tesspack build png/frames.toml -o out.til" \
    -n "build from .aseprite files" "$tesspack build ase/frames.toml -o out.til" \
    -n "unpack --format png" "$tesspack unpack frames.til -o out_png --format png" \
    -n "unpack --format aseprite" "$tesspack unpack frames.til -o out_ase --format aseprite"

step ".aseprite beside PNG (goal for the build: at most 2x the PNG road's time)"
python3 - "$results/tesspack_aseprite.json" <<'PY'
import json, sys
means = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
for ase, png, goal in (("build from .aseprite files", "build from indexed PNGs", 2),
                       ("unpack --format aseprite", "unpack --format png", None)):
    ratio = means[ase] / means[png]
    verdict = "" if goal is None else ("met" if ratio <= goal else "NOT met")
    print(f"{ase:27} {means[ase] * 1000:7.1f} ms  {png:24} {means[png] * 1000:7.1f} ms  {ratio:4.2f}x  {verdict}")
PY
