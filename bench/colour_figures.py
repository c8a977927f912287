#!/usr/bin/env python3
"""bench/colour_figures.py - how faithful tesspack's colour conversion is, and
what dithering costs, beside ImageMagick's -remap of the same pictures.

A benchmark, not a test: it prints figures and exits 0 whatever they are; it
fails only when a command itself fails.

    bench/colour_figures.py [TESSPACK]

TESSPACK defaults to build/test/programs/tesspack/tesspack. Needs ImageMagick
(convert). In a scratch folder it draws pictures that look like sprite art
(shaded balls and a capsule, a long gradient, soft-edged glowing icons, pixel
art of a few colours), then for each of none / floyd-steinberg / bayer8 under
L2 and oklab builds them, unpacks the PNGs and measures, over the pixels the
picture draws opaque:
  - the per-pixel mean CIEDE2000 between the picture and the result, and
  - the 4 x 4 block mean: the CIEDE2000 between the mean colour (in linear
    light) of each 4 x 4 block of the picture and of the result, averaged over
    the blocks: what a person sees from a little way off, where dithering
    pays.
ImageMagick's `-dither None -remap` and `-dither FloydSteinberg -remap` to the
palette PNG (`tesspack palette`) are measured the same way. Last, the cost of
dithering a 64 x 255 frame against mapping it without: builds of 255 such
frames and of 1, the difference a frame, the best of BENCH_RUNS rounds
(default 5) in which the builds take turns.
"""

import math
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TESSPACK = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(HERE, "..", "build", "test", "programs", "tesspack", "tesspack"))
RUNS = int(os.environ.get("BENCH_RUNS", "5"))


def run(*command, cwd=None):
    """Runs a command quietly; what it said goes to the screen only if it failed."""
    done = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed with status {done.returncode}:\n{done.stderr}")


def shaded(width, height, inside, light, colour):
    """Raw RGBA of a shape lit from the upper left: `inside(x, y)` says where
    it is, `light(x, y)` how lit (0 to 1), `colour(t)` the colour at a light."""
    data = bytearray()
    for y in range(height):
        for x in range(width):
            if inside(x, y):
                data += bytes(max(0, min(255, round(c))) for c in colour(max(0.0, min(1.0, light(x, y))))) + b"\xff"
            else:
                data += b"\0\0\0\0"
    return width, height, bytes(data)


def ball(size, colour):
    r = size / 2 - 1
    return shaded(size, size, lambda x, y: math.hypot(x - size / 2, y - size / 2) < r,
                  lambda x, y: 1 - math.hypot(x - size * 0.38, y - size * 0.34) / (r * 1.7), colour)


def capsule(x, y):
    return abs(y - 16) < 14 and (14 < x < 50 or math.hypot(x - (15 if x < 32 else 49), y - 16) < 14)


# Each picture: name, and either the raw RGBA it is or ImageMagick arguments that draw it.
PICTURES = [
    ("gradient", ["-size", "32x255", "gradient:#1c3a6e-#f4c46a"]),
    ("sky", ["-size", "64x128", "gradient:#3050a8-#f0a080"]),
    ("ball_red", ball(48, lambda t: (50 + 200 * t, 30 + 70 * t * t, 40 + 40 * t))),
    ("ball_green", ball(40, lambda t: (30 + 90 * t * t, 60 + 180 * t, 50 + 60 * t))),
    ("capsule", shaded(64, 32, capsule, lambda x, y: 1 - abs(y - 11) / 20,
                       lambda t: (80 + 150 * t, 90 + 130 * t, 150 + 95 * t))),
    ("glow", ["-size", "48x48", "xc:none", "-fill", "#ffd86a", "-draw", "circle 24,24 24,10", "-channel", "A", "-blur", "0x4",
              "+channel", "-fill", "#e08020", "-draw", "circle 24,24 24,17"]),
    ("icon", ["-size", "40x40", "xc:none", "-fill", "#5a8ad8", "-draw", "roundrectangle 4,4 35,35 8,8", "-channel", "A",
              "-blur", "0x1.5", "+channel", "-fill", "#e8f0ff", "-draw", "polygon 20,9 24,18 33,18 26,24 29,32 20,27 11,32 14,24 7,18 16,18"]),
    ("pixel_hero", ["-size", "16x16", "xc:none", "-fill", "#2b1d14", "-draw", "rectangle 5,1 10,3",
                    "-fill", "#e0a878", "-draw", "rectangle 5,4 10,7", "-fill", "#b83030", "-draw", "rectangle 4,8 11,12",
                    "-fill", "#3040a0", "-draw", "rectangle 5,13 6,15", "-draw", "rectangle 9,13 10,15",
                    "-scale", "300%"]),
    ("pixel_tree", ["-size", "16x16", "xc:none", "-fill", "#2f7a32", "-draw", "polygon 8,0 15,10 1,10",
                    "-fill", "#6b4422", "-draw", "rectangle 7,11 8,15", "-fill", "#4fa848", "-draw", "polygon 8,2 12,8 4,8",
                    "-scale", "300%"]),
]


