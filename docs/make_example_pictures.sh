#!/bin/sh
# Makes the README's pictures of examples built and drawn by tesspack itself:
# docs/rogue.gif and docs/slime.gif from examples/rogue.toml (one sheet of
# 48 x 48 cells) and examples/slime.toml (an Aseprite atlas); docs/charset.png
# from examples/charset.toml (a charset drawn on a key colour), its white
# digits laid on a dark ground by ImageMagick's convert, to be seen on a page;
# docs/coin.gif from examples/coin.toml (a coin drawn at twice an image's
# size, scaled down).
# Run from the tree's top after a build: docs/make_example_pictures.sh [build/test]
set -eu
build=${1:-build/test}
tesspack=$build/programs/tesspack/tesspack
work=$(mktemp -d "${TMPDIR:-/tmp}/tess-examples.XXXXXX")
trap 'rm -rf "$work"' EXIT
built() {  # built NAME: examples/NAME.toml built into the scratch folder
    "$tesspack" build "examples/$1.toml" -o "$work/$1.til"
}
built rogue
"$tesspack" preview "$work/rogue.til" -o docs/rogue.gif --scale 2 --delay 150
built slime
"$tesspack" preview "$work/slime.til" -o docs/slime.gif --scale 3 --delay 120
built charset
"$tesspack" preview "$work/charset.til" -o "$work/charset.png" --scale 3
convert "$work/charset.png" -background '#203040' -flatten docs/charset.png
built coin
"$tesspack" preview "$work/coin.til" -o docs/coin.gif --scale 2 --delay 100
