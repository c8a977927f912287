#!/usr/bin/env bash
# docs/make_diff_picture.sh - docs/diff.png, `tesspack diff -o` of a patch to knight.til.
#
#   docs/make_diff_picture.sh [BUILD_DIR]
#
# examples/knight.til is unpacked as XPMs, the grey of three rows of the
# first idle frame is painted yellow (index 231), and the result is built
# again and compared with the original. The picture (A, B, and the changed pixels in magenta, a row an
# image) is scaled up four times. Needs cmake, g++, sed and convert.
# The program's own report is printed too; status 1 (they differ) is expected.

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

source "$root/docs/common.sh"
use_build "$@" -- tesspack
tesspack=$build/programs/tesspack/tesspack

work=$(mktemp -d "${TMPDIR:-/tmp}/tess-diff.XXXXXX")
trap 'rm -rf "$work"' EXIT

show "$tesspack" unpack examples/knight.til -o "$work/knight" --format xpm
# Rows of the XPMs are the lines after the colour lines; the keys are indices.
show sed -i -E '15,17s/006/231/g' "$work/knight/idle_0_0.xpm"
show "$tesspack" build "$work/knight/knight.toml" -o "$work/patched.til"
show "$tesspack" diff examples/knight.til "$work/patched.til" -o "$work/diff.png" || true
show convert "$work/diff.png" -scale 400% -define png:exclude-chunks=date,time docs/diff.png