def rgba(path):
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True, text=True).stdout
    width, height = map(int, size.split())
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    return width, height, data


def linear(c):
    c /= 255
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def from_linear(c):
    c = c * 12.92 if c <= 0.0031308 else 1.055 * c ** (1 / 2.4) - 0.055
    return c * 255


def lab(rgb):
    r, g, b = (linear(c) for c in rgb)
    x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047
    y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b
    z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883
    f = lambda t: t ** (1 / 3) if t > 216 / 24389 else (24389 / 27 * t + 16) / 116
    return 116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))


def ciede2000(p, q):
    l1, a1, b1 = p
    l2, a2, b2 = q
    cbar = (math.hypot(a1, b1) + math.hypot(a2, b2)) / 2
    g = 0.5 * (1 - math.sqrt(cbar ** 7 / (cbar ** 7 + 25 ** 7)))
    a1, a2 = a1 * (1 + g), a2 * (1 + g)
    c1, c2 = math.hypot(a1, b1), math.hypot(a2, b2)
    h1 = math.degrees(math.atan2(b1, a1)) % 360 if c1 else 0
    h2 = math.degrees(math.atan2(b2, a2)) % 360 if c2 else 0
    dl, dc = l2 - l1, c2 - c1
    dh = 0 if c1 * c2 == 0 else (h2 - h1 if abs(h2 - h1) <= 180 else h2 - h1 - 360 if h2 > h1 else h2 - h1 + 360)
    dhh = 2 * math.sqrt(c1 * c2) * math.sin(math.radians(dh / 2))
    lbar, cbar = (l1 + l2) / 2, (c1 + c2) / 2
    if c1 * c2 == 0:
        hbar = h1 + h2
    elif abs(h1 - h2) <= 180:
        hbar = (h1 + h2) / 2
    else:
        hbar = (h1 + h2 + 360) / 2 if h1 + h2 < 360 else (h1 + h2 - 360) / 2
    t = (1 - 0.17 * math.cos(math.radians(hbar - 30)) + 0.24 * math.cos(math.radians(2 * hbar))
         + 0.32 * math.cos(math.radians(3 * hbar + 6)) - 0.20 * math.cos(math.radians(4 * hbar - 63)))
    sl = 1 + 0.015 * (lbar - 50) ** 2 / math.sqrt(20 + (lbar - 50) ** 2)
    sc, sh = 1 + 0.045 * cbar, 1 + 0.015 * cbar * t
    rt = (-2 * math.sqrt(cbar ** 7 / (cbar ** 7 + 25 ** 7))
          * math.sin(math.radians(60 * math.exp(-(((hbar - 275) / 25) ** 2)))))
    return math.sqrt((dl / sl) ** 2 + (dc / sc) ** 2 + (dhh / sh) ** 2 + rt * (dc / sc) * (dhh / sh))


def errors(source, result):
    """Per-pixel and block sums and counts over the source's opaque pixels."""
    width, height, a = source
    w2, h2, b = result
    # Tile images are 64 wide: the result may be wider than the picture.
    assert height == h2 and w2 >= width, "sizes differ"
    pixel_sum = pixels = 0
    block_sum = blocks = 0.0
    for by in range(0, height, 4):
        for bx in range(0, width, 4):
            sums = [0.0] * 6
            n = 0
            for y in range(by, min(by + 4, height)):
                for x in range(bx, min(bx + 4, width)):
                    k, m = (y * width + x) * 4, (y * w2 + x) * 4
                    if a[k + 3] != 255:
                        continue
                    assert b[m + 3] == 255, "an opaque pixel became transparent"
                    pixel_sum += ciede2000(lab(a[k:k + 3]), lab(b[m:m + 3]))
                    pixels += 1
                    for c in range(3):
                        sums[c] += linear(a[k + c])
                        sums[3 + c] += linear(b[m + c])
                    n += 1
            if n:
                mean_a = [from_linear(s / n) for s in sums[:3]]
                mean_b = [from_linear(s / n) for s in sums[3:]]
                block_sum += ciede2000(lab(mean_a), lab(mean_b))
                blocks += 1
    return pixel_sum, pixels, block_sum, blocks


