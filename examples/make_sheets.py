#!/usr/bin/env python3
"""Draws the example characters as an artist would hand them over.

rogue-sheet.png: one sheet of 48 x 48 cells (1-pixel margin, 2 between
cells): rows 0-2 a six-step walk facing down, left and up, row 3 three idle
poses of two frames (down, left, up side by side), row 4 a four-frame
attack facing down. The right-facing views are the left ones mirrored.

slime.png and slime.json: an atlas as Aseprite exports it, frames trimmed to
what is drawn, one of them stored turned, with the tags "bounce" (pingpong)
and "squish".

charset.png: the hex digits 0-F in white with a shadow, 12 x 16 cells in two
rows of eight, on a magenta ground (#ff00ff) that fills the margins and the
spacing too, as old charsets were drawn.

coin-hires.png: a gold coin turning, eight frames of 128 x 128 drawn smooth,
with edges softened by 4 x 4 supersampling: art drawn larger than an image.

Standard library only; run it from anywhere, it writes beside itself.
"""
import json
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

CLEAR = (0, 0, 0, 0)
SKIN = (232, 180, 140, 255)
HOOD = (40, 110, 60, 255)
CLOAK = (30, 80, 45, 255)
BOOT = (90, 60, 30, 255)
EYE = (20, 20, 20, 255)
BLADE = (200, 200, 210, 255)
SLIME = (80, 170, 230, 255)
SLIME_DARK = (40, 100, 170, 255)
SHINE = (240, 250, 255, 255)


