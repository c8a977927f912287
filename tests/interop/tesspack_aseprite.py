#!/usr/bin/env python3
"""The .aseprite files `tesspack unpack --format aseprite` writes, read by an
independent reader: the npm package ase-parser, run under Node.js. NODE_PATH
must reach it (.ci/run installs it); without it the cases are skipped.

The sprite scenes made here (every index, transparency, images of different
heights, an image of all 256 indices) are built, unpacked as .aseprite files
and read back: each file's canvas is 64 wide and as high as its scene's
tallest image, indexed, with the palette's 256 colours in order and an unused
duplicate black (or, where the scene paints them all, the highest unused
index) as its transparent index; it has a frame an image, view by
view, a tag a view, and each frame one cel at 0, 0 whose pixels are the
image's indices, the transparent index where the image is clear. The scene
that uses all 256 indices stays one PNG an image, with a note. The manifest
written beside them builds the same tile file again.
"""

import json
import os
import shutil
import subprocess
import sys

import interop_support as t

PALETTE = t.header_palette()
SCENES = t.sprite_scenes()

# Reads each file named on the command line and prints what ase-parser makes of it.
READER = r"""
const fs = require('fs');
const Aseprite = require('ase-parser');
const out = {};
for (const name of process.argv.slice(1)) {
  const ase = new Aseprite(fs.readFileSync(name), name);
  ase.parse();
  out[name] = {
    width: ase.width, height: ase.height, depth: ase.colorDepth, clear: ase.paletteIndex,
    tags: ase.tags.map(t => [t.name, t.from, t.to]),
    palette: ase.palette.colors.map(c => [c.red, c.green, c.blue]),
    frames: ase.frames.map(f => f.cels.map(c => ({x: c.xpos, y: c.ypos, w: c.w, h: c.h, pixels: Array.from(c.rawCelData)}))),
  };
}
process.stdout.write(JSON.stringify(out));
"""


def have_reader():
    if not shutil.which("node"):
        return False
    result = subprocess.run(["node", "-e", "require('ase-parser')"], capture_output=True)
    return result.returncode == 0


def unpacked(suite):
    if not have_reader():
        print("skipped: Node.js with ase-parser not found (NODE_PATH)")
        sys.exit(t.SKIP)
    where = "unpack --format aseprite"
    if not suite.build_rows("sprites", SCENES, "tesspack build"):
        return
    result = suite.pack("unpack", "sprites.til", "-o", "out", "--format", "aseprite", where=where)
    if not result:
        return
    # A scene of all 256 indices leaves none for transparency: it stays PNGs.
    names = {}
    for n, (scene, _, images) in enumerate(SCENES):
        if len({i for rows in images for row in rows for i in row} - {t.TRANSPARENT}) < 256:
            names[scene] = f"{scene}.aseprite"
        elif f"scene {n}: one PNG an image, not an .aseprite file".encode() not in result.stderr:
            suite.problems.append(f"{where}: no note that scene {n}, of all 256 indices, stays PNGs: {t.describe(result)}")
    if len(names) < 2:
        suite.problems.append(f"{where}: only {sorted(names)} as .aseprite files: the case tests too little")
    read = subprocess.run(["node", "-e", READER, *names.values()], cwd=suite.path("out"), capture_output=True)
    if read.returncode != 0:
        suite.problems.append(f"{where}: ase-parser cannot read the files: {read.stderr.decode()[:300]}")
        return
    files = json.loads(read.stdout)
    for scene, frames, images in SCENES:
        if scene not in names:
            continue
        name, got = names[scene], files[names[scene]]
        tallest = max(len(rows) for rows in images)
        if (got["width"], got["height"], got["depth"]) != (t.WIDTH, max(tallest, 1), 8):
            suite.problems.append(f"{name}: {got['width']} x {got['height']} at {got['depth']} bits, expected 64 x {tallest} indexed")
        if [tuple(c) for c in got["palette"]] != list(PALETTE):
            suite.problems.append(f"{name}: the palette is not the 256 palette colours in order")
        clear = got["clear"]
        # As the unpacked PNGs choose theirs: an unused duplicate black, 254 down to 240, else the highest unused.
        used = {i for rows in images for row in rows for i in row}
        unused = [i for i in list(range(254, 239, -1)) + list(range(255, -1, -1)) if i not in used]
        if clear != unused[0]:
            suite.problems.append(f"{name}: transparent index {clear}, expected {unused[0]}")
        wanted_tags = [[f"view {v}", v * frames, (v + 1) * frames - 1] for v in range(t.SPRITE_VIEWS)]
        if got["tags"] != wanted_tags:
            suite.problems.append(f"{name}: tags {got['tags']}, expected {wanted_tags}")
        if len(got["frames"]) != len(images):
            suite.problems.append(f"{name}: {len(got['frames'])} frames, expected {len(images)}")
            continue
        for k, (cels, rows) in enumerate(zip(got["frames"], images)):
            expected = [clear if i == t.TRANSPARENT else i for row in rows for i in row + [t.TRANSPARENT] * (t.WIDTH - len(row))]
            shown = [] if not cels else cels[0]
            if not rows:
                if cels:
                    suite.problems.append(f"{name} frame {k}: a cel for an image of no rows")
                continue
            if len(cels) != 1 or (shown["x"], shown["y"], shown["w"], shown["h"]) != (0, 0, t.WIDTH, len(rows)):
                suite.problems.append(f"{name} frame {k}: cels {[(c['x'], c['y'], c['w'], c['h']) for c in cels]}, "
                                      f"expected one at 0, 0 of 64 x {len(rows)}")
                continue
            if shown["pixels"] != expected:
                differ = sum(a != b for a, b in zip(shown["pixels"], expected))
                suite.problems.append(f"{name} frame {k}: {differ} pixels differ from the image's indices")
    if suite.pack("build", "out/sprites.toml", "-o", "again.til", where=f"{where}, then build"):
        with open(suite.path("again.til"), "rb") as a, open(suite.path("sprites.til"), "rb") as b:
            if a.read() != b.read():
                suite.problems.append(f"{where}: the manifest builds other bytes than sprites.til")


CASES = {"unpacked": unpacked}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, [], CASES, needs_tesspack=True))
