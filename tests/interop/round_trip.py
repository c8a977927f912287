#!/usr/bin/env python3
"""A picture survives tessdec -> ImageMagick PNG -> ImageMagick XPM -> tessenc -> tessdec.

A tile file made by tessenc is decoded; convert turns the XPM into a PNG and
the PNG into a new XPM, in its own way (names such as "green" or "gray50",
None last, keys of its choosing); tessenc encodes that under the same type
and tessdec decodes it. Both decoded pictures must be the same, pixel for
pixel: the same colours, transparent in the same places. Every colour on the
way is a palette colour, so nothing may move to a neighbouring entry.
"""

import sys

import interop_support as t


def picture_colours(suite, xpm_name, where):
    """A decoded XPM as rows of (r, g, b) and TRANSPARENT, or None."""
    try:
        xpm = t.read_xpm(suite.path(xpm_name))
    except (t.XpmError, ValueError) as e:
        suite.problems.append(f"{where}: cannot read {xpm_name}: {e}")
        return None
    pixels = t.decoded_pixels(xpm, where, suite.problems)
    return [[p if p == t.TRANSPARENT else t.PALETTE[p] for p in row] for row in pixels]


def round_trip(suite, pic, kind):
    where = f"{pic.name} under {kind}"
    t.write_xpm(pic, suite.path(pic.name + ".xpm"))
    til = suite.encode(pic.name + ".xpm", kind)
    first = til and suite.decode(til, where=where)
    if not first:
        return
    png, again = pic.name + "_png.png", pic.name + "_again.xpm"
    for command in (["convert", first, png], ["convert", png, again]):
        result = t.run(command, suite.folder)
        if result.returncode != 0:
            suite.problems.append(f"{where}: {t.describe(result)}")
            return
    til = suite.encode(again, kind)
    second = til and suite.decode(til, where=f"{where}, again")
    if not second:
        return
    before = picture_colours(suite, first, where)
    after = picture_colours(suite, second, f"{where}, again")
    if before is not None and after is not None:
        t.compare_images(after, before, f"{where}: {second} against {first}", suite.problems)


def pictures(suite):
    names = t.ColourNames()
    round_trip(suite, t.noise("holes", 64, 30, seed=31, holes=0.3), "L4")
    round_trip(suite, t.gradient("tall", 50, 255, holes=True), "L2")
    if names.path:
        round_trip(suite, t.swatches("named", t.x11_colours(names)[:256]), "L3")
    round_trip(suite, t.noise("clear", 3, 2, seed=33, holes=1.0), "L1")


CASES = {"pictures": pictures}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, ["convert"], CASES))
