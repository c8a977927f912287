#!/usr/bin/env python3
"""Writes the inputs of bench/run.sh and bench/tesspack.sh, the same for every program measured.

    make_inputs.py sprite OUT.xpm        64x64 sprite: transparent background, a few dozen colours, 1 char a pixel
    make_inputs.py sheet OUT.xpm         64x255 sheet: gradient plus noise, thousands of colours, 2 chars a pixel
    make_inputs.py big-set PAL.hex DIR   DIR/big.toml and its XPMs: 255 scenes x 4 views x 4 frames of
                                         full 64x255 images, every palette index used
    make_inputs.py frames DIR            DIR/xpm and DIR/rgba: 100 scenes x 8 views x 8 frames of 64x64
                                         character sprites, as XPMs and as RGBA PNGs, each folder with
                                         frames.toml (every scene) and quarter.toml (the first 25)
    make_inputs.py lpc-sheet DIR         DIR/sheet.png: one 832x1344 sheet of 13 x 21 cells of 64x64, five
                                         animations of four directions using 172 cells; DIR/sheet.toml cuts
                                         it, DIR/atlas.json + atlas.toml pick the same cells as an atlas,
                                         and DIR/cells.toml names the same cells as separate PNGs

Pictures only: tile files are made from them by `tesspack build`. PAL.hex is
what `tesspack palette -o PAL.hex` writes, one RRGGBB a line in index order; an
XPM key NNN whose colour is exactly palette entry NNN keeps that index, which
is how big-set places every index where it wants it.

Everything is generated from fixed seeds, so every run measures the same files.
Standard library only.
"""

import colorsys
import json
import math
import os
import random
import struct
import sys
import zlib

TILE_WIDTH = 64

# Pixel keys: printable ASCII without the double quote and the backslash,
# which would need escaping inside an XPM string.
KEY_CHARS = [chr(c) for c in range(33, 127) if chr(c) not in '"\\']


