#!/usr/bin/env python3
"""PNGs that ImageMagick writes, of every colour type, go through `tesspack build`
with the colours the rules give.

Each picture is made here, written by `convert` as one kind of PNG (RGB, RGBA
with alpha 0, 255 and between, grey, grey and alpha, 16 bits, indexed with a
palette of its own, interlaced), built by tesspack from a manifest of one
image and read back through `tesspack unpack --format xpm`. Every pixel must be
what the rules make of the colour ImageMagick reads from that PNG: alpha below
128 transparent, else the nearest entry of the palette `tesspack palette`
writes, the lowest index on a tie; transparent beyond the picture up to 64.
A strict manifest refuses a colour off the palette and a partly transparent
pixel, naming where.
"""

import random
import re
import sys

import interop_support as t


def palette(suite):
    if not suite.pack("palette", "-o", "pal.hex", where="tesspack palette"):
        return None
    return tuple(t.read_hex_palette(suite.path("pal.hex")))


def written(suite, pic, options, header):
    """pic written here as PAM, then by convert with `options` (the last one
    the output's prefix) as pic.name.png; checks convert wrote the PNG of
    header = (colour type, bit depth or None, interlace). Its name, or None."""
    t.write_pam(pic, suite.path(pic.name + ".pam"))
    png = pic.name + ".png"
    result = t.run(["convert", pic.name + ".pam", *options[:-1], options[-1] + png], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"cannot make the test picture: {t.describe(result)}")
        return None
    with open(suite.path(png), "rb") as f:
        got = t.png_header(t.png_chunks(f.read()))
    colour_type, depth, interlace = header
    if (got.colour_type, got.interlace) != (colour_type, interlace) or depth not in (None, got.depth):
        suite.problems.append(f"{png}: convert {' '.join(options)} wrote {got}, not {header}: the case tests nothing")
        return None
    return png


def built_and_read_back(suite, png, expected, where, args=(), **settings):
    """Builds a tile file of the one PNG and compares its unpacked XPM with `expected`."""
    stem = png[:-4]
    if suite.build(stem, [("s", 1, [png])], where, args=args, **settings):
        out = stem + "_out"
        if suite.pack("unpack", stem + ".til", "-o", out, "--format", "xpm", where=where):
            return suite.check_decoded(f"{out}/s_0_0.xpm", expected, where)
    return None


def case(pic, options, header, metric="L2"):
    def run_case(suite):
        png = written(suite, pic, options, header)
        entries = png and palette(suite)
        # 16-bit samples become 8 by keeping their high byte (v >> 8), as
        # libspng reduces them; ImageMagick's own -depth 8 rounds differently.
        pixels = entries and suite.imagemagick_pixels(png, png, depth=16 if pic.maxval > 255 else 8)
        if not pixels:
            return
        expected = t.index_rows(pixels, entries, metric)
        if metric != "L2" and expected == t.index_rows(pixels, entries, "L2"):
            suite.problems.append(f"{png}: {metric} and L2 agree on every pixel: the case tests nothing")
        args = ["--metric", metric] if metric != "L2" else []
        built_and_read_back(suite, png, expected, f"{png} ({' '.join(options)}) {metric}", args)

    return run_case


def deep_alpha(name, width, height, seed, exact=False):
    """16-bit RGBA; exact: every value a multiple of 257, which any 16 to 8 bit
    reduction takes to the same 8 bits."""
    rng = random.Random(seed)
    alphas = (0, 255, 32639, 32767, 32768, 32896, 40000, 65535, 65535, 65535)

    def at(x, y):
        if exact:
            return tuple(rng.randrange(256) * 257 for _ in range(3)) + (rng.choice((0, 127, 128, 255, 255)) * 257,)
        return tuple(rng.randrange(65536) for _ in range(3)) + (rng.choice(alphas),)

    return t.picture(name, width, height, at, maxval=65535)


def palette_picture(name, width, height, seed):
    """Palette colours only (duplicates included), alpha 0 or 255: what strict takes."""
    rng = random.Random(seed)
    return t.picture(name, width, height,
                     lambda x, y: t.PALETTE[rng.randrange(256)] + (0 if rng.random() < 0.2 else 255,))


def strict(suite):
    """A strict manifest takes palette colours at alpha 0 and 255, and refuses
    a colour off the palette or a partly transparent pixel, saying where."""
    entries = palette(suite)
    pic = palette_picture("exact", 64, 12, seed=41)
    png = entries and written(suite, pic, ["PNG32:"], (6, 8, 0))
    if png:
        expected = t.index_rows(pic.pixels, entries, "L2")
        built_and_read_back(suite, png, expected, "strict, palette colours", strict=True)
    for name, x, y, rgba in [
        ("off_palette", 37, 5, (1, 2, 3, 255)),
        ("half_opaque", 12, 9, t.PALETTE[5] + (200,)),
        ("half_clear", 63, 0, t.PALETTE[5] + (100,)),
    ]:
        bad = palette_picture(name, 64, 12, seed=41)
        bad.pixels[y][x] = rgba
        bad.pixels[11][60] = rgba  # a later one, not the one to name
        png = written(suite, bad, ["PNG32:"], (6, 8, 0))
        result = png and suite.build(name, [("s", 1, [png])], f"strict, {name}", status=1, strict=True)
        if not result:
            continue
        message = result.stderr.decode("latin-1")
        if not (re.search(rf"\bx\W{{0,3}}{x}\b", message) and re.search(rf"\by\W{{0,3}}{y}\b", message)):
            suite.problems.append(f"strict, {name}: the message does not name x {x}, y {y}: {message.strip()}")


CASES = {
    "rgb": case(t.noise("rgb", 64, 16, seed=1), ["-alpha", "off", "PNG24:"], (2, 8, 0)),
    "rgba": case(t.noise("rgba", 50, 16, seed=2, holes=0.3), ["PNG32:"], (6, 8, 0)),
    "grey": case(t.gradient("grey", 64, 20), ["-alpha", "off", "-colorspace", "Gray", "-define", "png:color-type=0",
                                              "PNG:"], (0, 8, 0)),
    "grey_alpha": case(t.noise("grey_alpha", 33, 20, seed=3, holes=0.3), ["-colorspace", "Gray", "-define",
                                                                         "png:color-type=4", "PNG:"], (4, 8, 0)),
    "deep_exact": case(deep_alpha("deep_exact", 64, 16, seed=4, exact=True), ["PNG64:"], (6, 16, 0)),
    "deep": case(deep_alpha("deep", 64, 16, seed=5), ["PNG64:"], (6, 16, 0)),
    "deep_rgb": case(t.deep("deep_rgb", 40, 16, seed=6), ["-alpha", "off", "PNG48:"], (2, 16, 0)),
    "indexed": case(t.noise("indexed", 64, 16, seed=7, holes=0.2), ["-colors", "16", "PNG8:"], (3, None, 0)),
    "indexed_4bit": case(t.noise("indexed_4bit", 29, 9, seed=8, colours=12), ["-define", "png:bit-depth=4", "PNG8:"],
                         (3, 4, 0)),
    "interlaced": case(t.noise("interlaced", 61, 23, seed=9, holes=0.3), ["-interlace", "PNG", "PNG32:"], (6, 8, 1)),
    "metric_l1": case(t.noise("metric_l1", 64, 16, seed=10), ["-alpha", "off", "PNG24:"], (2, 8, 0), metric="L1"),
    "strict": strict,
}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, ["convert"], CASES, needs_tesspack=True))
