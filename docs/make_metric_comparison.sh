#!/usr/bin/env bash
# docs/make_metric_comparison.sh - docs/metric-l2-oklab.png: one sprite mapped
# to the palette with L2 and with OKLab, side by side.
#
#   docs/make_metric_comparison.sh [BUILD_DIR]
#
# Uses tesspack from BUILD_DIR (an already configured build folder; tesspack is
# built there), or else builds the `release` preset.
#
# The sprite, 64x64 with a transparent background, is generated here: a
# skin-tone ball lit from the upper left (smooth shading, the hardest case for
# a small palette) over a band of every hue from light to dark. It is built
# twice, with `tesspack build --metric L2` and `--metric oklab`; each tile file
# is drawn with `tesspack preview --scale 4`, and convert puts the original,
# L2 and OKLab in a row on a light grey ground, labelled where ImageMagick has
# a font.
#
# Every command is printed as it runs. Needs cmake, g++, python3 and convert.

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

source "$root/docs/common.sh"
use_build "$@" -- tesspack
tesspack=$build/programs/tesspack/tesspack

png_options=(-define png:exclude-chunks=date,time)

work=$(mktemp -d "${TMPDIR:-/tmp}/tess-metric.XXXXXX")
trap 'rm -rf "$work"' EXIT

# An RGBA PNG written with zlib: the picture is made, not read, so the
# standard library is enough.
show python3 - "$work/sprite.png" <<'PYTHON'
import colorsys
import math
import struct
import sys
import zlib

SIZE = 64
SKIN = (236, 188, 150)


def ball(x, y):
    """The lit ball, or None outside it."""
    cx, cy, r = 32.0, 24.0, 22.0
    dx, dy = (x + 0.5 - cx) / r, (y + 0.5 - cy) / r
    d2 = dx * dx + dy * dy
    if d2 > 1.0:
        return None
    dz = math.sqrt(1.0 - d2)
    light = (-0.5, -0.6, 0.62)
    norm = math.sqrt(sum(c * c for c in light))
    lambert = max(0.0, (dx * light[0] + dy * light[1] + dz * light[2]) / norm)
    shade = 0.25 + 0.8 * lambert
    shine = max(0.0, lambert) ** 24 * 0.5
    return tuple(min(255, round(c * shade + 255 * shine)) for c in SKIN)


def band(x, y):
    """Every hue across, light to dark down, or None above the band."""
    top = 48
    if y < top:
        return None
    hue = x / SIZE
    value = 1.0 - 0.6 * (y - top) / (SIZE - 1 - top)
    r, g, b = colorsys.hsv_to_rgb(hue, 0.65, value)
    return (round(r * 255), round(g * 255), round(b * 255))


rows = bytearray()
for y in range(SIZE):
    rows.append(0)  # filter: none
    for x in range(SIZE):
        colour = ball(x, y) or band(x, y)
        rows += bytes(colour + (255,)) if colour else bytes(4)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


png = b"\x89PNG\r\n\x1a\n"
png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
png += chunk(b"IEND", b"")
with open(sys.argv[1], "wb") as out:
    out.write(png)
PYTHON

cat >"$work/sprite.toml" <<'TOML'
[[scene]]
name = "ball"
frames = 1
images = ["sprite.png"]
TOML

for metric in L2 oklab; do
    show "$tesspack" build "$work/sprite.toml" --metric "$metric" -o "$work/$metric.til"
    show "$tesspack" preview "$work/$metric.til" -o "$work/$metric.png" --scale 4
done
show convert "$work/sprite.png" -scale 400% "$work/original.png"

# Labels need a font; without one the pictures stand unlabelled.
labels=()
font=$(convert -list font 2>/dev/null | sed -n 's/^ *Font: //p' | grep -m1 -i -e '^DejaVu-Sans$' -e sans || true)
if [[ -n $font ]]; then
    labels=(-font "$font" -pointsize 18 -fill '#202020')
fi

panels=()
for panel in original:"as drawn" L2:"L2" oklab:"OKLab"; do
    file=${panel%%:*}
    label=${panel#*:}
    out="$work/panel-$file.png"
    if ((${#labels[@]})); then
        show convert "$work/$file.png" -background '#e8e8e8' -gravity south -splice 0x28 \
            "${labels[@]}" -annotate +0+4 "$label" "$out"
    else
        show cp "$work/$file.png" "$out"
    fi
    panels+=("$out")
done
show convert "${panels[@]}" -background '#e8e8e8' -bordercolor '#e8e8e8' -border 8 +append +repage \
    -flatten "${png_options[@]}" docs/metric-l2-oklab.png