def measure(folder, results):
    totals = [0.0, 0, 0.0, 0]
    for name, _ in PICTURES:
        found = errors(rgba(os.path.join(folder, name + ".png")), rgba(results(name)))
        totals = [t + f for t, f in zip(totals, found)]
    return totals[0] / totals[1], totals[2] / totals[3], totals[1]


def manifest(path, images, frames=None):
    with open(path, "w") as out:
        out.write("[[scene]]\nname = \"all\"\n")
        out.write(f"frames = {frames or len(images)}\nimages = [{', '.join(chr(34) + i + chr(34) for i in images)}]\n")


def best_times(commands, cwd):
    """The best time of each command over RUNS rounds, the commands taking
    turns within a round, so that a slow spell of the machine falls on all."""
    best = [math.inf] * len(commands)
    for _ in range(RUNS):
        for k, command in enumerate(commands):
            start = time.perf_counter()
            run(*command, cwd=cwd)
            best[k] = min(best[k], time.perf_counter() - start)
    return best


def main():
    with tempfile.TemporaryDirectory(prefix="tess-colour-") as folder:
        for name, how in PICTURES:
            target = "PNG32:" + os.path.join(folder, name + ".png")
            if isinstance(how, list):
                run("convert", *how, "-depth", "8", target)
            else:
                width, height, data = how
                raw = os.path.join(folder, name + ".rgba")
                with open(raw, "wb") as out:
                    out.write(data)
                run("convert", "-size", f"{width}x{height}", "-depth", "8", "rgba:" + raw, target)
        run(TESSPACK, "palette", "-o", "palette.png", cwd=folder)
        manifest(os.path.join(folder, "art.toml"), [name + ".png" for name, _ in PICTURES])

        rows = []
        for metric in ("L2", "oklab"):
            for dither in ("none", "floyd-steinberg", "bayer8"):
                out = f"{metric}-{dither}"
                run(TESSPACK, "build", "art.toml", "-o", out + ".til", "--metric", metric, "--dither", dither, cwd=folder)
                run(TESSPACK, "unpack", out + ".til", "-o", out, cwd=folder)
                # unpack names the images by scene, view and frame.
                by_name = {name: os.path.join(folder, out, f"all_0_{k}.png") for k, (name, _) in enumerate(PICTURES)}
                rows.append((f"tesspack {metric} {dither}", *measure(folder, lambda n, b=by_name: b[n])))
        for dither in ("None", "FloydSteinberg"):
            for name, _ in PICTURES:
                run("convert", name + ".png", "-dither", dither, "-remap", "palette.png", "PNG32:im-" + dither + "-" + name + ".png",
                    cwd=folder)
            rows.append((f"ImageMagick -dither {dither} -remap",
                         *measure(folder, lambda n, d=dither: os.path.join(folder, f"im-{d}-{n}.png"))))

        print(f"{len(PICTURES)} pictures, {rows[0][3]} opaque pixels; CIEDE2000 against the picture as drawn")
        print(f"{'':40} {'per-pixel mean':>15} {'4x4 block mean':>15}")
        for label, pixel, block, _ in rows:
            print(f"{label:40} {pixel:15.2f} {block:15.2f}")

        # A 64 x 255 frame like a tall painted sprite: a gradient with a lit ball.
        run("convert", "-size", "64x255", "gradient:#203060-#e0a060", "-fill", "#c04040", "-draw", "circle 32,128 32,100",
            "-blur", "0x3", "-depth", "8", "PNG32:" + os.path.join(folder, "tall.png"), cwd=folder)
        manifest(os.path.join(folder, "tall255.toml"), ["tall.png"] * 255)
        manifest(os.path.join(folder, "tall1.toml"), ["tall.png"])
        print(f"\ncost of a 64 x 255 frame (builds of 255 frames less one of 1, best of {RUNS})")
        dithers = ("none", "floyd-steinberg", "bayer8")
        commands = [[TESSPACK, "build", f"tall{frames}.toml", "-o", "t.til", "--dither", dither]
                    for dither in dithers for frames in (255, 1)]
        times = best_times(commands, folder)
        costs = {}
        for k, dither in enumerate(dithers):
            many, one = times[2 * k], times[2 * k + 1]
            costs[dither] = (many - one) / 254
            print(f"  {dither:16} {costs[dither] * 1e6:9.1f} us a frame   {many * 1e3:8.1f} ms for 255 frames")
        for dither in ("floyd-steinberg", "bayer8"):
            ratio = costs[dither] / costs["none"]
            print(f"  {dither} / none: {ratio:.2f}x (goal at most 2x) {'met' if ratio <= 2 else 'NOT met'}")


if __name__ == "__main__":
    main()
