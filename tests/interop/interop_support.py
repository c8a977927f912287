"""Shared pieces of the interop tests: tessenc, tessdec and tesspack against the
usual XPM and PNG tools.

The tools (ImageMagick's convert, netpbm's ppmtoxpm, libXpm's cxpm) are peers:
pictures made here are written as XPM by them and fed to tessenc, and the XPMs
tessdec writes are read back by them. What the programs should produce is
worked out here from scratch: a copy of the palette, the four colour distances
and a small XPM reader of our own. Standard library only.

A test that lacks a tool exits with SKIP (77), which CTest reports as skipped.
"""

import argparse
import functools
import operator
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
from dataclasses import dataclass, field

SKIP = 77
KEEP = "TESS_INTEROP_KEEP"  # set to keep a failing test's folder
WIDTH = 64  # every image tessdec writes is this wide
TYPES = ("L1", "L2", "L3", "L4")

# The fixed palette, twelve entries a line, kept here independently of the
# C++ table so that a change to either shows up. Duplicates are deliberate:
# 0 and 240-254 are black, 23 and 155 are 201000, 232 and 255 are 00ff00.
PALETTE_TEXT = """
000000 fcfcfc e0e0e0 c4c4c4 acacac 909090 787878 646464 505050 383838 242424 101010
fcfcc0 fcfca0 f8f880 ecec60 d4d440 b4b038 988c30 806c24 644c1c 483010 301c04 201000
f4ccb0 ecbc98 e8ac84 e09c6c dc8c58 d88044 b86c38 9c582c 804420 603014 441c08 280c00
dce8e4 c0d8d0 a8ccbc 90bcac 78b098 60a488 4c9074 38745c 2c5c48 1c4434 142c20 101c14
e8f4fc f0f4e0 f0ecb4 f0d880 dcb854 d49c3c cc7c1c b45c08 904404 6c3004 481c00 280800
e8e0f0 d4c8e0 c4b4d0 b0a0c0 a08cb0 8c78a0 7c6494 68507c 544064 40304c 2c2034 181020
dcdce4 c8c8d4 b8b8c8 a4a4bc 9494ac 8080a0 707094 60607c 505068 404050 30303c 202028
e4dcdc d4c8c8 c8b4b4 b8a4a4 ac9090 9c7c7c 8c6868 705050 584040 443030 302424 201818
e4dcd4 d4c8b8 c8b49c bca084 b08c68 a4784c 986434 7c5028 644020 4c3018 342010 20140c
e4e4d4 d0d0b8 c0bc9c b0ac84 9c9868 8c844c 7c7434 68602c 545024 443c20 302c18 201c14
dce4dc c4d0c4 acc0ac 94ac94 7c9c7c 688c68 587858 4c684c 405440 304430 243024 182018
e4f0d8 d0e0b4 bcd094 a8c074 94b054 80a034 6c882c 5c7428 4c6024 38481c 283418 182014
f8e8d0 f8d8a8 f8c47c f8b454 f8a028 e48c14 d07800 ac6000 884800 603000 3c1c00 201000
f0f0d0 e8e4a8 e0dc7c d4d054 ccc428 c4bc00 a49c00 847c00 605800 443c00 2c2400 1c1400
d0f0d0 a8e4a8 7cd87c 54cc54 28c028 00b800 009800 007800 005800 003c00 002800 001800
d0e8f0 a8d4e4 7cc0d8 54accc 2898c0 0088b8 0074a0 006088 005070 003c58 002840 001828
d8d0fc b4a8fc 9484fc 705cfc 5038fc 3014fc 2810d4 200cb0 1c088c 140468 0c004c 080030
ecd0f8 dca8f4 d07cf0 c054ec b028e8 a400e8 8c00c4 7400a4 5c0084 440060 2c0040 180020
f0d4d4 e8acac e08484 d85c5c d03434 c80c0c a80000 840000 600000 400000 2c0000 180000
ff0000 ff5500 ffaa00 ffff00 00ff00 00ffff 00aaff 0055ff 0000ff 7f00ff ff00ff ff007f
000000 000000 000000 000000 000000 000000 000000 000000 000000 000000 000000 000000
000000 000000 000000 00ff00
"""
PALETTE = [(int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16)) for h in PALETTE_TEXT.split()]
assert len(PALETTE) == 256

