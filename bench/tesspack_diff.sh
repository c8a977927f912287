#!/usr/bin/env bash
# bench/tesspack_diff.sh - tesspack diff of a large tile file against the same
# scenes in reverse order, beside the same file in the same order and the
# floor of reading both files once.
#
# A benchmark, not a test: it prints figures and goals ("met" / "NOT met") and
# exits 0 whatever they are; it fails only when a command itself fails.
#
#   bench/tesspack_diff.sh
#
# 1. Builds tesspack with the `release` preset (build/release).
# 2. Writes a.til, about 66 MB: 255 scenes (the most a file holds) of 15
#    frames of 64 x 255 pixels of noise, every row one literal run; b.til, the
#    same scenes in reverse order; same.til, a copy of a.til. A small pair of
#    the first 16 scenes, likewise, for memory.
# 3. With hyperfine (BENCH_RUNS runs each after a warm-up), measures side by
#    side
#      tesspack diff a.til b.til      every scene moved: each is sought
#      tesspack diff a.til same.til   the same order: read straight through
#      cat a.til b.til                the floor: both files read once
#    and, when BENCH_PEER names another tesspack (one built from an earlier
#    commit), its diff of a.til b.til the same way. Goals: the reversed order
#    within 1.5x the same order, and within 4x the floor (diff reads each
#    file twice through and parses it).
# 4. With /usr/bin/time -v, the peak resident memory of diff on the small
#    pair and on the large one: goal, the same within 2 MB (memory stays flat
#    whatever the files' size).
#
# Settings (environment): TMPDIR, BENCH_BUILD (default build/release),
# BENCH_RESULTS (default build/bench-results), BENCH_RUNS (default 5),
# BENCH_PEER (a tesspack to time beside), BENCH_KEEP=1 keeps the scratch
# folder.

set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

runs=${BENCH_RUNS:-5}
peer=${BENCH_PEER:-}

tools=(cmake python3 hyperfine cat /usr/bin/time)
source "$root/bench/common.sh"
bench_start tesspack_diff.log tesspack-diff-bench

step "Building"
build_release tesspack
tesspack=$build/programs/tesspack/tesspack
[[ -z $peer ]] || "$peer" --version >/dev/null || { echo "BENCH_PEER=$peer does not run" >&2; exit 2; }

step "Inputs (in $scratch)"
cd "$scratch"
python3 - <<'PY'
import random

def tile(scenes):
    out = bytearray(b"TIL" + bytes([2, 1, len(scenes)]))
    for name, images in scenes:
        out += bytes([len(images)]) + name + b"\0"
        for data in images:
            out += bytes([255, len(data) & 0xFF, len(data) >> 8]) + data
    return bytes(out)

noise = random.Random(1)
scenes = []
for s in range(255):
    images = []
    for _ in range(15):
        pixels = noise.randbytes(64 * 255)
        rows = b"".join(b"\0\x40" + pixels[y * 64:(y + 1) * 64] + b"\2" for y in range(255))
        images.append(rows + b"\3")
    scenes.append((b"scene%03d" % s, images))
for name, chosen in (("a.til", scenes), ("b.til", scenes[::-1]), ("small-a.til", scenes[:16]), ("small-b.til", scenes[15::-1])):
    with open(name, "wb") as f:
        f.write(tile(chosen))
PY
cp a.til same.til
ls -l a.til b.til small-a.til small-b.til
"$tesspack" diff a.til b.til | head -3 || true
"$tesspack" diff a.til same.til
echo "diff a.til same.til: status 0"

step "hyperfine"
style=basic
[[ -t 1 ]] && style=full
commands=(-n "diff, scenes reversed" "$tesspack diff a.til b.til"
          -n "diff, same order" "$tesspack diff a.til same.til"
          -n "cat a.til b.til (floor)" "cat a.til b.til")
[[ -z $peer ]] || commands+=(-n "peer diff, scenes reversed" "$peer diff a.til b.til")
show hyperfine -N -i --style "$style" --warmup 1 --runs "$runs" --export-json "$results/tesspack_diff.json" "${commands[@]}"

step "Goals"
python3 - "$results/tesspack_diff.json" <<'PY'
import json, sys
means = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
reversed_, same, floor = means["diff, scenes reversed"], means["diff, same order"], means["cat a.til b.til (floor)"]
for name, mean in means.items():
    print("%-28s %8.3f s  %5.2fx the floor" % (name, mean, mean / floor))
print("reversed over same order: %.2fx, goal <= 1.5x: %s" % (reversed_ / same, "met" if reversed_ <= 1.5 * same else "NOT met"))
print("reversed over the floor:  %.2fx, goal <= 4x: %s" % (reversed_ / floor, "met" if reversed_ <= 4 * floor else "NOT met"))
if "peer diff, scenes reversed" in means:
    print("peer over this build:     %.1fx" % (means["peer diff, scenes reversed"] / reversed_))
PY

step "Peak memory (/usr/bin/time -v, maximum resident set size), goal: the same within 2 MB at any size"
peak_kib() {  # peak_kib COMMAND...: runs the command (status 1 is a diff's "differ"), prints its peak RSS in KiB
    /usr/bin/time -v -o time.log "$@" >/dev/null 2>&1 || [[ $? == 1 ]]
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' time.log
}
small=$(peak_kib "$tesspack" diff small-a.til small-b.til)
large=$(peak_kib "$tesspack" diff a.til b.til)
printf 'diff of %s bytes: %s KiB; of %s bytes: %s KiB; goal: %s\n' "$(stat -c %s small-a.til)" "$small" \
    "$(stat -c %s a.til)" "$large" "$( ((large - small <= 2048)) && echo met || echo 'NOT met')"
