#!/usr/bin/env python3
"""The PNGs and palette files tesspack writes are what pngcheck and ImageMagick
expect, with the palette's colours.

A tile file is built from XPMs of palette indices that between them use every
index (240-255, which repeat other entries' colours, too) and transparency,
and unpacked: every PNG passes pngcheck, is indexed with the 256 palette
colours in PLTE, and ImageMagick reads each pixel as its index's colour, alpha
255, or alpha 0 where transparent; an image that uses all 256 indices and
transparency comes out as an XPM. The same for sheets (a row a view, a column
a frame) and for the scaled preview. The palette files follow their formats.
The expected colours are read out of the palette's C++ header.
"""

import os
import re
import sys

import interop_support as t

SCENES = t.sprite_scenes()
PALETTE = t.header_palette()


def seen(pixels):
    return [[t.TRANSPARENT if a == 0 else (r, g, b, a) for r, g, b, a in row] for row in pixels]


def colours(rows):
    return [[p if p == t.TRANSPARENT else PALETTE[p] + (255,) for p in row] for row in rows]


def check_png(suite, name, rows, where, kind="indexed"):
    """folder/name passes pngcheck and ImageMagick reads it as `rows` of indices.
    kind "indexed": colour type 3, the palette in PLTE, transparency on an unused
    index; "rgba": colour type 6; None: either."""
    result = t.run(["pngcheck", name], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"{where}: pngcheck refuses {name}: {t.describe(result)}")
    with open(suite.path(name), "rb") as f:
        chunks = t.png_chunks(f.read())
    header, bodies = t.png_header(chunks), dict(chunks)
    width = len(rows[0]) if rows else 0
    if (header.width, header.height) != (width, len(rows)):
        suite.problems.append(f"{where}: {name} is {header.width} x {header.height}, expected {width} x {len(rows)}")
        return
    if kind == "rgba" and (header.colour_type, header.depth) != (6, 8):
        suite.problems.append(f"{where}: {name} is colour type {header.colour_type}, {header.depth} bits, not RGBA")
    if kind == "indexed":
        plte = bodies.get("PLTE", b"")
        entries = [tuple(plte[i : i + 3]) for i in range(0, len(plte), 3)]
        if (header.colour_type, header.depth) != (3, 8) or entries != PALETTE:
            suite.problems.append(f"{where}: {name} is colour type {header.colour_type}, {header.depth} bits, with "
                                  f"{len(entries)} PLTE entries{'' if entries == PALETTE[:len(entries)] else ' not ours'};"
                                  " expected 8-bit indices and the 256 palette colours")
        alpha = list(bodies.get("tRNS", b""))
        clear = {i: a for i, a in enumerate(alpha) if a != 255}
        holes = any(p == t.TRANSPARENT for row in rows for p in row)
        used = {p for row in rows for p in row}
        fine = len(clear) == 1 and set(clear.values()) == {0} and not used & set(clear) if holes else not clear
        if not fine:
            suite.problems.append(f"{where}: {name}: tRNS gives indices {clear} (index: alpha), expected "
                                  + ("alpha 0 on one unused index" if holes else "no transparent entry"))
    pixels = suite.imagemagick_pixels(name, where)
    if pixels is not None:
        t.compare_images(seen(pixels), colours(rows), f"{where}: ImageMagick reading {name}", suite.problems)


def unpacked(suite, where, *args):
    """Builds sprites.til and unpacks it into out/; the file names there, or None."""
    result = suite.build_rows("sprites", SCENES, "tesspack build")
    result = result and suite.pack("unpack", "sprites.til", "-o", "out", *args, where=where)
    if result:
        if "full_0_0.xpm" not in result.stderr.decode("latin-1"):
            suite.problems.append(f"{where}: no note that full_0_0 is an XPM: {t.describe(result)}")
        return sorted(os.listdir(suite.path("out")))
    return None


def expect_files(suite, files, expected, where):
    if files is not None and files != sorted(expected):
        suite.problems.append(f"{where}: wrote {files}, expected {sorted(expected)}")
    return files == sorted(expected)


def full_as_xpm(suite, where):
    """The image that uses all 256 indices and transparency: an XPM with those pixels."""
    rows = SCENES[2][2][0]
    suite.check_decoded("out/full_0_0.xpm", t.padded(rows), f"{where}: full_0_0.xpm")


