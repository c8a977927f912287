#!/usr/bin/env bash
# docs/make_palette_swatch.sh - the pictures in docs/, made with the project's own programs.
#
#   docs/make_palette_swatch.sh [BUILD_DIR]
#
# Uses the programs of BUILD_DIR (an already configured build folder; the
# three programs are built there), or else builds the `release` preset.
#
# docs/palette.png: the 256-entry palette as tessdec draws it. An XPM is
# generated holding every palette index, one ramp of twelve entries a row of
# cells (row 0: black and the greys 1-11, rows 1-18: the eighteen ramps, row 19:
# the saturated colours 228-239, row 20: the blacks 240-251, row 21: 252-255),
# each cell 4x4 pixels with a transparent pixel of gap. Its colour lines are
# "NNN c #rrggbb" with the colours of `tesspack palette`, so every key keeps its
# own index, duplicates included; `tesspack build` (strict) makes the tile
# file, tessdec turns it back into an XPM and ImageMagick's convert scales that
# up eight times into a PNG.
#
# docs/sprite-before.png and docs/sprite-after.png: examples/hero.xpm, scaled
# up eight times, before and after the road through tessenc L2 (scene name
# walk) and tessdec: every colour reduced to its palette entry, every row
# padded with transparent pixels to 64.
#
# docs/preview.png: `tesspack preview` of examples/knight.til, scale 3.
#
# Every command is printed as it runs. Needs cmake, g++, python3 and convert.

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

source "$root/docs/common.sh"
use_build "$@" -- tessenc tessdec tesspack
tessenc=$build/programs/tessenc
tessdec=$build/programs/tessdec
tesspack=$build/programs/tesspack/tesspack

# PNGs without the time chunks ImageMagick adds, so that remaking them from the
# same programs gives the same files.
png_options=(-define png:exclude-chunks=date,time)

work=$(mktemp -d "${TMPDIR:-/tmp}/tess-swatch.XXXXXX")
trap 'rm -rf "$work"' EXIT

show "$tesspack" palette -o "$work/palette.hex"
show python3 - "$work/palette.hex" "$work/palette.xpm" <<'PYTHON'
import sys

CELLS_PER_ROW, CELL, GAP, WIDTH = 12, 4, 1, 64
CLEAR = "..."

colours = [line.strip() for line in open(sys.argv[1]) if line.strip()]
assert len(colours) == 256

rows = []
for start in range(0, 256, CELLS_PER_ROW):
    if rows:
        rows.append([CLEAR] * WIDTH)  # a row of gap between bands
    for _ in range(CELL):
        row = []
        for index in range(start, min(start + CELLS_PER_ROW, 256)):
            row += [f"{index:03d}"] * CELL + [CLEAR] * GAP
        rows.append(row + [CLEAR] * (WIDTH - len(row)))
assert len(rows) <= 255

lines = ["/* XPM */", "static char *palette[] = {", f'"{WIDTH} {len(rows)} 257 3",', f'"{CLEAR} c None",']
lines += [f'"{index:03d} c #{colour}",' for index, colour in enumerate(colours)]
lines += [f'"{"".join(row)}",' for row in rows]
lines[-1] = lines[-1].rstrip(",")
with open(sys.argv[2], "w") as out:
    out.write("\n".join(lines) + "\n};\n")
PYTHON

cat >"$work/palette.toml" <<'TOML'
strict = true  # every colour is exactly its key's palette entry

[[scene]]
name = "palette"
frames = 1
images = ["palette.xpm"]
TOML
show "$tesspack" build "$work/palette.toml"
show "$tessdec" "$work/palette.til"
show convert "$work/palette_palette_0_0.xpm" -scale 800% "${png_options[@]}" docs/palette.png

show cp examples/hero.xpm "$work/hero.xpm"
echo "+ printf 'walk\\n' | $tessenc L2 $work/hero.xpm"
printf 'walk\n' | "$tessenc" L2 "$work/hero.xpm"
echo
show "$tessdec" "$work/hero.til"
show convert examples/hero.xpm -scale 800% "${png_options[@]}" docs/sprite-before.png
show convert "$work/hero_walk_0_0.xpm" -scale 800% "${png_options[@]}" docs/sprite-after.png

show "$tesspack" preview examples/knight.til -o docs/preview.png --scale 3