X11_RGB_FILES = ("/usr/share/X11/rgb.txt", "/etc/X11/rgb.txt", "/usr/lib/X11/rgb.txt")


# ---------------------------------------------------------------- the oracle

_POWER = {"L1": 1, "L2": 2, "L3": 3, "L4": 4}
# |d| ** power for d from -255 to 255, by kind; and per channel a getter that
# picks each entry's channel value out of a row indexed by value.
_POWERS = {kind: [abs(d) ** power for d in range(-255, 256)] for kind, power in _POWER.items()}
_ENTRY_CHANNEL = [operator.itemgetter(*(entry[channel] for entry in PALETTE)) for channel in range(3)]
_columns = {}
_nearest = {}


def _column(kind, channel, value):
    """|value - entry's channel| ** power, for all 256 entries."""
    key = (kind, channel, value)
    if key not in _columns:
        # row[u] = |value - u| ** power for u in 0..255
        row = _POWERS[kind][value : value + 256][::-1]
        _columns[key] = _ENTRY_CHANNEL[channel](row)
    return _columns[key]


def nearest(rgb, kind):
    """The palette index nearest to rgb under distance `kind`; the lowest index on a tie."""
    key = (rgb, kind)
    if key not in _nearest:
        distances = list(map(operator.add, _column(kind, 0, rgb[0]), _column(kind, 1, rgb[1])))
        distances = list(map(operator.add, distances, _column(kind, 2, rgb[2])))
        _nearest[key] = distances.index(min(distances))
    return _nearest[key]


# ------------------------------------------------------------ reading an XPM


class XpmError(Exception):
    pass


def xpm_strings(text):
    """The double-quoted strings of an XPM in C form, comments skipped."""
    strings, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if c == '"':
            end = text.find('"', i + 1)
            if end < 0:
                raise XpmError("unterminated string")
            strings.append(text[i + 1 : end])
            i = end + 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise XpmError("unterminated comment")
            i = end + 2
        elif text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end + 1
        else:
            i += 1
    return strings


CONTEXTS = ("c", "g", "g4", "m")  # in order of preference; "s" names a colour symbolically
_CONTEXT_WORDS = set(CONTEXTS) | {"s"}


@dataclass
class Xpm:
    width: int
    height: int
    cpp: int
    colours: dict  # key -> colour text as written ("#0B0D04", "light blue", "None")
    rows: list  # rows of pixel keys


def read_xpm(path):
    with open(path, encoding="latin-1") as f:
        strings = xpm_strings(f.read())
    if not strings:
        raise XpmError("no strings")
    values = strings[0].split()
    width, height, ncolours, cpp = (int(v) for v in values[:4])
    if len(strings) < 1 + ncolours + height:
        raise XpmError(f"{len(strings)} strings, expected {1 + ncolours + height}")
    colours = {}
    for line in strings[1 : 1 + ncolours]:
        key, words = line[:cpp], line[cpp:].split()
        by_context, i = {}, 0
        while i < len(words):
            context = words[i]
            if context not in _CONTEXT_WORDS:
                raise XpmError(f"colour line {line!r}: {context!r} is no context key")
            j = i + 1
            while j < len(words) and words[j] not in _CONTEXT_WORDS:
                j += 1
            by_context.setdefault(context, " ".join(words[i + 1 : j]))
            i = j
        chosen = next((by_context[c] for c in CONTEXTS if c in by_context), None)
        if chosen is None:
            raise XpmError(f"colour line {line!r} gives no colour")
        colours[key] = chosen
    rows = []
    for line in strings[1 + ncolours : 1 + ncolours + height]:
        if len(line) != width * cpp:
            raise XpmError(f"row of {len(line)} characters, expected {width * cpp}")
        rows.append([line[x * cpp : (x + 1) * cpp] for x in range(width)])
    return Xpm(width, height, cpp, colours, rows)


TRANSPARENT = "transparent"


