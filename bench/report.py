#!/usr/bin/env python3
"""Prints the figures of bench/run.sh from hyperfine's JSON exports.

    report.py LABEL=FILE.json [LABEL=FILE.json ...]

Each file holds one hyperfine run over the same set of commands, named as
run.sh names them (noop, tessenc static, ImageMagick remap, ...). Prints every
mean with its standard deviation, the ratios against the do-nothing floor and
against ImageMagick, and whether each goal is met. Ratios are given on the
means (the goals) and on the minimums (the runs least disturbed by anything
else the machine was doing). Standard library only.
"""

import json
import sys

FLOOR_GOAL = 1.5  # each program within 1.5x the start of a do-nothing process
IMAGEMAGICK_GOAL = 100.0  # tessenc at least 100x faster than ImageMagick's remap

# (program, its floor) pairs: a program started through stdin_from is held
# against the floor started the same way.
AGAINST_FLOOR = [
    ("tessenc static", "noop"),
    ("tessenc static <name", "noop <name"),
    ("tessenc dynamic", "noop"),
    ("tessenc dynamic <name", "noop <name"),
    ("tessdec static", "noop"),
    ("tessdec dynamic", "noop"),
]
# References, no goal: what the one file each program creates adds to the floor.
AGAINST_FILE_FLOOR = [
    ("noop + file", "noop"),
    ("tessenc static", "noop + file"),
    ("tessdec static", "noop + file"),
]
AGAINST_IMAGEMAGICK = [
    ("ImageMagick remap", "tessenc static", IMAGEMAGICK_GOAL),
    ("ImageMagick remap", "tessenc static <name", IMAGEMAGICK_GOAL),
    ("ImageMagick remap", "tessenc dynamic <name", None),
    ("ImageMagick png", "tessdec static", None),
    ("ImageMagick png", "tessdec dynamic", None),
]


def load(path):
    with open(path, encoding="utf-8") as f:
        results = json.load(f)["results"]
    return {r["command"]: r for r in results}


def ms(seconds):
    return seconds * 1000.0


def verdict(met):
    return "met" if met else "NOT met"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    all_met = True
    for argument in sys.argv[1:]:
        label, path = argument.split("=", 1)
        runs = load(path)
        print(f"\n--- {label} ---")
        print(f"{'command':<24} {'mean ms':>9} {'± σ ms':>8} {'median':>8} {'min ms':>8} {'runs':>6}")
        for name, r in runs.items():
            print(f"{name:<24} {ms(r['mean']):9.3f} {ms(r['stddev'] or 0):8.3f} {ms(r['median']):8.3f}"
                  f" {ms(r['min']):8.3f} {len(r['times']):6d}")

        def ratios(a, b):
            return runs[a]["mean"] / runs[b]["mean"], runs[a]["min"] / runs[b]["min"]

        print(f"\n{'program / floor':<44} {'means':>7} {'mins':>7}  goal <= {FLOOR_GOAL}x (on means)")
        for program, floor in AGAINST_FLOOR:
            if program not in runs or floor not in runs:
                continue
            on_means, on_mins = ratios(program, floor)
            met = on_means <= FLOOR_GOAL
            if "static" in program:
                all_met &= met
            print(f"{program + ' / ' + floor:<44} {on_means:7.2f} {on_mins:7.2f}  {verdict(met)}"
                  f"{'' if met == (on_mins <= FLOOR_GOAL) else ' (on mins: ' + verdict(on_mins <= FLOOR_GOAL) + ')'}")
        for program, floor in AGAINST_FILE_FLOOR:
            if program in runs and floor in runs:
                on_means, on_mins = ratios(program, floor)
                print(f"{program + ' / ' + floor:<44} {on_means:7.2f} {on_mins:7.2f}  (reference)")

        print(f"\n{'ImageMagick / program':<44} {'means':>7} {'mins':>7}  goal (on means)")
        for slow, fast, goal in AGAINST_IMAGEMAGICK:
            if slow not in runs or fast not in runs:
                continue
            on_means, on_mins = ratios(slow, fast)
            if goal is None:
                print(f"{slow + ' / ' + fast:<44} {on_means:7.1f} {on_mins:7.1f}  (no goal)")
            else:
                met = on_means >= goal
                all_met &= met
                print(f"{slow + ' / ' + fast:<44} {on_means:7.1f} {on_mins:7.1f}  >= {goal:.0f}x: {verdict(met)}"
                      f"{'' if met == (on_mins >= goal) else ' (on mins: ' + verdict(on_mins >= goal) + ')'}")

    print(f"\nSpeed goals of the static (release) programs: {'all met' if all_met else 'NOT all met'}")
    print("(the dynamic build is shown for comparison; its floor ratios carry the dynamic loader's start-up)")


if __name__ == "__main__":
    main()
