#!/usr/bin/env python3
"""XPMs written by netpbm's ppmtoxpm go through tessenc and tessdec with the right colours.

ppmtoxpm keeps every colour (hundreds here, so two characters a pixel),
marks pixels transparent from a mask given with -alphamask, writes 16-bit
pictures with twelve hex digits, and names colours from a colour dictionary:
X11's rgb.txt with -rgb (names such as "light goldenrod yellow"), or by
default netpbm's own, some of whose names X11 does not know (BlueLight) or
gives another colour (netpbm names 29AB97 Aquamarine, which is 7FFFD4 in X11).
Every decoded pixel must be the palette entry nearest to the colour the XPM
states, read as X11 reads it; a file naming a colour X11 does not know must
be refused, naming that colour, as ImageMagick refuses it.
"""

import os
import sys

import interop_support as t

NETPBM_DICTIONARY = "/usr/share/netpbm/rgb.txt"


def ppmtoxpm(suite, pic, options=(), mask=False):
    """Writes pic as PPM and has ppmtoxpm turn it into pic.name + ".xpm";
    returns the PPM's name, or None."""
    ppm, xpm = pic.name + ".ppm", pic.name + ".xpm"
    t.write_ppm(pic, suite.path(ppm))
    command = ["ppmtoxpm", *options]
    if mask:
        t.write_alpha_pgm(pic, suite.path(pic.name + "_mask.pgm"))
        command.append(f"-alphamask={pic.name}_mask.pgm")
    result = t.run(command + [ppm], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"cannot make the test picture: {t.describe(result)}")
        return None
    with open(suite.path(xpm), "wb") as f:
        f.write(result.stdout)
    return ppm


def encode_and_check(suite, pic, names, options=(), mask=False, kinds=t.TYPES):
    source = ppmtoxpm(suite, pic, options, mask)
    if source:
        label = " ".join(["ppmtoxpm", *options] + ([f"-alphamask={pic.name}_mask.pgm"] if mask else []) + [source])
        for _ in suite.encode_each_type(label, pic.name + ".xpm", names, kinds):
            pass


def pictures(suite):
    names = t.ColourNames()
    x11 = [f"-rgb={names.path}"] if names.path else ["-hexonly"]
    # Hundreds of colours, two characters a pixel, hex only.
    encode_and_check(suite, t.noise("noise", 40, 20, seed=11), names, ["-hexonly"])
    # The largest image, a mask with about a third transparent, 400 colours.
    encode_and_check(suite, t.noise("masked", 64, 255, seed=12, colours=400, holes=0.3), names, ["-hexonly"], True)
    # Narrow and short ramps; greys named from X11's dictionary where there is one.
    encode_and_check(suite, t.gradient("column", 1, 255), names, x11)
    encode_and_check(suite, t.gradient("line", 64, 1, holes=True), names, x11, mask=True)
    # 16-bit channels: #RRRRGGGGBBBB.
    encode_and_check(suite, t.deep("deep", 24, 16, seed=14), names)


def x11_dictionary(suite):
    """Every X11 colour, named from X11's own dictionary (some names have blanks)."""
    names = t.ColourNames()
    if not names.path:
        suite.notes.append("no X11 rgb.txt: nothing to test")
        return
    encode_and_check(suite, t.swatches("x11_names", t.x11_colours(names)), names, [f"-rgb={names.path}"])


def netpbm_dictionary(suite):
    """Netpbm's own dictionary on the colours it names: the names X11 lacks
    make tessenc stop with "unknown colour name"; a picture of only the other
    colours is encoded like any other, each name read the X11 way."""
    names = t.ColourNames()
    if not names.path or not os.path.exists(NETPBM_DICTIONARY):
        suite.notes.append(f"needs X11 rgb.txt and {NETPBM_DICTIONARY}: nothing to test")
        return
    colours = []
    with open(NETPBM_DICTIONARY, encoding="latin-1") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 4 and not line.startswith("#"):
                rgb = tuple(int(v) for v in parts[:3])
                if rgb not in colours:
                    colours.append(rgb)
    pic = t.swatches("netpbm_names", colours)
    if not ppmtoxpm(suite, pic):
        return
    xpm = t.read_xpm(suite.path(pic.name + ".xpm"))
    foreign_name = {}  # colour -> the name ppmtoxpm gave it, for names X11 lacks
    for row, pixels in zip(xpm.rows, pic.pixels):
        for key, pixel in zip(row, pixels):
            text = xpm.colours[key]
            if not text.startswith("#") and not names.known_to_x11(text):
                foreign_name[pixel[:3]] = text
    if not foreign_name:
        suite.notes.append("ppmtoxpm wrote no name that X11 lacks: the refusal is not tested")
    else:
        result = t.run([suite.tessenc, "L2", pic.name + ".xpm"], suite.folder, b"s\n")
        last_line = result.stdout.decode("latin-1").rstrip("\n").rsplit("\n", 1)[-1]
        prefix = "error: unknown colour name "
        if result.returncode == 0 or not (last_line.startswith(prefix)
                                          and last_line[len(prefix):] in foreign_name.values()):
            some = ", ".join(sorted(set(foreign_name.values()))[:4])
            suite.problems.append(f"{pic.name}.xpm names colours X11 lacks ({some}, ...): expected a refusal "
                                  f"naming one of them, got {t.describe(result)}")

    pic = t.swatches("netpbm_x11_names", [rgb for rgb in colours if rgb not in foreign_name])
    if ppmtoxpm(suite, pic):
        xpm = t.read_xpm(suite.path(pic.name + ".xpm"))
        renamed = sorted({f"{xpm.colours[key]} for {pixel[0]:02X}{pixel[1]:02X}{pixel[2]:02X}"
                          for row, pixels in zip(xpm.rows, pic.pixels) for key, pixel in zip(row, pixels)
                          if not xpm.colours[key].startswith("#") and names(xpm.colours[key]) != pixel[:3]})
        if renamed:
            suite.notes.append(f"ppmtoxpm gives {len(renamed)} colours a name X11 reads as another colour, "
                               f"e.g. {', '.join(renamed[:3])}")
        for _ in suite.encode_each_type(f"ppmtoxpm {pic.name}.ppm", pic.name + ".xpm", names, ("L1", "L3")):
            pass


def one_colour(suite):
    """Pictures of one colour, opaque or masked everywhere: ppmtoxpm writes them
    with zero characters a pixel ("9 4 1 0", rows ""). A tile pixel needs a
    key of 1 to 15 characters, so tessenc refuses them with a clear message
    rather than guessing."""
    for pic, mask in ((t.picture("solid", 9, 4, lambda x, y: (16, 32, 48, 255)), False),
                      (t.noise("clear", 9, 4, seed=13, holes=1.0), True)):
        if not ppmtoxpm(suite, pic, mask=mask):
            continue
        result = t.run([suite.tessenc, "L2", pic.name + ".xpm"], suite.folder, b"s\n")
        expected = "error: characters per pixel 0 is outside 1 to 15\n"
        if result.returncode != len(expected) or not result.stdout.decode("latin-1").endswith(expected):
            suite.problems.append(f"{pic.name}.xpm: expected the refusal {expected!r}, got {t.describe(result)}")


CASES = {
    "pictures": pictures,
    "x11_dictionary": x11_dictionary,
    "netpbm_dictionary": netpbm_dictionary,
    "one_colour": one_colour,
}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, ["ppmtoxpm"], CASES))
