#!/usr/bin/env python3
"""XPMs written by ImageMagick go through tessenc and tessdec with the right colours,
and ImageMagick reads the XPMs tessdec writes back with those colours.

Pictures are made here (noise, ramps, transparency, X11-named colours) or by
ImageMagick's own generators, written as XPM by `convert`, and encoded under
L1 to L4. Every decoded pixel must be the palette entry nearest to the colour
ImageMagick wrote for it, transparent where it wrote None, and transparent
beyond the picture's width up to 64. Then `convert` reads each decoded XPM:
the same palette colours, alpha 0 exactly where transparent.
"""

import sys

import interop_support as t

WRITERS = {"ppm": t.write_ppm, "pam": t.write_pam, "png": t.write_png}


def through_imagemagick(suite, names, inputs, xpm):
    """convert INPUTS... XPM, then the round through tessenc and tessdec under
    each type, then convert reading the four XPMs tessdec wrote."""
    result = t.run(["convert", *inputs, xpm], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"cannot make the test picture: {t.describe(result)}")
        return
    source = "convert " + " ".join(inputs)
    decoded = list(suite.encode_each_type(source, xpm, names))
    if not decoded:
        return
    result = t.run(["convert", *(name for _, name, _ in decoded), "-depth", "8", "pam:-"], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"ImageMagick cannot read tessdec's XPMs of {xpm}: {t.describe(result)}")
        return
    seen = t.read_pam_stream(result.stdout)
    if len(seen) != len(decoded):
        suite.problems.append(f"ImageMagick read {len(seen)} pictures of {xpm}, expected {len(decoded)}")
        return
    for (_, name, expected), picture in zip(decoded, seen):
        got = [[t.TRANSPARENT if a == 0 else (r, g, b, a) for r, g, b, a in row] for row in picture.pixels]
        want = [[w if w in (t.TRANSPARENT, None) else t.PALETTE[w] + (255,) for w in row] for row in expected]
        t.compare_images(got, want, f"convert reading {name}", suite.problems)


def own_pictures(suite):
    """Pictures written here as PPM, PAM and PNG."""
    names = t.ColourNames()
    for form, pic in [
        # More than 256 colours, which convert reduces, and alpha: 0, 255 and between.
        ("pam", t.noise("holes", 64, 40, seed=2, holes=0.3)),
        ("png", t.gradient("band", 37, 50, holes=True)),
    ]:
        source = f"{pic.name}.{form}"
        WRITERS[form](pic, suite.path(source))
        through_imagemagick(suite, names, [source], pic.name + ".xpm")


def named_colours(suite):
    """Every X11 colour, at most 256 a picture so that convert keeps them exact
    and writes their names (black, gray50, LightBlue, ...)."""
    names = t.ColourNames()
    if not names.path:
        suite.notes.append("no X11 rgb.txt: nothing to test")
        return
    colours = t.x11_colours(names)
    for n, start in enumerate(range(0, len(colours), 256)):
        pic = t.swatches(f"named{n}", colours[start : start + 256])
        t.write_ppm(pic, suite.path(pic.name + ".ppm"))
        through_imagemagick(suite, names, [pic.name + ".ppm"], pic.name + ".xpm")


def generated(suite):
    """ImageMagick's own pictures."""
    names = t.ColourNames()
    through_imagemagick(suite, names, ["-size", "64x255", "gradient:#102030-#f0e0d0"], "gradient.xpm")
    through_imagemagick(suite, names, ["-size", "48x48", "radial-gradient:white-#00000000"], "radial.xpm")


CASES = {"own_pictures": own_pictures, "named_colours": named_colours, "generated": generated}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, ["convert"], CASES))
