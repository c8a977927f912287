#!/usr/bin/env bash
# bench/tesspack_sheet.sh - building from one sheet or an atlas against
# building from the same cells as separate files.
#
# A benchmark, not a test: it prints figures and goals ("met" / "NOT met") and
# exits 0 whatever they are; it fails only when a command itself fails.
#
#   bench/tesspack_sheet.sh
#
# bench/make_inputs.py lpc-sheet draws one 832 x 1344 sheet of 64 x 64 cells
# (13 x 21 cells, 172 of them used by five animations of four directions),
# with three manifests of the same 172 images: the sheet cut as a grid, the
# sheet through an atlas JSON, and the cells as separate PNGs. All three must
# build the same tile file. hyperfine (BENCH_RUNS runs) times each build.
# Goals: a sheet or an atlas costs at most what the separate files cost, and
# the sheet builds in well under 50 ms.
#
# Settings (environment): TMPDIR, BENCH_BUILD (default build/release),
# BENCH_RESULTS (default build/bench-results), BENCH_RUNS (default 10),
# BENCH_KEEP=1 keeps the scratch folder.

set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

runs=${BENCH_RUNS:-10}

tools=(cmake python3 hyperfine)
source "$root/bench/common.sh"
bench_start tesspack_sheet.log tesspack-sheet-bench

step "Building"
build_release tesspack
tesspack=$build/programs/tesspack/tesspack

step "Inputs (in $scratch)"
show python3 "$root/bench/make_inputs.py" lpc-sheet "$scratch/lpc"
cd "$scratch/lpc"
for form in sheet atlas cells; do "$tesspack" build "$form.toml" -o "$form.til" 2>/dev/null; done
cmp -s sheet.til cells.til && cmp -s atlas.til cells.til || { echo "the three forms build different files" >&2; exit 1; }
echo "sheet.png $(stat -c %s sheet.png) bytes; 172 cells as separate PNGs: $(du -sb cells | cut -f1) bytes; every form builds the same tile file"

step "hyperfine"
style=basic
[[ -t 1 ]] && style=full
show hyperfine -N --style "$style" --warmup 2 --runs "$runs" --export-json "$results/tesspack_sheet.json" \
    -n "build from the sheet" "$tesspack build sheet.toml -o out.til" \
    -n "build from the atlas" "$tesspack build atlas.toml -o out.til" \
    -n "build from separate cells" "$tesspack build cells.toml -o out.til"

step "Goals"
python3 - "$results/tesspack_sheet.json" <<'PY'
import json, sys
means = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
cells = means["build from separate cells"]
for name in ("build from the sheet", "build from the atlas"):
    ratio = means[name] / cells
    print("%-26s %7.1f ms  %.2fx the separate cells  goal <= 1x: %s" % (name, means[name] * 1000, ratio, "met" if ratio <= 1 else "NOT met"))
print("%-26s %7.1f ms" % ("build from separate cells", cells * 1000))
sheet = means["build from the sheet"] * 1000
print("the sheet: %.1f ms, goal well under 50 ms: %s" % (sheet, "met" if sheet < 50 else "NOT met"))
PY
