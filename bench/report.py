#!/usr/bin/env python3
"""Prints the figures of bench/run.sh from hyperfine's JSON exports.

    report.py LABEL=GOAL=FILE.json [LABEL=GOAL=FILE.json ...]

Each file holds one hyperfine run over the same set of commands, named as
run.sh names them (copy xpm, tessenc static, ImageMagick remap, ...); GOAL is
how many times the copy floor each static program may take on that input.
Prints every mean with its standard deviation, the ratios against the copy
floor (a process that reads its input and writes a file of the same size),
against the do-nothing process and against ImageMagick, and whether each goal
is met. Ratios are given on the means (the goals), on the minimums (the runs
least disturbed by anything else the machine was doing) and, against the copy,
on the medians (where a few slow runs, a journal commit or another program on
the machine, move the mean). Standard library only.
"""

import json
import sys

IMAGEMAGICK_GOAL = 100.0  # tessenc at least 100x faster than ImageMagick's remap

# (program, its floor, judged): each program against the copy of its own
# input, started the same way (a program started through stdin_from is held
# against the copy started so). The dynamic build carries the dynamic
# loader's start-up and is shown without a goal.
AGAINST_COPY = [
    ("tessenc static", "copy xpm", True),
    ("tessenc static <name", "copy xpm <name", True),
    ("tessenc dynamic", "copy xpm", False),
    ("tessenc dynamic <name", "copy xpm <name", False),
    ("tessdec static", "copy til", True),
    ("tessdec dynamic", "copy til", False),
]
# References, no goal: the start of any process, and what the one file each
# program creates adds to it.
AGAINST_NOOP = [
    ("copy xpm", "noop"),
    ("copy til", "noop"),
    ("noop + file", "noop"),
    ("tessenc static", "noop"),
    ("tessenc static <name", "noop <name"),
    ("tessdec static", "noop"),
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
        label, goal, path = argument.split("=", 2)
        copy_goal = float(goal)
        runs = load(path)
        print(f"\n--- {label} ---")
        print(f"{'command':<24} {'mean ms':>9} {'± σ ms':>8} {'median':>8} {'min ms':>8} {'runs':>6}")
        for name, r in runs.items():
            print(f"{name:<24} {ms(r['mean']):9.3f} {ms(r['stddev'] or 0):8.3f} {ms(r['median']):8.3f}"
                  f" {ms(r['min']):8.3f} {len(r['times']):6d}")

        def ratios(a, b):
            return runs[a]["mean"] / runs[b]["mean"], runs[a]["min"] / runs[b]["min"]

        print(f"\n{'program / copy floor':<44} {'means':>7} {'mins':>7} {'medians':>7}"
              f"  goal <= {copy_goal}x (on means)")
        for program, floor, judged in AGAINST_COPY:
            if program not in runs or floor not in runs:
                continue
            on_means, on_mins = ratios(program, floor)
            on_medians = runs[program]["median"] / runs[floor]["median"]
            if not judged:
                print(f"{program + ' / ' + floor:<44} {on_means:7.2f} {on_mins:7.2f} {on_medians:7.2f}  (no goal)")
                continue
            met = on_means <= copy_goal
            all_met &= met
            print(f"{program + ' / ' + floor:<44} {on_means:7.2f} {on_mins:7.2f} {on_medians:7.2f}  {verdict(met)}"
                  f"{'' if met == (on_mins <= copy_goal) else ' (on mins: ' + verdict(on_mins <= copy_goal) + ')'}")

        print(f"\n{'program / do-nothing process':<44} {'means':>7} {'mins':>7}")
        for program, floor in AGAINST_NOOP:
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


if __name__ == "__main__":
    main()