def images(suite):
    files = unpacked(suite, "tesspack unpack")
    names = {f"{scene}_{k // frames}_{k % frames}": rows for scene, frames, all_rows in SCENES
             for k, rows in enumerate(all_rows)}
    if not expect_files(suite, files, [n + (".xpm" if n == "full_0_0" else ".png") for n in names] + ["sprites.toml"],
                        "tesspack unpack"):
        return
    for name, rows in names.items():
        if name != "full_0_0":
            check_png(suite, f"out/{name}.png", t.padded(rows), "tesspack unpack")
    full_as_xpm(suite, "tesspack unpack")


def sheets(suite):
    where = "tesspack unpack --sheets"
    files = unpacked(suite, where, "--sheets")
    # full: all 256 indices and transparency; sizes: images of two heights. One file an image.
    expected = ["every_sheet.png", "holes_sheet.png", "full_0_0.xpm", "full_1_0.png", "sizes_0_0.png",
                "sizes_1_0.png", "sprites.toml"]
    if not expect_files(suite, files, expected, where):
        return
    for scene, frames, all_rows in SCENES:
        if scene in ("every", "holes"):
            check_png(suite, f"out/{scene}_sheet.png", t.sheet_rows(all_rows, frames, t.SPRITE_VIEWS), where)
        else:
            for view, rows in enumerate(all_rows):
                if (scene, view) != ("full", 0):
                    check_png(suite, f"out/{scene}_{view}_0.png", t.padded(rows), where)
    full_as_xpm(suite, where)


def preview(suite):
    """Every scene's sheet stacked, scaled 2 x 2, an RGBA PNG on a transparent ground."""
    if not (suite.build_rows("sprites", SCENES, "tesspack build")
            and suite.pack("preview", "sprites.til", "-o", "p.png", "--scale", "2", where="tesspack preview")):
        return
    width = max(frames for _, frames, _ in SCENES) * t.WIDTH
    rows = [row for _, frames, images in SCENES for row in t.sheet_rows(images, frames, t.SPRITE_VIEWS, width)]
    scaled = [[p for p in row for _ in range(2)] for row in rows for _ in range(2)]
    check_png(suite, "p.png", scaled, "tesspack preview --scale 2", kind="rgba")


def palette_files(suite):
    """.gpl, .act, .hex and .png against their layouts and the palette."""
    if PALETTE != t.PALETTE:
        suite.problems.append("the C++ palette table and the tests' copy differ")
    for name in ("p.gpl", "p.act", "p.hex", "p.png"):
        if not suite.pack("palette", "-o", name, where=f"tesspack palette -o {name}"):
            return
    with open(suite.path("p.gpl"), encoding="latin-1") as f:
        lines = f.read().splitlines()
    at = 2 + (len(lines) > 2 and lines[2].startswith("Columns: "))
    while at < len(lines) and lines[at].startswith("#"):
        at += 1
    entries = [re.fullmatch(r"\s*(\d+)\s+(\d+)\s+(\d+)(?:\s+\S.*)?", line) for line in lines[at:]]
    if lines[:1] != ["GIMP Palette"] or not lines[1].startswith("Name: ") or not all(entries) \
            or [tuple(int(v) for v in e.groups()[:3]) for e in entries] != PALETTE:
        suite.problems.append("p.gpl: not a GIMP palette of the 256 colours: " + " | ".join(lines[:6]))
    with open(suite.path("p.act"), "rb") as f:
        act = f.read()
    if act != bytes(v for entry in PALETTE for v in entry):
        suite.problems.append(f"p.act: {len(act)} bytes, not the 768 of the palette's RGB triples")
    with open(suite.path("p.hex"), encoding="latin-1") as f:
        lines = f.read().splitlines()
    if not all(re.fullmatch(r"[0-9a-fA-F]{6}", line) for line in lines) or t.read_hex_palette(suite.path("p.hex")) != PALETTE:
        suite.problems.append(f"p.hex: not 256 lines of RRGGBB with the palette: {lines[:3]}")
    check_png(suite, "p.png", [list(range(y * 16, y * 16 + 16)) for y in range(16)], "tesspack palette -o p.png", kind=None)


CASES = {"images": images, "sheets": sheets, "preview": preview, "palette_files": palette_files}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, ["convert", "pngcheck"], CASES, needs_tesspack=True))