def write_png(path, width, height, pixels):
    """pixels: a list of rows of RGBA tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for pixel in row:
            raw.extend(pixel)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        out.write(chunk(b"IEND", b""))


def canvas(width, height):
    return [[CLEAR] * width for _ in range(height)]


def rect(picture, x, y, w, h, colour):
    for yy in range(max(y, 0), min(y + h, len(picture))):
        for xx in range(max(x, 0), min(x + w, len(picture[0]))):
            picture[yy][xx] = colour


def rogue(picture, left, top, facing, step, pose):
    """A hooded rogue about 20 pixels wide in a 48 x 48 cell."""
    bob = 1 if step % 3 == 1 else 0
    x, y = left + 14, top + 8 + bob
    rect(picture, x + 4, y, 12, 10, HOOD)                      # hood
    if facing != "up":
        face_x = x + (4 if facing == "left" else 6)
        rect(picture, face_x, y + 3, 8, 6, SKIN)
        rect(picture, face_x + 1, y + 5, 2, 2, EYE)
        if facing == "down":
            rect(picture, face_x + 5, y + 5, 2, 2, EYE)
    rect(picture, x + 2, y + 10, 16, 16, CLOAK)                # body
    stride = [0, 2, 4, 2, 0, -2][step % 6] if pose == "walk" else 0
    rect(picture, x + 5 + stride, y + 26, 4, 6, BOOT)          # legs
    rect(picture, x + 11 - stride, y + 26, 4, 6, BOOT)
    if pose == "attack":
        reach = [2, 8, 14, 6][step % 4]
        rect(picture, x + 18, y + 12, reach, 2, BLADE)
    if pose == "idle" and step == 1:
        rect(picture, x + 2, y + 10, 16, 1, HOOD)              # a breath


def make_rogue():
    cell, margin, spacing, columns, rows = 48, 1, 2, 6, 5
    width = 2 * margin + columns * cell + (columns - 1) * spacing
    height = 2 * margin + rows * cell + (rows - 1) * spacing
    picture = canvas(width, height)

    def at(column, row):
        return margin + column * (cell + spacing), margin + row * (cell + spacing)

    for row, facing in enumerate(["down", "left", "up"]):
        for column in range(6):
            rogue(picture, *at(column, row), facing, column, "walk")
    for index, facing in enumerate(["down", "left", "up"]):
        for frame in range(2):
            rogue(picture, *at(2 * index + frame, 3), facing, frame, "idle")
    for column in range(4):
        rogue(picture, *at(column, 4), "down", column, "attack")
    write_png(os.path.join(HERE, "rogue-sheet.png"), width, height, picture)


def slime_frame(squash):
    """A slime 24 wide at rest, flatter and wider as it squashes; drawn in a
    32 x 32 canvas resting on its bottom, returned trimmed."""
    w = 20 + 2 * squash
    h = 16 - 2 * squash
    picture = canvas(32, 32)
    cx, bottom = 16, 30
    for y in range(bottom - h, bottom):
        t = (bottom - y) / h
        half = int(w / 2 * math.sqrt(max(0.0, 1 - (t - 0.0) ** 2 * 0.8)))
        for x in range(cx - half, cx + half):
            picture[y][x] = SLIME_DARK if y >= bottom - 2 else SLIME
    rect(picture, cx - 5, bottom - h + 3, 2, 2, SHINE)
    rect(picture, cx - 4, bottom - h // 2, 2, 3, EYE)
    rect(picture, cx + 3, bottom - h // 2, 2, 3, EYE)
    xs = [x for y in range(32) for x in range(32) if picture[y][x][3]]
    ys = [y for y in range(32) for x in range(32) if picture[y][x][3]]
    x0, y0 = min(xs), min(ys)
    trimmed = [row[x0:max(xs) + 1] for row in picture[y0:max(ys) + 1]]
    return trimmed, x0, y0


def make_slime():
    frames = [slime_frame(s) for s in (0, 1, 2, 3, 1, 0)]
    names = ["slime %d.aseprite" % k for k in range(len(frames))]
    rotated = {3}  # the packer turned the widest frame to save room
    atlas_w, atlas_h = 128, 32
    picture = canvas(atlas_w, atlas_h)
    entries, x = [], 0
    for k, (drawn, ox, oy) in enumerate(frames):
        h, w = len(drawn), len(drawn[0])
        if k in rotated:  # stored turned 90 degrees clockwise: h wide, w high
            for dy in range(h):
                for dx in range(w):
                    picture[dx][x + h - 1 - dy] = drawn[dy][dx]
            stored_w = h
        else:
            for dy in range(h):
                for dx in range(w):
                    picture[dy][x + dx] = drawn[dy][dx]
            stored_w = w
        entries.append({
            "filename": names[k],
            "frame": {"x": x, "y": 0, "w": w, "h": h},
            "rotated": k in rotated,
            "trimmed": True,
            "spriteSourceSize": {"x": ox, "y": oy, "w": w, "h": h},
            "sourceSize": {"w": 32, "h": 32},
            "duration": 100,
        })
        x += stored_w + 1
    assert x <= atlas_w
    write_png(os.path.join(HERE, "slime.png"), atlas_w, atlas_h, picture)
    atlas = {
        "frames": entries,
        "meta": {
            "app": "make_sheets.py",
            "version": "1.0",
            "image": "slime.png",
            "format": "RGBA8888",
            "size": {"w": atlas_w, "h": atlas_h},
            "scale": "1",
            "frameTags": [
                {"name": "bounce", "from": 0, "to": 3, "direction": "pingpong"},
                {"name": "squish", "from": 3, "to": 5, "direction": "forward"},
            ],
            "layers": [{"name": "body", "opacity": 255, "blendMode": "normal"}],
            "slices": [],
        },
    }
    with open(os.path.join(HERE, "slime.json"), "w") as out:
        json.dump(atlas, out, indent=1)
        out.write("\n")


GLYPHS = {  # 5 x 7, a row a string
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11100", "10010", "10001", "10001", "10001", "10010", "11100"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
}
KEY = (255, 0, 255, 255)
INK = (255, 255, 255, 255)
SHADOW = (30, 30, 120, 255)


def make_charset():
    cell_w, cell_h, margin, spacing, columns = 12, 16, 2, 2, 8
    width = 2 * margin + columns * cell_w + (columns - 1) * spacing
    height = 2 * margin + 2 * cell_h + spacing
    picture = [[KEY] * width for _ in range(height)]
    for k, name in enumerate("0123456789ABCDEF"):
        left = margin + (k % columns) * (cell_w + spacing)
        top = margin + (k // columns) * (cell_h + spacing)
        for colour, shift in ((SHADOW, 1), (INK, 0)):  # each glyph pixel 2 x 2, its shadow one down and right
            for gy, row in enumerate(GLYPHS[name]):
                for gx, bit in enumerate(row):
                    if bit == "1":
                        rect(picture, left + 1 + 2 * gx + shift, top + 1 + 2 * gy + shift, 2, 2, colour)
    write_png(os.path.join(HERE, "charset.png"), width, height, picture)


GOLD = [(108, 48, 4), (144, 68, 4), (180, 92, 8), (204, 124, 28), (212, 156, 60), (220, 184, 84), (240, 216, 140)]


def make_coin():
    size, frames, samples = 128, 8, 4
    picture = canvas(size * frames, size)
    centre, radius, rim = size / 2, size * 0.44, size * 0.06
    for frame in range(frames):
        turn = max(abs(math.cos(math.pi * frame / frames)), 0.06)  # the coin's width as it turns
        for y in range(size):
            for x in range(size):
                covered, shade = 0, 0.0
                for sy in range(samples):
                    for sx in range(samples):
                        dx = (x + (sx + 0.5) / samples - centre) / (radius * turn)
                        dy = (y + (sy + 0.5) / samples - centre) / radius
                        d = math.hypot(dx, dy)
                        if d > 1:
                            continue
                        covered += 1
                        light = 0.55 + 0.45 * (-0.5 * dx - 0.6 * dy)  # lit from the top left
                        if d > 1 - rim / radius or abs(dx) + abs(dy) < 0.35:
                            light -= 0.25  # the rim and a raised diamond
                        shade += min(max(light, 0.0), 1.0)
                if covered:
                    # Few shades, pixel art's and a small file's, along a gold ramp.
                    at = round(shade / covered * 15) / 15 * (len(GOLD) - 1)
                    low, high = GOLD[int(at)], GOLD[min(int(at) + 1, len(GOLD) - 1)]
                    colour = tuple(round(a + (b - a) * (at - int(at))) for a, b in zip(low, high))
                    picture[y][frame * size + x] = colour + (round(255 * covered / samples ** 2),)
    write_png(os.path.join(HERE, "coin-hires.png"), size * frames, size, picture)


if __name__ == "__main__":
    make_rogue()
    make_slime()
    make_charset()
    make_coin()
