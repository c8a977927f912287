#!/usr/bin/env python3
"""Every XPM tessdec writes passes libXpm's checker, cxpm.

Tile files are made by tessenc from pictures ppmtoxpm writes (noise with a
mask, the largest image, a single column, an opaque picture whose None colour
goes unused) and from one ImageMagick writes, under L1 to L4, and tessdec is run on them by relative and by
absolute path (its XPM's array name then holds the folder). The bundled
example tile files, with several scenes, views and frames, are decoded too.
Scene names become part of the file and array names: names with blanks and
punctuation must still give XPMs that libXpm, and tessenc itself, read.
"""

import glob
import os
import shutil
import sys

import interop_support as t

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")


def cxpm_accepts(suite, xpm_path, where):
    result = t.run(["cxpm", xpm_path], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"{where}: cxpm refuses {xpm_path}: {t.describe(result)}")
        return False
    return True


def tile_from_ppmtoxpm(suite, pic, kind, scene="s"):
    """pic written by ppmtoxpm (masked where transparent), encoded by tessenc."""
    t.write_ppm(pic, suite.path(pic.name + ".ppm"))
    t.write_alpha_pgm(pic, suite.path(pic.name + ".pgm"))
    result = t.run(["ppmtoxpm", "-hexonly", f"-alphamask={pic.name}.pgm", pic.name + ".ppm"], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"cannot make the test picture: {t.describe(result)}")
        return None
    xpm = f"{pic.name}_{kind}.xpm"
    with open(suite.path(xpm), "wb") as f:
        f.write(result.stdout)
    return suite.encode(xpm, kind, scene)


def decoded(suite):
    for n, pic in enumerate([
        t.noise("noise", 64, 40, seed=21, holes=0.2),
        t.gradient("tall", 64, 255, holes=True),
        t.noise("narrow", 1, 2, seed=22),
        t.gradient("opaque", 17, 3),
    ]):
        for kind in t.TYPES:
            til = tile_from_ppmtoxpm(suite, pic, kind)
            if not til:
                continue
            # Alternate relative and absolute paths: the array name follows the path.
            name = til if (n + len(kind)) % 2 else suite.path(til)
            xpm = suite.decode(name, where=f"{pic.name} {kind}")
            if xpm:
                cxpm_accepts(suite, xpm, f"{pic.name} {kind}")

    examples = sorted(glob.glob(os.path.join(EXAMPLES, "*.til")))
    if not examples:
        suite.notes.append(f"no example tile files in {EXAMPLES}")
    for til in examples:
        shutil.copy(til, suite.folder)
        name = os.path.basename(til)
        before = set(os.listdir(suite.folder))
        result = t.run([suite.tessdec, name], suite.folder)
        if result.returncode != 0:
            suite.problems.append(f"example {name}: {t.describe(result)}")
            continue
        written = sorted(set(os.listdir(suite.folder)) - before)
        if not written:
            suite.problems.append(f"example {name}: tessdec wrote no XPM")
        for xpm in written:
            cxpm_accepts(suite, xpm, f"example {name}")


def imagemagick_tiles(suite):
    """Tile files made from XPMs ImageMagick writes (alpha, more than 256 colours)."""
    pic = t.noise("magick", 64, 40, seed=24, holes=0.3)
    t.write_pam(pic, suite.path("magick.pam"))
    result = t.run(["convert", "magick.pam", "magick.xpm"], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"cannot make the test picture: {t.describe(result)}")
        return
    for kind in t.TYPES:
        shutil.copyfile(suite.path("magick.xpm"), suite.path(f"magick_{kind}.xpm"))
        til = suite.encode(f"magick_{kind}.xpm", kind)
        xpm = til and suite.decode(til, where=f"magick {kind}")
        if xpm:
            cxpm_accepts(suite, xpm, f"convert magick.pam magick.xpm, tessenc {kind}")


def readable_with_scene(suite, scene):
    """The decoded XPM for a scene name passes cxpm, and tessenc reads it back."""
    pic = t.noise("named", 6, 2, seed=23, holes=0.3)
    til = tile_from_ppmtoxpm(suite, pic, "L2", scene)
    xpm = til and suite.decode(til, scene, where=f"scene name {scene!r}")
    if not xpm:
        return
    if cxpm_accepts(suite, xpm, f"scene name {scene!r}"):
        shutil.copyfile(suite.path(xpm), suite.path("again.xpm"))
        suite.encode("again.xpm", "L2")


def scene_names(suite):
    for scene in ["two words", "a-b+c", "back\\slash", "star*", "br{ace}", "semi;colon", "x" * 30]:
        readable_with_scene(suite, scene)


def quote_in_scene_name(suite):
    readable_with_scene(suite, 'say "hi"')


CASES = {
    "decoded": (decoded, ["ppmtoxpm"]),
    "imagemagick_tiles": (imagemagick_tiles, ["convert"]),
    "scene_names": (scene_names, ["ppmtoxpm"]),
    "quote_in_scene_name": (quote_in_scene_name, ["ppmtoxpm"]),
}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, ["cxpm"], CASES))
