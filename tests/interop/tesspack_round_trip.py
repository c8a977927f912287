#!/usr/bin/env python3
"""tesspack build -> unpack -> build gives the same bytes, and other encoders'
files the same pixels.

A tile file built from XPMs of palette indices (every index, 240-255 too,
transparency, a last row all clear, images 255, 1 and 0 high, a scene with no
frames and one whose name is not UTF-8, revision 3) is unpacked as PNGs, as
XPMs and as sheets, and each manifest unpack wrote builds the very same bytes;
`tesspack verify` calls them byte-identical. examples/knight.til, written by
an encoder that leaves transparent runs at rows' ends, is pixel-identical;
built again from its unpacked PNGs it decodes, by tessdec and by tesspack, to
the images tessdec finds in the original.
"""

import glob
import os
import shutil
import sys

import interop_support as t

KNIGHT = os.path.join(t.SOURCE_ROOT, "examples", "knight.til")


def verify_says(suite, til, wanted):
    result = suite.pack("verify", til, where=f"tesspack verify {til}")
    said = result and result.stdout.decode("latin-1").strip()
    if result and not said.startswith(wanted):
        suite.problems.append(f"tesspack verify {til} says {said!r}, expected {wanted}")


def generated(suite):
    scenes = t.sprite_scenes(seed=11) + [(b"\xc8A /", 0, []), ("empty", 1, [[], [[5, t.TRANSPARENT, 7]]])]
    if not suite.build_rows("sprites", scenes, "tesspack build", revision=3):
        return
    verify_says(suite, "sprites.til", "byte-identical")
    with open(suite.path("sprites.til"), "rb") as f:
        original = f.read()
    for form, args in [("png", ["--format", "png"]), ("xpm", ["--format", "xpm"]), ("sheets", ["--sheets"])]:
        where = f"unpack {' '.join(args)}, build"
        if suite.pack("unpack", "sprites.til", "-o", form, *args, where=where) and \
                suite.pack("build", f"{form}/sprites.toml", where=where):
            with open(suite.path(f"{form}/sprites.til"), "rb") as f:
                again = f.read()
            if again != original:
                at = next((i for i, (a, b) in enumerate(zip(again, original)) if a != b), min(len(again), len(original)))
                suite.problems.append(f"{where}: {len(again)} bytes against {len(original)}, first difference at {at}")


def tessdec_images(suite, til, where):
    """tessdec's XPMs of a tile file, by <scene>_<view>_<frame>, as rows of indices."""
    if not suite.decode(til, scene="idle", where=where):
        return {}
    prefix = suite.path(til[:-4]) + "_"
    return {path[len(prefix) : -4]: t.decoded_pixels(t.read_xpm(path), where, suite.problems)
            for path in sorted(glob.glob(prefix + "*.xpm"))}


def knight(suite):
    shutil.copyfile(KNIGHT, suite.path("knight.til"))
    verify_says(suite, "knight.til", "pixel-identical")
    want = tessdec_images(suite, "knight.til", "tessdec knight.til")
    if not (suite.pack("unpack", "knight.til", "-o", "first", where="unpack knight.til")
            and suite.pack("build", "first/knight.toml", where="build the unpacked knight")):
        return
    verify_says(suite, "first/knight.til", "byte-identical")
    again = tessdec_images(suite, "first/knight.til", "tessdec on the rebuilt knight")
    if not suite.pack("unpack", "first/knight.til", "-o", "second", "--format", "xpm", where="unpack the rebuilt knight"):
        return
    if sorted(again) != sorted(want) or not want:
        suite.problems.append(f"the rebuilt knight holds images {sorted(again)}, the original {sorted(want)}")
    for name, rows in want.items():
        t.compare_images(again.get(name, []), rows, f"tessdec on the rebuilt knight, {name}", suite.problems)
        suite.check_decoded(f"second/{name}.xpm", rows, f"tesspack unpack of the rebuilt knight, {name}")


CASES = {"generated": generated, "knight": knight}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, [], CASES, needs_tesspack=True))
