#!/usr/bin/env python3
"""Writes the inputs of bench/run.sh, the same for every program measured.

    make_inputs.py sprite OUT.xpm      64x64 sprite: transparent background, a few dozen colours, 1 char a pixel
    make_inputs.py sheet OUT.xpm       64x255 sheet: gradient plus noise, thousands of colours, 2 chars a pixel
    make_inputs.py palette-tile OUT.til  one 64x4 image holding every palette index 0..255 once
    make_inputs.py big-tile OUT.til    255 scenes x 4 views x 4 frames of full 64x255 images

Everything is generated from fixed seeds, so every run measures the same files.
Standard library only.
"""

import math
import random
import sys

TILE_WIDTH = 64
LITERAL_RUN, TRANSPARENT_RUN, END_OF_ROW, END_OF_IMAGE = 0, 1, 2, 3

# Pixel keys: printable ASCII without the double quote and the backslash,
# which would need escaping inside an XPM string.
KEY_CHARS = [chr(c) for c in range(33, 127) if chr(c) not in '"\\']


def write_xpm(path, name, width, height, cpp, colours, rows):
    """colours: list of (key, colour text); rows: list of lists of keys."""
    lines = ["/* XPM */", f"static char *{name}[] = {{", f'"{width} {height} {len(colours)} {cpp}",']
    lines += [f'"{key} c {colour}",' for key, colour in colours]
    lines += [f'"{"".join(row)}",' for row in rows]
    lines[-1] = lines[-1].rstrip(",")
    lines.append("};")
    with open(path, "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


def sprite(path):
    """A shaded ball with a sword and a few named colours on a transparent background."""
    size = 64
    transparent = " "
    keys = iter(k for k in KEY_CHARS)
    colours = [(transparent, "None")]
    # 32 shades of a warm ramp for the ball, 8 greys for the blade, three X11 names.
    ball = []
    for level in range(32):
        t = level / 31
        key = next(keys)
        ball.append(key)
        colours.append((key, "#%02x%02x%02x" % (int(40 + 215 * t), int(20 + 150 * t), int(10 + 60 * t * t))))
    blade = []
    for level in range(8):
        key = next(keys)
        blade.append(key)
        grey = 90 + 20 * level
        colours.append((key, "#%02x%02x%02x" % (grey, grey, grey + 10)))
    outline, hilt, eye = next(keys), next(keys), next(keys)
    colours += [(outline, "black"), (hilt, "gold"), (eye, "white")]

    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x - 26, y - 34
            r = math.hypot(dx, dy)
            if 46 <= x <= 49 and 4 <= y <= 40:
                row.append(blade[(y + x) % 8])
            elif 42 <= x <= 53 and 41 <= y <= 43:
                row.append(hilt)
            elif r < 21 and (abs(dx + 6) < 2 or abs(dx - 6) < 2) and -8 < dy < -4:
                row.append(eye)
            elif r < 21:
                light = 1 - math.hypot(x - 18, y - 26) / 34
                row.append(ball[max(0, min(31, int(light * 32)))])
            elif r < 23:
                row.append(outline)
            else:
                row.append(transparent)
        rows.append(row)
    write_xpm(path, "sprite", size, size, 1, colours, rows)


def sheet(path):
    """A gradient with noise: most pixels a colour of their own, a transparent stripe."""
    width, height = TILE_WIDTH, 255
    rng = random.Random(1)
    transparent = "  "
    key_of = {}
    colours = [(transparent, "None")]
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            if (x + y) % 61 < 2:
                row.append(transparent)
                continue

            def channel(base):
                return max(0, min(255, int(base + rng.randint(-16, 16)) // 8 * 8))

            rgb = (channel(x * 4), channel(y), channel(255 - (x * 2 + y) // 2))
            if rgb not in key_of:
                n = len(key_of) + 1  # key 0 is the transparent one
                key = KEY_CHARS[n // len(KEY_CHARS)] + KEY_CHARS[n % len(KEY_CHARS)]
                key_of[rgb] = key
                colours.append((key, "#%02x%02x%02x" % rgb))
            row.append(key_of[rgb])
        rows.append(row)
    if len(colours) > len(KEY_CHARS) ** 2:
        sys.exit("too many colours for two characters a pixel")
    write_xpm(path, "sheet", width, height, 2, colours, rows)


def tile_header(views, scenes):
    return bytes([ord("T"), ord("I"), ord("L"), 2, views, scenes])


def image_record(height, data):
    return bytes([height, len(data) & 0xFF, len(data) >> 8]) + data


def palette_tile(path):
    """Scene 'remap', one image of 4 rows of 64 literal pixels: indices 0..255 in order."""
    data = bytearray()
    for row in range(4):
        data += bytes([LITERAL_RUN, TILE_WIDTH]) + bytes(range(row * 64, row * 64 + 64)) + bytes([END_OF_ROW])
    data.append(END_OF_IMAGE)
    with open(path, "wb") as out:
        out.write(tile_header(1, 1) + bytes([1]) + b"remap\0" + image_record(4, bytes(data)))


def big_tile(path):
    """The largest tile file the format holds in every count: 255 scenes of 4 frames in
    4 views, each image 255 rows of 64 literal pixels, every index used."""
    views, scenes, frames, height = 4, 255, 4, 255
    cycle = bytes(range(256)) * 2
    with open(path, "wb") as out:
        out.write(tile_header(views, scenes))
        for scene in range(scenes):
            out.write(bytes([frames]) + b"s%03d\0" % scene)
            for k in range(views * frames):
                data = bytearray()
                for row in range(height):
                    start = (scene * 7 + k * 13 + row * 3) % 256
                    data += bytes([LITERAL_RUN, TILE_WIDTH]) + cycle[start:start + TILE_WIDTH] + bytes([END_OF_ROW])
                data.append(END_OF_IMAGE)
                out.write(image_record(height, bytes(data)))


def main():
    makers = {"sprite": sprite, "sheet": sheet, "palette-tile": palette_tile, "big-tile": big_tile}
    if len(sys.argv) != 3 or sys.argv[1] not in makers:
        sys.exit(__doc__)
    makers[sys.argv[1]](sys.argv[2])


if __name__ == "__main__":
    main()
