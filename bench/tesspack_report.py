#!/usr/bin/env python3
"""Prints the speed figures of bench/tesspack.sh from hyperfine's JSON export.

    tesspack_report.py FILE.json FRAMES SAMPLE

FRAMES is the number of frames every build and unpack handles, SAMPLE the
number the one-process-a-frame commands (tessenc, noop) run over. Prints every
command's frames per second and time a frame, on the mean wall-clock time (the
goals), on the fastest run (the one least disturbed by anything else the
machine was doing) and on the CPU time (user + system, what the command itself
spent, whatever else runs), with "met" / "NOT met" per goal. Standard library
only.
"""

import json
import sys

# (command, frames per second it must reach)
RATE_GOALS = [
    ("build from XPM", 20_000),
    ("build from XPM, palette keys", 20_000),
    ("build from RGBA PNG", 10_000),
    ("build from indexed PNG", 10_000),
    ("unpack to XPM", 10_000),
    ("unpack to PNG", 5_000),
]
PER_PROCESS = ["tessenc, a process a frame", "noop, a process a frame"]
# (command, its floor: the same files read or written and nothing else, at
# most how many times the floor's time it may take, or None where the floor
# is shown for reference only)
FLOOR_GOALS = [
    ("build from XPM", "floor: read the XPMs", 3.0),
    ("build from indexed PNG", "floor: read the indexed PNGs", None),
    ("build from indexed PNG", "floor: read and inflate the indexed PNGs", 3.0),
    ("unpack to XPM", "floor: write as many XPM-sized files", 1.5),
    ("unpack to PNG", "floor: write as many PNG-sized files", 1.5),
]
# (slower, faster, how many times faster the second must be a frame)
PER_FRAME_GOALS = [
    ("tessenc, a process a frame", "build from XPM", 50.0),
    ("tessenc, a process a frame", "build from RGBA PNG", None),
    ("noop, a process a frame", "build from XPM", None),
]


def verdict(met):
    return "met" if met else "NOT met"


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        runs = {r["command"]: r for r in json.load(f)["results"]}
    frames, sample = int(sys.argv[2]), int(sys.argv[3])

    def count(name):
        return sample if name in PER_PROCESS else frames

    def per_frame(name, key):  # seconds a frame
        return runs[name][key] / count(name)

    print(f"{'command':<30} {'frames':>6} {'mean s':>8} {'± σ s':>7} {'frames/s':>9} {'best':>9} {'on CPU':>9}"
          f" {'µs/frame':>9}  goal (on the mean)")
    for name, r in runs.items():
        rate, best = 1 / per_frame(name, "mean"), 1 / per_frame(name, "min")
        goal = dict(RATE_GOALS).get(name)
        judged = "" if goal is None else f">= {goal:,}/s: {verdict(rate >= goal)}"
        if goal is not None and (rate >= goal) != (best >= goal):
            judged += f" (best run: {verdict(best >= goal)})"
        cpu = count(name) / (r["user"] + r["system"])
        print(f"{name:<30} {count(name):6d} {r['mean']:8.3f} {r['stddev'] or 0:7.3f} {rate:9,.0f} {best:9,.0f} {cpu:9,.0f}"
              f" {per_frame(name, 'mean') * 1e6:9.1f}  {judged}")

    print(f"\n{'time a frame: slower / faster':<58} {'means':>7} {'best':>7}  goal (on means)")
    for slow, fast, goal in PER_FRAME_GOALS:
        if slow not in runs or fast not in runs:
            continue
        on_means = per_frame(slow, "mean") / per_frame(fast, "mean")
        on_best = per_frame(slow, "min") / per_frame(fast, "min")
        judged = "(reference)" if goal is None else f">= {goal:.0f}x: {verdict(on_means >= goal)}"
        print(f"{slow + ' / ' + fast:<58} {on_means:7.1f} {on_best:7.1f}  {judged}")

    print(f"\n{'command / its floor':<70} {'means':>7} {'best':>7} {'CPU':>7}  goal (on means)")
    for name, floor, goal in FLOOR_GOALS:
        if name not in runs or floor not in runs:
            continue
        on_means = runs[name]["mean"] / runs[floor]["mean"]
        on_best = runs[name]["min"] / runs[floor]["min"]
        on_cpu = (runs[name]["user"] + runs[name]["system"]) / (runs[floor]["user"] + runs[floor]["system"])
        judged = "(reference)" if goal is None else f"<= {goal:.1f}x: {verdict(on_means <= goal)}"
        print(f"{name + ' / ' + floor:<70} {on_means:7.2f} {on_best:7.2f} {on_cpu:7.2f}  {judged}")


if __name__ == "__main__":
    main()