def write_xpm(path, name, width, height, cpp, colours, rows):
    """colours: list of (key, colour text); rows: list of rows, each a string or a list of keys."""
    lines = ["/* XPM */", f"static char *{name}[] = {{", f'"{width} {height} {len(colours)} {cpp}",']
    lines += [f'"{key} c {colour}",' for key, colour in colours]
    lines += [f'"{"".join(row)}",' for row in rows]
    lines[-1] = lines[-1].rstrip(",")
    lines.append("};")
    with open(path, "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


def write_manifest(path, views, scenes):
    """scenes: list of (name, frames, images), images all frames of view 0, then view 1, ..."""
    output = os.path.splitext(os.path.basename(path))[0] + ".til"
    lines = [f"output = {json.dumps(output)}", f"views = {views}"]
    for name, frames, images in scenes:
        lines += ["", "[[scene]]", f"name = {json.dumps(name)}", f"frames = {frames}",
                  "images = [" + ", ".join(json.dumps(image) for image in images) + "]"]
    with open(path, "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def write_rgba_png(path, width, height, rgba):
    """rgba: width * height * 4 bytes, rows top to bottom; filter 0 on every row."""
    stride = width * 4
    raw = b"".join(b"\0" + rgba[y * stride:(y + 1) * stride] for y in range(height))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n"
                  + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                  + png_chunk(b"IDAT", zlib.compress(raw, 6))
                  + png_chunk(b"IEND", b""))


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


def read_palette(path):
    with open(path, encoding="ascii") as f:
        entries = [line.strip() for line in f if line.strip()]
    if len(entries) != 256:
        sys.exit(f"{path}: {len(entries)} palette entries, not 256")
    return entries


def big_set(palette_path, folder):
    """The largest tile file the format holds in every count: 255 scenes of 4 frames in
    4 views, each image 255 rows of 64 opaque pixels, every index used. Sixteen
    distinct pictures, each scene taking them in its own order, keep the inputs
    small; the tile file is as large as if every image were different."""
    palette = read_palette(palette_path)
    views, scenes, frames, height, pictures = 4, 255, 4, 255, 16
    os.makedirs(folder, exist_ok=True)
    colours = [("%03d" % i, "#" + palette[i]) for i in range(256)]
    for k in range(pictures):
        rows = []
        for row in range(height):
            start = k * 13 + row * 3
            rows.append("".join("%03d" % ((start + x) % 256) for x in range(TILE_WIDTH)))
        write_xpm(os.path.join(folder, "big_%02d.xpm" % k), "big_%02d" % k, TILE_WIDTH, height, 3, colours, rows)
    manifest = []
    for scene in range(scenes):
        images = ["big_%02d.xpm" % ((scene * 7 + k * 5) % pictures) for k in range(views * frames)]
        manifest.append(("s%03d" % scene, frames, images))
    write_manifest(os.path.join(folder, "big.toml"), views, manifest)


# The character sprites: a figure drawn from materials, each a ramp of shades
# lit from the top left. The shapes depend on the build, the gear, the view and
# the frame (a walk cycle); the colours of each material on the scene.
MATERIALS = [("body", 10), ("trim", 6), ("skin", 5), ("hair", 5), ("metal", 6), ("leather", 4),
             ("outline", 1), ("eye", 1), ("pupil", 1)]
TRANSPARENT = " "
MATERIAL_KEYS = {}
_keys = iter(KEY_CHARS)
for _material, _shades in MATERIALS:
    MATERIAL_KEYS[_material] = [next(_keys) for _ in range(_shades)]
OUTLINE = MATERIAL_KEYS["outline"][0]

BUILDS, GEARS, VIEWS, FRAMES, SCENES = 4, 4, 8, 8, 100
SPRITE = 64


class Canvas:
    def __init__(self):
        self.cells = [[TRANSPARENT] * SPRITE for _ in range(SPRITE)]

    def put(self, x, y, key):
        if 0 <= x < SPRITE and 0 <= y < SPRITE:
            self.cells[y][x] = key

    def ellipse(self, cx, cy, rx, ry, material, only=None):
        """Fills an ellipse with the material, shaded by the light from the top left;
        `only(x, y)` limits it."""
        ramp = MATERIAL_KEYS[material]
        for y in range(int(cy - ry), int(cy + ry) + 1):
            for x in range(int(cx - rx), int(cx + rx) + 1):
                u, v = (x - cx) / rx, (y - cy) / ry
                if u * u + v * v > 1 or (only and not only(x, y)):
                    continue
                light = (1.4 - 0.6 * u - 0.8 * v) / 2.8  # 0 dark .. 1 lit
                self.put(x, y, ramp[max(0, min(len(ramp) - 1, int(light * len(ramp))))])

    def box(self, x0, y0, x1, y1, material):
        ramp = MATERIAL_KEYS[material]
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                light = 1 - (x - x0) / max(1, x1 - x0) * 0.7 - (y - y0) / max(1, y1 - y0) * 0.3
                self.put(x, y, ramp[max(0, min(len(ramp) - 1, int(light * len(ramp))))])

    def line(self, x0, y0, x1, y1, material):
        ramp = MATERIAL_KEYS[material]
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            self.put(x, y, ramp[-1 - i % 3])
            self.put(x + 1, y, ramp[1 + i % 2])

    def outline(self):
        opaque = [[key != TRANSPARENT for key in row] for row in self.cells]
        for y in range(SPRITE):
            for x in range(SPRITE):
                if opaque[y][x]:
                    continue
                if ((x > 0 and opaque[y][x - 1]) or (x < SPRITE - 1 and opaque[y][x + 1])
                        or (y > 0 and opaque[y - 1][x]) or (y < SPRITE - 1 and opaque[y + 1][x])):
                    self.cells[y][x] = OUTLINE

    def rows(self):
        return ["".join(row) for row in self.cells]


def figure(build, gear, view, frame):
    """One frame of a walking figure seen from one of eight directions: 64 rows of keys."""
    canvas = Canvas()
    facing = view * math.pi / 4  # 0: towards the viewer, then clockwise
    side, front = math.sin(facing), math.cos(facing)
    phase = frame * 2 * math.pi / FRAMES
    bob = round(abs(math.sin(phase)) * 2)
    swing = math.sin(phase) * 4
    cx = 32 + round(side * 2)
    width = 8 + build  # broader figures for higher builds
    tall = build % 2

    # Legs, the far one first, then the body and belt, arms, head, face, gear.
    hip = 44 + bob - tall
    for leg, sign in ((1, -1), (0, 1)):
        dx = round(sign * swing * abs(side))
        lift = round(max(0.0, sign * swing) * abs(front) / 2)
        x0 = cx - 6 + 7 * leg + dx
        canvas.box(x0, hip, x0 + 4, 57 - lift, "trim")
        canvas.box(x0 - 1, 58 - lift, x0 + 4 + round(side), 60 - lift, "leather")
    canvas.ellipse(cx, 35 + bob - tall, width, 11 + tall, "body")
    canvas.box(cx - width + 1, 43 + bob - tall, cx + width - 1, 44 + bob - tall, "leather")
    for sign in (-1, 1):
        arm = round(-sign * swing * abs(side) / 2)
        ax = cx + sign * (width + 1)
        canvas.ellipse(ax + arm, 36 + bob - tall, 2.5, 8, "body")
        canvas.ellipse(ax + arm, 44 + bob - tall, 2, 2, "skin")
    head_x, head_y = cx + round(side * 2), 17 + bob - 2 * tall
    canvas.ellipse(head_x, head_y, 8, 8, "skin")
    back = front < -0.3
    canvas.ellipse(head_x, head_y, 8.5, 8.5, "hair",
                   only=(lambda x, y: True) if back else (lambda x, y: y < head_y - 3 + abs(x - head_x) // 3))
    if not back:
        face = round(side * 3)
        for ex in (-3, 3):
            if abs(ex + face) <= 6:
                canvas.box(head_x + ex + face - 1, head_y, head_x + ex + face, head_y + 1, "eye")
                canvas.put(head_x + ex + face + (1 if side > 0 else 0), head_y + 1, MATERIAL_KEYS["pupil"][0])
    hand = (1 if side >= 0 else -1) * (width + 1)
    hx, hy = cx + hand, 44 + bob - tall
    if gear == 1:  # a sword raised forward
        canvas.line(hx, hy, hx + (8 if hand > 0 else -8), hy - 20, "metal")
        canvas.box(hx - 2, hy - 1, hx + 2, hy, "leather")
    elif gear == 2:  # a staff with an orb
        canvas.line(hx, hy + 12, hx, hy - 26, "leather")
        canvas.ellipse(hx, hy - 28, 3, 3, "metal")
    elif gear == 3:  # a shield on the other arm
        canvas.ellipse(cx - hand, 38 + bob - tall, 5, 7, "metal")
        canvas.ellipse(cx - hand, 38 + bob - tall, 2, 3, "trim")
    canvas.outline()
    return canvas.rows()


def scene_colours(scene):
    """RGB of every material shade for one scene: hues from the scene's seed,
    none of them chosen to fall on palette entries."""
    rng = random.Random(1000 + scene)
    hues = {"body": rng.random(), "trim": rng.random(), "skin": 0.05 + rng.random() * 0.06,
            "hair": rng.random(), "metal": 0.6, "leather": 0.07 + rng.random() * 0.04}
    saturation = {"body": 0.55 + rng.random() * 0.35, "trim": 0.4 + rng.random() * 0.4, "skin": 0.45,
                  "hair": 0.3 + rng.random() * 0.5, "metal": 0.08, "leather": 0.6}
    colours = {}
    for material, shades in MATERIALS:
        keys = MATERIAL_KEYS[material]
        if material == "outline":
            colours[keys[0]] = (20 + rng.randrange(20), 12 + rng.randrange(16), 24 + rng.randrange(20))
            continue
        if material == "eye":
            colours[keys[0]] = (236 + rng.randrange(12), 236 + rng.randrange(12), 228 + rng.randrange(20))
            continue
        if material == "pupil":
            colours[keys[0]] = (30 + rng.randrange(40), 40 + rng.randrange(60), 60 + rng.randrange(80))
            continue
        for shade in range(shades):
            value = 0.25 + 0.7 * (shade + 0.5) / shades
            r, g, b = colorsys.hsv_to_rgb(hues[material], saturation[material] * (1.1 - 0.3 * shade / shades), value)
            colours[keys[shade]] = (round(r * 255), round(g * 255), round(b * 255))
    return colours


def frames(folder):
    """The set tesspack.sh measures: XPMs (1 char a pixel, colours as #rrggbb) in
    DIR/xpm and the same pixels as RGBA PNGs in DIR/rgba."""
    shapes = {}
    xpm_folder, png_folder = os.path.join(folder, "xpm"), os.path.join(folder, "rgba")
    os.makedirs(xpm_folder, exist_ok=True)
    os.makedirs(png_folder, exist_ok=True)
    scenes = {"xpm": [], "png": []}
    all_keys = [key for material, _ in MATERIALS for key in MATERIAL_KEYS[material]]
    for scene in range(SCENES):
        build, gear = scene % BUILDS, (scene // BUILDS) % GEARS
        colours = scene_colours(scene)
        planes = []
        for channel in range(4):
            table = {ord(TRANSPARENT): 0}
            for key, rgb in colours.items():
                table[ord(key)] = 255 if channel == 3 else rgb[channel]
            planes.append(table)
        names = {"xpm": [], "png": []}
        for view in range(VIEWS):
            for frame in range(FRAMES):
                key = (build, gear, view, frame)
                if key not in shapes:
                    shapes[key] = figure(*key)
                rows = shapes[key]
                used = set("".join(rows)) - {TRANSPARENT}
                stem = "s%03d_%d_%d" % (scene, view, frame)
                xpm_colours = [(TRANSPARENT, "None")] + [(k, "#%02x%02x%02x" % colours[k]) for k in all_keys if k in used]
                write_xpm(os.path.join(xpm_folder, stem + ".xpm"), stem, SPRITE, SPRITE, 1, xpm_colours, rows)
                flat = "".join(rows)
                rgba = bytearray(SPRITE * SPRITE * 4)
                for channel in range(4):
                    rgba[channel::4] = flat.translate(planes[channel]).encode("latin-1")
                write_rgba_png(os.path.join(png_folder, stem + ".png"), SPRITE, SPRITE, bytes(rgba))
                names["xpm"].append(stem + ".xpm")
                names["png"].append(stem + ".png")
        for kind in ("xpm", "png"):
            scenes[kind].append(("scene%03d" % scene, FRAMES, names[kind]))
    for kind, sub in (("xpm", xpm_folder), ("png", png_folder)):
        write_manifest(os.path.join(sub, "frames.toml"), VIEWS, scenes[kind])
        write_manifest(os.path.join(sub, "quarter.toml"), VIEWS, scenes[kind][:SCENES // 4])


# The animations of an LPC-style sheet: name, first row, frames (columns).
LPC_ANIMATIONS = [("cast", 0, 7), ("thrust", 4, 8), ("walk", 8, 9), ("slash", 12, 6), ("shoot", 16, 13)]
LPC_COLUMNS, LPC_ROWS, LPC_VIEWS = 13, 21, 4


def lpc_sheet(folder):
    """A sheet as LPC characters are drawn, and the same cells three more ways."""
    os.makedirs(os.path.join(folder, "cells"), exist_ok=True)
    colours = scene_colours(0)
    width, height = LPC_COLUMNS * SPRITE, LPC_ROWS * SPRITE
    rgba = bytearray(width * height * 4)
    pixel = {TRANSPARENT: b"\0\0\0\0"}
    pixel.update({key: bytes(rgb) + b"\xff" for key, rgb in colours.items()})
    cells = {}
    for name, first_row, frame_count in LPC_ANIMATIONS:
        for view in range(LPC_VIEWS):
            for frame in range(frame_count):
                rows = figure(0, 0, view, frame % FRAMES)
                cell = b"".join(b"".join(pixel[key] for key in row) for row in rows)
                cells[(first_row + view, frame)] = cell
                for y in range(SPRITE):
                    at = (((first_row + view) * SPRITE + y) * width + frame * SPRITE) * 4
                    rgba[at:at + SPRITE * 4] = cell[y * SPRITE * 4:(y + 1) * SPRITE * 4]
    write_rgba_png(os.path.join(folder, "sheet.png"), width, height, bytes(rgba))
    frames, tags, table, atlas, separate = [], [], [], [], []
    for name, first_row, frame_count in LPC_ANIMATIONS:
        table.append('[[scene]]\nname = "%s"\nframes = %d\nsheet = { file = "sheet.png", cell = [64, 64], rows = [%s] }\n'
                     % (name, frame_count, ", ".join(str(first_row + v) for v in range(LPC_VIEWS))))
        names, tag_names = [], []
        for view in range(LPC_VIEWS):
            tag_names.append('"%s_%d"' % (name, view))
            tags.append({"name": "%s_%d" % (name, view), "from": len(frames), "to": len(frames) + frame_count - 1,
                         "direction": "forward"})
            for frame in range(frame_count):
                stem = "%s_%d_%d" % (name, view, frame)
                frames.append({"filename": stem, "frame": {"x": frame * SPRITE, "y": (first_row + view) * SPRITE,
                                                            "w": SPRITE, "h": SPRITE},
                               "rotated": False, "trimmed": False,
                               "spriteSourceSize": {"x": 0, "y": 0, "w": SPRITE, "h": SPRITE},
                               "sourceSize": {"w": SPRITE, "h": SPRITE}, "duration": 100})
                write_rgba_png(os.path.join(folder, "cells", stem + ".png"), SPRITE, SPRITE, cells[(first_row + view, frame)])
                names.append('"cells/%s.png"' % stem)
        atlas.append('[[scene]]\nname = "%s"\natlas = "atlas.json"\ntags = [%s]\n' % (name, ", ".join(tag_names)))
        separate.append('[[scene]]\nname = "%s"\nframes = %d\nimages = [%s]\n' % (name, frame_count, ", ".join(names)))
    with open(os.path.join(folder, "atlas.json"), "w") as out:
        json.dump({"frames": frames, "meta": {"app": "make_inputs.py", "image": "sheet.png",
                                              "size": {"w": width, "h": height}, "frameTags": tags}}, out)
    for manifest, scenes in (("sheet.toml", table), ("atlas.toml", atlas), ("cells.toml", separate)):
        with open(os.path.join(folder, manifest), "w") as out:
            out.write('output = "lpc.til"\nviews = %d\n\n' % LPC_VIEWS + "\n".join(scenes))


def main():
    makers = {"sprite": (sprite, 1), "sheet": (sheet, 1), "big-set": (big_set, 2), "frames": (frames, 1),
              "lpc-sheet": (lpc_sheet, 1)}
    if len(sys.argv) < 2 or sys.argv[1] not in makers or len(sys.argv) != 2 + makers[sys.argv[1]][1]:
        sys.exit(__doc__)
    makers[sys.argv[1]][0](*sys.argv[2:])


if __name__ == "__main__":
    main()
