#!/usr/bin/env python3
"""Animated GIFs between tesspack and ImageMagick, both ways.

In: frames made here are written by `convert` as one animated GIF (opaque,
with transparency, and with `-layers optimize`, which stores only the
rectangle that changed, with disposal methods and a transparent index), built
by tesspack with frames_from = "gif" and read back through
`tesspack unpack --format xpm`. The oracle is ImageMagick's own `-coalesce` of
that GIF read back as RGBA: every frame whole, as a viewer shows it; each
pixel must be what the colour rules make of it (alpha below 128 transparent,
else the nearest palette entry under L2, the lowest index on a tie).

Out: the animated preview and the GIFs of `unpack --format gif` read back in
ImageMagick (`identify -format`, `convert -coalesce`) with the frames, delays,
sizes and exact palette colours expected; unpack's GIFs hold the palette as
their colour table index for index and build the same tile file again.
"""

import os
import random
import sys

import interop_support as t

PALETTE = t.header_palette()
SCENES = t.sprite_scenes()
PAUSE_CS = 60  # what the preview waits after a scene's last frame


def frames_of(suite, gif, where):
    """ImageMagick's coalesced frames of folder/gif as 8-bit RGBA rows, or None."""
    result = t.run(["convert", gif, "-coalesce", "-depth", "8", "pam:-"], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"{where}: ImageMagick cannot coalesce {gif}: {t.describe(result)}")
        return None
    return [p.pixels for p in t.read_pam_stream(result.stdout)]


def identified(suite, gif, where):
    """(delay in centiseconds, page width, page height, frame width, frame height) a frame."""
    result = t.run(["identify", "-format", "%T %W %H %w %h\n", gif], suite.folder)
    if result.returncode != 0:
        suite.problems.append(f"{where}: identify refuses {gif}: {t.describe(result)}")
        return None
    return [tuple(int(v) for v in line.split()) for line in result.stdout.decode().splitlines()]


def walk(width, height, frames, seed, clear=0.0, moving_only=False):
    """Frames of a small figure walking over a ground: a few dozen colours,
    so ImageMagick's table holds them all. With moving_only, the ground is
    the same in every frame and only the figure moves."""
    rng = random.Random(seed)
    ground = [[(rng.randrange(0, 256, 17), rng.randrange(0, 256, 51), 90) for _ in range(width)] for _ in range(height)]
    holes = [[rng.random() < clear for _ in range(width)] for _ in range(height)]
    pictures = []
    for f in range(frames):
        def at(x, y, f=f):
            if 0 <= x - 4 * f - 3 < 8 and 4 <= y < 4 + 9:
                return (250, 40 + 20 * f, 10, 255)
            if holes[y][x] and (moving_only or (x + f) % 3):
                return (0, 0, 0, 0)
            return ground[y][x] + (255,)

        pictures.append(t.picture(f"f{f}", width, height, at))
    return pictures


def gif_in(options, clear=0.0, moving_only=False, partial=False):
    def run_case(suite):
        pictures = walk(40, 18, 4, seed=len(options) + int(clear * 10), clear=clear, moving_only=moving_only)
        for pic in pictures:
            t.write_pam(pic, suite.path(pic.name + ".pam"))
        where = f"convert {' '.join(options)}"
        result = t.run(["convert", "-delay", "20", *[p.name + ".pam" for p in pictures], "-loop", "0", *options,
                        "walk.gif"], suite.folder)
        if result.returncode != 0:
            suite.problems.append(f"cannot make the test GIF: {t.describe(result)}")
            return
        shapes = identified(suite, "walk.gif", where)
        if shapes and partial and all((w, h) == (pw, ph) for _, pw, ph, w, h in shapes):
            suite.problems.append(f"{where}: every frame is the whole screen: the case tests nothing")
        shown = frames_of(suite, "walk.gif", where)
        if not shown:
            return
        if clear and not any(a < 128 for frame in shown for row in frame for *_, a in row):
            suite.problems.append(f"{where}: no transparent pixel in the GIF: the case tests nothing")
        with open(suite.path("walk.toml"), "w") as f:
            f.write('[[scene]]\nname = "walk"\nframes_from = "gif"\nimages = ["walk.gif"]\n')
        if not (suite.pack("build", "walk.toml", "-o", "walk.til", where=where)
                and suite.pack("unpack", "walk.til", "-o", "out", "--format", "xpm", where=where)):
            return
        for n, frame in enumerate(shown):
            suite.check_decoded(f"out/walk_0_{n}.xpm", t.index_rows(frame, tuple(PALETTE), "L2"), f"{where}, frame {n}")
        if os.path.exists(suite.path(f"out/walk_0_{len(shown)}.xpm")):
            suite.problems.append(f"{where}: more frames built than ImageMagick shows ({len(shown)})")

    return run_case