class ColourNames:
    """X11 colour names, as the X11 colour database (rgb.txt) defines them.

    A name the database lacks is asked of ImageMagick when it is installed;
    a name nobody here knows resolves to None (the caller skips its pixels).
    """

    def __init__(self):
        self.path = next((p for p in X11_RGB_FILES if os.path.exists(p)), None)
        self.table = {}
        if self.path:
            with open(self.path, encoding="latin-1") as f:
                for line in f:
                    parts = line.split()
                    if len(parts) < 4 or line.startswith("!"):
                        continue
                    name = "".join(parts[3:]).lower()
                    self.table.setdefault(name, tuple(int(v) for v in parts[:3]))
        self.asked = {}

    def known_to_x11(self, name):
        return "".join(name.split()).lower() in self.table

    def __call__(self, name):
        folded = "".join(name.split()).lower()
        if folded in self.table:
            return self.table[folded]
        if folded not in self.asked:
            self.asked[folded] = _imagemagick_colour(name)
        return self.asked[folded]


def _imagemagick_colour(name):
    if not have_imagemagick():
        return None
    with tempfile.TemporaryDirectory(prefix="tess-interop-name-") as folder:
        path = os.path.join(folder, "name.xpm")
        with open(path, "w") as f:
            f.write(f'/* XPM */\nstatic char *n[] = {{\n"1 1 1 1",\n"a c {name}",\n"a"}};\n')
        result = subprocess.run(["convert", path, "-depth", "8", "pam:-"], capture_output=True)
        if result.returncode != 0:
            return None
        pictures = read_pam_stream(result.stdout)
        if len(pictures) != 1:
            return None
        red, green, blue, _ = pictures[0].pixels[0][0]
        return (red, green, blue)


def colour_of(text, names):
    """An XPM colour as the file states it, channels 0 to 255: (r, g, b),
    TRANSPARENT for None, or None when the name is unknown here.

    Hexadecimal channels of one digit d stand for d * 17 (#fff is white); of
    two to four digits their two most significant digits are the value, as
    X11 reads them too (ImageMagick scales 16-bit channels its own way: it
    reads 504E as 79 where the leading digits say 80).
    """
    if text.lower() == "none":
        return TRANSPARENT
    if text.startswith("#"):
        digits = text[1:]
        if not digits or len(digits) % 3 or len(digits) > 12:
            raise XpmError(f"bad colour {text!r}")
        n = len(digits) // 3
        channels = [digits[i * n : (i + 1) * n] for i in range(3)]
        if n == 1:
            return tuple(int(c, 16) * 17 for c in channels)
        return tuple(int(c[:2], 16) for c in channels)
    return names(text)


# ---------------------------------------------------------- what to expect


def expected_image(xpm, colours, kind):
    """The rows tessdec should write for an XPM encoded with `kind`, given the
    colour of each key (see colour_of): 64 entries a row, each a palette index,
    TRANSPARENT, or None (colour unknown here, not compared)."""
    meaning = {key: c if c in (TRANSPARENT, None) else nearest(c, kind) for key, c in colours.items()}
    return [[meaning[key] for key in row] + [TRANSPARENT] * (WIDTH - xpm.width) for row in xpm.rows]


def decoded_pixels(xpm, where, problems):
    """A decoded XPM as rows of palette indices and TRANSPARENT; checks its
    colour table against the palette on the way."""
    table = {}
    for key, text in xpm.colours.items():
        if key == "...":
            if text != "None":
                problems.append(f"{where}: key ... is {text!r}, expected None")
            table[key] = TRANSPARENT
            continue
        if not (key.isdigit() and len(key) == 3 and int(key) < 256):
            problems.append(f"{where}: key {key!r} is no palette index")
            table[key] = key
            continue
        index = int(key)
        want = "#%02x%02x%02x" % PALETTE[index]
        if text != want:
            problems.append(f"{where}: colour {key} is {text}, expected the palette's {want}")
        table[key] = index
    return [[table[key] for key in row] for row in xpm.rows]


