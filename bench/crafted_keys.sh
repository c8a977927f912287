#!/usr/bin/env bash
# bench/crafted_keys.sh - tessenc on colour keys crafted to share one hash
# value, beside an XPM of ordinary keys of the same size.
#
# A benchmark, not a test: it prints the two times and never fails on them.
#
#   bench/crafted_keys.sh
#
# Both XPMs hold COLOURS colour lines (default 160000) of 15-character keys
# and one pixel. The crafted keys all have the same std::hash value under
# libstdc++ (its MurmurHash2-based _Hash_bytes and fixed seed, inverted block
# by block), so a table bucketed by that hash would compare every new key
# with all the earlier ones: time quadratic in COLOURS. The ordinary keys are
# random. Each time is the best of RUNS runs (default 3).
#
# Settings (environment): TESSENC, the program measured (default the static
# release build, built with the release preset when missing); COLOURS; RUNS;
# TMPDIR, where the scratch folder goes.

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tessenc=${TESSENC:-$root/build/release/programs/tessenc}
colours=${COLOURS:-160000}
runs=${RUNS:-3}

if [[ ! -x $tessenc ]]; then
    (cd "$root" && cmake --workflow --preset release >/dev/null)
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tess-crafted-keys.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

python3 - "$scratch" "$colours" "$runs" "$tessenc" <<'EOF'
import random
import subprocess
import sys
import time

folder, colours, runs, tessenc = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]

M64 = (1 << 64) - 1
MUL = 0xC6A4A7935BD1E995  # libstdc++'s _Hash_bytes multiplier
MUL_INV = pow(MUL, -1, 1 << 64)
SEED = 0xC70F6907  # std::hash's seed
LENGTH = 15  # one 8-byte block, then a 7-byte tail
FORBIDDEN = (0x00, 0x22)  # what an XPM string cannot hold: NUL, '"'


def crafted_keys(n):
    """Keys whose hash state is the same once the tail is mixed in: each tail
    is chosen freely and the block is solved for, so the final mixing, and so
    the hash, is the same for all."""
    start = (SEED ^ LENGTH * MUL) & M64
    mixed = 0x5A << 56 | 0x41414141414141
    alphabet = bytes(range(0x23, 0x7F))
    keys, i = [], 0
    while len(keys) < n:
        tail, v = bytearray(), i
        for _ in range(LENGTH - 8):
            tail.append(alphabet[v % len(alphabet)])
            v //= len(alphabet)
        i += 1
        # Undo hash *= MUL, hash ^= block data, data = shift_mix(k * MUL) * MUL.
        after_block = mixed ^ int.from_bytes(tail, "little")
        data = ((after_block * MUL_INV) & M64) ^ start
        x = (data * MUL_INV) & M64
        block = (((x ^ (x >> 47)) * MUL_INV) & M64).to_bytes(8, "little")
        if not any(b in block for b in FORBIDDEN):
            keys.append(block + bytes(tail))
    return keys


def ordinary_keys(n):
    rng = random.Random(9)
    allowed = [b for b in range(1, 256) if b not in FORBIDDEN]
    keys = set()
    while len(keys) < n:
        keys.add(bytes(rng.choice(allowed) for _ in range(LENGTH)))
    return sorted(keys)


def write_xpm(path, keys):
    rng = random.Random(7)
    with open(path, "wb") as out:
        out.write(b'/* XPM */\nstatic char *keys[] = {\n"1 1 %d %d",\n' % (len(keys), LENGTH))
        for key in keys:
            out.write(b'"' + key + b' c #%06x",\n' % rng.randrange(1 << 24))
        out.write(b'"' + keys[0] + b'"\n};\n')


def best_time(path):
    best = None
    for _ in range(runs):
        began = time.perf_counter()
        done = subprocess.run([tessenc, "L2", path], input=b"keys\n", stdout=subprocess.PIPE)
        took = time.perf_counter() - began
        if done.returncode != 0:
            sys.exit(f"tessenc failed on {path}: {done.stdout.decode(errors='replace')}")
        best = took if best is None else min(best, took)
    return best


inputs = [("crafted keys (one std::hash value)", crafted_keys(colours)), ("ordinary keys", ordinary_keys(colours))]
print(f"tessenc: {tessenc}")
print(f"{colours} colour lines of {LENGTH}-character keys, best of {runs} runs")
for index, (label, keys) in enumerate(inputs):
    path = f"{folder}/keys{index}.xpm"
    write_xpm(path, keys)
    print(f"  {label:36} {best_time(path):8.3f} s")
EOF