def colours(rows):
    return [[(0, 0, 0, 0) if p == t.TRANSPARENT else PALETTE[p] + (255,) for p in row] for row in rows]


def seen(frame):
    return [[(0, 0, 0, 0) if a == 0 else (r, g, b, a) for r, g, b, a in row] for row in frame]


def check_frames(suite, gif, expected, delays_cs, where):
    """folder/gif as ImageMagick reads it: len(expected) whole frames of the
    expected rows of indices, each its delay."""
    shapes = identified(suite, gif, where)
    if shapes is None:
        return
    width, height = len(expected[0][0]), len(expected[0])
    want = [(d, width, height) for d in delays_cs]
    if [s[:3] for s in shapes] != want:
        suite.problems.append(f"{where}: {gif} has frames (delay, width, height) {[s[:3] for s in shapes]}, "
                              f"expected {want}")
        return
    shown = frames_of(suite, gif, where)
    for n, (frame, rows) in enumerate(zip(shown or [], expected)):
        t.compare_images(seen(frame), colours(rows), f"{where}: {gif} frame {n}", suite.problems)


def built(suite):
    return suite.build_rows("sprites", SCENES, "tesspack build")


def preview(suite):
    """Every scene in turn, the views side by side, scaled 2 x 2, 250 ms a
    frame and a pause after each scene's last."""
    if not (built(suite) and suite.pack("preview", "sprites.til", "-o", "p.gif", "--scale", "2", "--delay", "250",
                                        where="tesspack preview -o p.gif")):
        return
    tallest = max(len(image) for _, _, images in SCENES for image in images)
    expected, delays = [], []
    for _, frames, images in SCENES:
        for f in range(frames):
            row_sheet = [[] for _ in range(tallest)]
            for view in range(t.SPRITE_VIEWS):
                image = t.padded(images[view * frames + f])
                for y in range(tallest):
                    row_sheet[y] += image[y] if y < len(image) else [t.TRANSPARENT] * t.WIDTH
            expected.append([[p for p in row for _ in range(2)] for row in row_sheet for _ in range(2)])
            delays.append(25 + (PAUSE_CS if f == frames - 1 else 0))
    check_frames(suite, "p.gif", expected, delays, "tesspack preview --scale 2 --delay 250")


def unpacked(suite):
    """One GIF a view, 100 ms a frame, the palette its colour table index for
    index; the scene whose view uses all 256 indices and transparency is one
    PNG an image, with a note; the manifest builds the same bytes."""
    where = "tesspack unpack --format gif"
    result = built(suite) and suite.pack("unpack", "sprites.til", "-o", "out", "--format", "gif", where=where)
    if not result:
        return
    if "scene 2: one PNG an image, not a GIF a view" not in result.stderr.decode("latin-1"):
        suite.problems.append(f"{where}: no note that scene 2 is written one PNG an image: {t.describe(result)}")
    gifs = sorted(n for n in os.listdir(suite.path("out")) if n.endswith(".gif"))
    expected = [f"{scene}_{v}.gif" for scene, _, _ in SCENES if scene != "full" for v in range(t.SPRITE_VIEWS)]
    if gifs != sorted(expected):
        suite.problems.append(f"{where}: wrote {gifs}, expected {sorted(expected)}")
        return
    for scene, frames, images in SCENES:
        if scene == "full":
            continue
        for view in range(t.SPRITE_VIEWS):
            gif = f"out/{scene}_{view}.gif"
            with open(suite.path(gif), "rb") as f:
                head = f.read(13 + 768)
            table = [tuple(head[i : i + 3]) for i in range(13, len(head), 3)]
            if head[10] & 0x87 != 0x87 or table != PALETTE:
                suite.problems.append(f"{where}: {gif}'s global colour table is not the 256 palette colours in order")
            rows = [t.padded(image) for image in images[view * frames : (view + 1) * frames]]
            check_frames(suite, gif, rows, [10] * frames, where)
    if suite.pack("build", "out/sprites.toml", "-o", "again.til", where=f"{where}, then build"):
        with open(suite.path("again.til"), "rb") as a, open(suite.path("sprites.til"), "rb") as b:
            if a.read() != b.read():
                suite.problems.append(f"{where}: the manifest builds other bytes than sprites.til")


CASES = {
    "in_opaque": gif_in([]),
    "in_transparent": gif_in([], clear=0.3),
    "in_optimized": gif_in(["-layers", "optimize"], clear=0.3, moving_only=True, partial=True),
    "preview": preview,
    "unpacked": unpacked,
}

if __name__ == "__main__":
    sys.exit(t.main(__doc__, ["convert", "identify"], CASES, needs_tesspack=True))