def compare_images(got, expected, where, problems, limit=5):
    """Appends to `problems` how `got` differs from `expected` (None entries in
    `expected` are not compared); returns the number of pixels compared."""
    if len(got) != len(expected):
        problems.append(f"{where}: {len(got)} rows, expected {len(expected)}")
        return 0
    compared, wrong = 0, []
    for y, (got_row, want_row) in enumerate(zip(got, expected)):
        if len(got_row) != len(want_row):
            problems.append(f"{where}: row {y} has {len(got_row)} pixels, expected {len(want_row)}")
            continue
        for x, (g, w) in enumerate(zip(got_row, want_row)):
            if w is None:
                continue
            compared += 1
            if g != w:
                wrong.append((x, y, g, w))
    if wrong:
        shown = "; ".join(f"({x},{y}) got {g} expected {w}" for x, y, g, w in wrong[:limit])
        problems.append(f"{where}: {len(wrong)} of {compared} pixels wrong: {shown}")
    return compared


# ------------------------------------------------------------------ pictures


@dataclass
class Picture:
    """Rows of (red, green, blue, alpha) in 0..maxval; alpha maxval is opaque."""

    name: str
    pixels: list
    maxval: int = 255

    @property
    def width(self):
        return len(self.pixels[0])

    @property
    def height(self):
        return len(self.pixels)


def picture(name, width, height, colour_at, maxval=255):
    return Picture(name, [[colour_at(x, y) for x in range(width)] for y in range(height)], maxval)


def noise(name, width, height, seed, colours=None, holes=0.0):
    """Random colours (from a set of `colours` random ones, if given); a share
    `holes` of the pixels fully transparent, a few more half so."""
    rng = random.Random(seed)
    choices = None if colours is None else [tuple(rng.randrange(256) for _ in range(3)) for _ in range(colours)]

    def at(x, y):
        rgb = tuple(rng.randrange(256) for _ in range(3)) if choices is None else rng.choice(choices)
        r = rng.random()
        alpha = 0 if r < holes else (rng.choice((1, 100, 127, 128, 200)) if r < holes * 1.3 else 255)
        return rgb + (alpha,)

    return picture(name, width, height, at)


def gradient(name, width, height, holes=False):
    """Smooth ramps in all three channels; with holes, a transparent diagonal band."""

    def at(x, y):
        r = x * 255 // max(1, width - 1)
        g = y * 255 // max(1, height - 1)
        b = (x * 7 + y * 3) % 256
        clear = holes and (x + y) % 23 < 4
        return (r, g, b, 0 if clear else 255)

    return picture(name, width, height, at)


def swatches(name, colours, width=WIDTH):
    """The given colours one after another, row by row; the last repeated to fill."""
    height = (len(colours) + width - 1) // width
    padded = list(colours) + [colours[-1]] * (width * height - len(colours))
    return picture(name, width, height, lambda x, y: tuple(padded[y * width + x]) + (255,))


def x11_colours(names):
    """Every distinct colour of the X11 database, in the database's order."""
    seen = []
    for rgb in names.table.values():
        if rgb not in seen:
            seen.append(rgb)
    return seen


def deep(name, width, height, seed):
    """A 16-bit picture (maxval 65535), so that tools write 12-digit colours."""
    rng = random.Random(seed)
    return picture(name, width, height, lambda x, y: tuple(rng.randrange(65536) for _ in range(3)) + (65535,), 65535)


# ------------------------------------------------------------ writing files


def write_ppm(pic, path):
    fmt = ">" + ("H" if pic.maxval > 255 else "B") * 3
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n%d\n" % (pic.width, pic.height, pic.maxval))
        f.write(b"".join(struct.pack(fmt, *p[:3]) for row in pic.pixels for p in row))


def write_alpha_pgm(pic, path):
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (pic.width, pic.height))
        f.write(bytes(p[3] for row in pic.pixels for p in row))


def write_pam(pic, path):
    fmt = ">" + ("H" if pic.maxval > 255 else "B") * 4
    with open(path, "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL %d\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                % (pic.width, pic.height, pic.maxval))
        f.write(b"".join(struct.pack(fmt, *p) for row in pic.pixels for p in row))


def write_png(pic, path):
    """An 8-bit RGBA PNG."""
    assert pic.maxval == 255

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in pic.pixels)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", pic.width, pic.height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw)))
        f.write(chunk(b"IEND", b""))


_KEY_CHARACTERS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789#$%&*+-=@"


def write_xpm(pic, path):
    """Our own plain XPM: #RRGGBB colours, None where alpha is below half."""
    assert pic.maxval == 255
    colours = sorted({p[:3] for row in pic.pixels for p in row if p[3] >= 128})
    cpp, count = 1, len(colours) + 1
    while len(_KEY_CHARACTERS) ** cpp < count:
        cpp += 1

    def key(n):
        return "".join(_KEY_CHARACTERS[n // len(_KEY_CHARACTERS) ** i % len(_KEY_CHARACTERS)] for i in range(cpp))

    keys = {rgb: key(n + 1) for n, rgb in enumerate(colours)}
    clear = "." * cpp
    lines = [f"{pic.width} {pic.height} {count} {cpp}", f"{clear} c None"]
    lines += [f"{k} c #{r:02x}{g:02x}{b:02x}" for (r, g, b), k in keys.items()]
    lines += ["".join(keys[p[:3]] if p[3] >= 128 else clear for p in row) for row in pic.pixels]
    with open(path, "w") as f:
        f.write("/* XPM */\nstatic char *picture[] = {\n" + ",\n".join(f'"{line}"' for line in lines) + "\n};\n")


@dataclass
class Pam:
    width: int
    height: int
    pixels: list  # rows of (r, g, b, a), 8-bit


def read_pam_stream(data):
    """The pictures of a stream of 8- or 16-bit PAMs, as ImageMagick writes them;
    16-bit samples keep their high byte, as tesspack reads 16-bit PNGs."""
    pictures, at = [], 0
    while at < len(data):
        end = data.index(b"ENDHDR\n", at)
        header = dict(line.split(b" ", 1) for line in data[at:end].split(b"\n")[1:] if b" " in line)
        width, height, depth = int(header[b"WIDTH"]), int(header[b"HEIGHT"]), int(header[b"DEPTH"])
        sample = {255: 1, 65535: 2}.get(int(header[b"MAXVAL"]))
        if sample is None:
            raise XpmError("expected an 8- or 16-bit PAM")
        tuple_type = header.get(b"TUPLTYPE", b"").strip()
        at = end + len(b"ENDHDR\n")
        body = data[at : at + width * height * depth * sample]
        at += width * height * depth * sample
        body = body[::sample]  # big-endian: the high byte first
        planes = [body[i::depth] for i in range(depth)]
        if tuple_type.startswith(b"GRAYSCALE"):
            planes = [planes[0], planes[0], planes[0]] + planes[1:]
        if len(planes) == 3:
            planes.append(bytes([255]) * (width * height))
        flat = list(zip(*planes[:4]))
        rows = [flat[y * width : (y + 1) * width] for y in range(height)]
        pictures.append(Pam(width, height, rows))
    return pictures


# ------------------------------------------------------------ tesspack

SOURCE_ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
PALETTE_HEADER = os.path.join(SOURCE_ROOT, "palette", "include", "palette", "palette.hpp")


def header_palette(path=PALETTE_HEADER):
    """The colours of the C++ palette table, read out of its header's hex numbers."""
    with open(path) as f:
        text = f.read()
    start = text.index("Palette = ")
    values = [int(h, 16) for h in re.findall(r"0x([0-9a-fA-F]{6})\b", text[start : text.index("});", start)])]
    return [(v >> 16, v >> 8 & 0xFF, v & 0xFF) for v in values]


def read_hex_palette(path):
    """A palette written one RRGGBB a line."""
    with open(path) as f:
        return [(int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16)) for h in f.read().split()]


@functools.lru_cache(maxsize=None)
def nearest_in(palette, rgb, kind):
    """The index of `palette` (a tuple) nearest to rgb under L1..L4; the lowest index on a tie."""
    power = _POWER[kind]
    distances = [sum(abs(a - b) ** power for a, b in zip(rgb, entry)) for entry in palette]
    return distances.index(min(distances))


def index_rows(pixels, palette, kind):
    """8-bit RGBA rows as the rows of indices tesspack should make of them:
    alpha below 128 transparent, else the nearest entry; padded to 64."""
    return [[TRANSPARENT if a < 128 else nearest_in(palette, (r, g, b), kind) for r, g, b, a in row]
            + [TRANSPARENT] * (WIDTH - len(row)) for row in pixels]


def write_index_xpm(rows, path):
    """Rows of palette indices (TRANSPARENT for none) as an XPM whose keys are
    the indices, 000 to 255, with the palette's exact colours: tesspack keeps them."""
    used = sorted({p for row in rows for p in row if p != TRANSPARENT})
    width = len(rows[0]) if rows else WIDTH
    lines = [f"{width} {len(rows)} {len(used) + 1} 3", "... c None"]
    lines += ["%03d c #%02x%02x%02x" % ((i,) + PALETTE[i]) for i in used]
    lines += ["".join("..." if p == TRANSPARENT else "%03d" % p for p in row) for row in rows]
    with open(path, "w") as f:
        f.write("/* XPM */\nstatic char *picture[] = {\n" + ",\n".join(f'"{line}"' for line in lines) + "\n};\n")


def manifest_text(scenes, views=1, **settings):
    """A manifest: settings (strings quoted, booleans as true and false), then
    each scene as (name, frames, list of image files or one sheet file)."""

    def value(v):
        return ("true" if v else "false") if isinstance(v, bool) else f'"{v}"' if isinstance(v, str) else str(v)

    lines = [f"{key} = {value(v)}" for key, v in settings.items()] + [f"views = {views}"]
    for name, frames, files in scenes:
        named = f"name_bytes = {list(name)}" if isinstance(name, bytes) else f"name = {value(name)}"
        lines += ["", "[[scene]]", named, f"frames = {frames}"]
        lines.append(f"sheet = {value(files)}" if isinstance(files, str) else
                     "images = [" + ", ".join(value(f) for f in files) + "]")
    return "\n".join(lines) + "\n"


def padded(rows):
    """Rows as a tile image holds them: transparent beyond their width up to 64."""
    return [list(row) + [TRANSPARENT] * (WIDTH - len(row)) for row in rows]


def sheet_rows(images, frames, views, width=0):
    """A scene's images in one picture: row r of cells is view r, column c frame c;
    cells 64 wide and as high as the tallest image, transparent where it has no
    pixel; each row at least `width` wide."""
    tallest = max((len(image) for image in images), default=0)
    rows = []
    for view in range(views):
        for y in range(tallest):
            row = []
            for image in images[view * frames : (view + 1) * frames]:
                row += padded(image[y : y + 1])[0] if y < len(image) else [TRANSPARENT] * WIDTH
            rows.append(row + [TRANSPARENT] * (width - len(row)))
    return rows


SPRITE_VIEWS = 2


def sprite_scenes(seed=7):
    """Scenes (name, frames, images as rows of indices; all frames of view 0,
    then view 1) that between them use every index, 240-255 too (they repeat
    other entries' colours), and transparency: a scene of shuffles of all 256
    indices; one with holes, a last row all clear and index 200 unused; one
    whose image uses all 256 indices and transparency; images 255 and 1 high."""
    rng = random.Random(seed)

    def shuffled(height=4):
        order = rng.sample(range(256), 256)
        return [order[y * WIDTH : (y + 1) * WIDTH] for y in range(height)]

    def holey(width, height, exclude=()):
        choices = [i for i in range(256) if i not in exclude]

        def pick():
            if rng.random() < 0.25:
                return TRANSPARENT
            return rng.randrange(240, 256) if rng.random() < 0.4 else rng.choice(choices)

        return [[pick() for _ in range(width)] for _ in range(height - 1)] + [[TRANSPARENT] * width]

    tall = [[TRANSPARENT if (x * y) % 7 == 0 else (x + 3 * y) % 250 for x in range(WIDTH)] for y in range(255)]
    return [
        ("every", 2, [shuffled() for _ in range(4)]),
        ("holes", 3, [holey(50, 10, exclude=(200,)) for _ in range(6)]),
        ("full", 1, [shuffled() + [[TRANSPARENT] * WIDTH], holey(20, 3)]),
        ("sizes", 1, [tall, [[255]]]),
    ]


def png_chunks(data):
    """A PNG's chunks as (type, body); ValueError without the PNG signature."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    chunks, at = [], 8
    while at + 8 <= len(data):
        (length,) = struct.unpack(">I", data[at : at + 4])
        chunks.append((data[at + 4 : at + 8].decode("latin-1"), data[at + 8 : at + 8 + length]))
        at += 12 + length
    return chunks


@dataclass
class PngHeader:
    width: int
    height: int
    depth: int
    colour_type: int  # 0 grey, 2 RGB, 3 indexed, 4 grey and alpha, 6 RGBA
    interlace: int


def png_header(chunks):
    return PngHeader(*struct.unpack(">IIBB", chunks[0][1][:10]), chunks[0][1][12])


# ------------------------------------------------------------ running things


@functools.lru_cache(maxsize=None)
def have_imagemagick():
    """ImageMagick's own convert, not another program of that name."""
    if not shutil.which("convert"):
        return False
    try:
        result = subprocess.run(["convert", "-version"], capture_output=True, text=True, timeout=30)
    except OSError:
        return False
    return result.returncode == 0 and "ImageMagick" in result.stdout


def require(*tools):
    """Exits with SKIP unless every tool is installed."""
    missing = [t for t in tools if not (have_imagemagick() if t == "convert" else shutil.which(t))]
    if missing:
        print(f"skipped: {', '.join(missing)} not installed")
        sys.exit(SKIP)


def run(command, cwd, stdin=b""):
    return subprocess.run(command, cwd=cwd, input=stdin, capture_output=True, timeout=60)


def describe(result):
    out = (result.stdout + result.stderr).decode("latin-1").strip().replace("\n", " | ")
    return f"`{' '.join(result.args)}` exited {result.returncode}: {out[:300]}"


@dataclass
class Suite:
    """One test script: the programs under test, a private folder, the problems found."""

    tessenc: str
    tessdec: str
    folder: str
    problems: list = field(default_factory=list)
    notes: list = field(default_factory=list)
    tesspack: str = None

    def encode(self, xpm_name, kind, scene="s", where=None):
        """tessenc on folder/xpm_name, answering `scene`; the tile file's name, or None."""
        result = run([self.tessenc, kind, xpm_name], self.folder, scene.encode("latin-1") + b"\n")
        if result.returncode != 0:
            self.problems.append(f"{where or xpm_name}: {describe(result)}")
            return None
        return xpm_name[:-3] + "til"

    def decode(self, til_name, scene="s", where=None):
        """tessdec on folder/til_name; the one XPM it writes, or None."""
        result = run([self.tessdec, til_name], self.folder)
        if result.returncode != 0:
            self.problems.append(f"{where or til_name}: {describe(result)}")
            return None
        written = til_name[:-4] + "_" + scene.replace("/", "_") + "_0_0.xpm"
        if not os.path.exists(os.path.join(self.folder, written)):
            self.problems.append(f"{where or til_name}: tessdec wrote no {written}")
            return None
        return written

    def path(self, name):
        return os.path.join(self.folder, name)

    def check_decoded(self, decoded_name, expected, where):
        """Compares tessdec's XPM with the expected rows; returns its pixels or None."""
        try:
            xpm = read_xpm(self.path(decoded_name))
        except (XpmError, ValueError) as e:
            self.problems.append(f"{where}: cannot read tessdec's {decoded_name}: {e}")
            return None
        if xpm.width != WIDTH or xpm.cpp != 3:
            self.problems.append(f"{where}: {decoded_name} is {xpm.width} wide with {xpm.cpp} characters a pixel")
            return None
        got = decoded_pixels(xpm, where, self.problems)
        compare_images(got, expected, where, self.problems)
        return got

    def encode_each_type(self, source_name, xpm_name, names, kinds=TYPES):
        """Encodes an XPM a tool wrote under each kind and checks the decoded
        pixels against the oracle; yields (kind, decoded XPM name, expected rows)."""
        try:
            xpm = read_xpm(self.path(xpm_name))
        except (XpmError, ValueError) as e:
            self.problems.append(f"{source_name}: cannot read the tool's {xpm_name}: {e}")
            return
        colours = {key: colour_of(text, names) for key, text in xpm.colours.items()}
        unknown = sorted({xpm.colours[key] for key, c in colours.items() if c is None})
        if unknown:
            self.notes.append(f"{xpm_name}: pixels of colour names unknown here not compared: {', '.join(unknown)}")
        for kind in kinds:
            stem = f"{xpm_name[:-4]}_{kind}"
            shutil.copyfile(self.path(xpm_name), self.path(stem + ".xpm"))
            where = f"{source_name} -> {xpm_name}, tessenc {kind}"
            til = self.encode(stem + ".xpm", kind, where=where)
            decoded = til and self.decode(til, where=where)
            if not decoded:
                continue
            expected = expected_image(xpm, colours, kind)
            if self.check_decoded(decoded, expected, where) is not None:
                yield kind, decoded, expected

    def pack(self, *args, where, status=0):
        """tesspack with `args` in the folder; its result, or None (a problem
        noted) when it exits with other than `status`."""
        result = run([self.tesspack, *args], self.folder)
        if result.returncode != status:
            expected = f" (expected exit {status})" if status else ""
            self.problems.append(f"{where}: {describe(result)}{expected}")
            return None
        return result

    def build_rows(self, name, scenes, where, views=SPRITE_VIEWS, **settings):
        """Writes each image of `scenes` (see sprite_scenes) as an XPM of
        palette indices and builds folder/name.til of them."""
        files = []
        for n, (scene, frames, images) in enumerate(scenes):
            files.append((scene, frames, [f"{name}_{n}_{k // frames}_{k % frames}.xpm" for k in range(len(images))]))
            for rows, file in zip(images, files[-1][2]):
                write_index_xpm(rows, self.path(file))
        return self.build(name, files, where, views, **settings)

    def build(self, name, scenes, where, views=1, args=(), status=0, **settings):
        """Writes the manifest folder/name.toml and builds folder/name.til from it."""
        with open(self.path(name + ".toml"), "w") as f:
            f.write(manifest_text(scenes, views, **settings))
        return self.pack("build", name + ".toml", "-o", name + ".til", *args, where=where, status=status)

    def imagemagick_pixels(self, name, where, depth=8):
        """The picture ImageMagick reads from folder/name as 8-bit RGBA rows, or
        None; read at `depth` bits, 16 keeping each sample's high byte."""
        result = run(["convert", name, "-depth", str(depth), "pam:-"], self.folder)
        pictures = read_pam_stream(result.stdout) if result.returncode == 0 else []
        if len(pictures) != 1:
            self.problems.append(f"{where}: ImageMagick cannot read {name}: {describe(result)}")
            return None
        return pictures[0].pixels

    def finish(self):
        for note in self.notes:
            print("note:", note)
        if self.problems:
            print(f"{len(self.problems)} problem(s):")
            for problem in self.problems:
                print("  -", problem)
            if os.environ.get(KEEP):
                print("files kept in", self.folder)
            else:
                shutil.rmtree(self.folder, ignore_errors=True)
                print(f"(run with {KEEP}=1 to keep the files)")
            return 1
        shutil.rmtree(self.folder, ignore_errors=True)
        print("ok")
        return 0


def main(description, tools, cases, needs_tesspack=False):
    """Runs one of the test's cases, named on the command line, in a private
    folder; skips when a tool is missing. `--list` prints the cases' names,
    which is how the build registers them. A case is a function of the Suite,
    or a pair of it and the tools it needs beyond `tools`. Returns the exit status."""
    if sys.argv[1:] == ["--list"]:
        print(";".join(sorted(cases)))
        return 0
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--tessenc", required=True)
    parser.add_argument("--tessdec", required=True)
    parser.add_argument("--tesspack")
    parser.add_argument("--case", required=True, choices=sorted(cases))
    args = parser.parse_args()
    if needs_tesspack and not args.tesspack:
        parser.error("these cases run tesspack: give --tesspack")
    case = cases[args.case]
    run_case, more_tools = case if isinstance(case, tuple) else (case, [])
    require(*tools, *more_tools)
    folder = tempfile.mkdtemp(prefix=f"tess-interop-{args.case}-")
    tesspack = args.tesspack and os.path.abspath(args.tesspack)
    suite = Suite(os.path.abspath(args.tessenc), os.path.abspath(args.tessdec), folder, tesspack=tesspack)
    run_case(suite)
    return suite.finish()
