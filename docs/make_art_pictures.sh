#!/bin/sh
# Makes docs/charset.png and docs/coin.gif: examples/charset.toml (a charset
# drawn on a key colour) and examples/coin.toml (a coin drawn at twice an
# image's size, scaled down) built and drawn by tesspack itself; the white
# digits laid on a dark ground by ImageMagick's convert, to be seen on a page.
# Run from the tree's top after a build: docs/make_art_pictures.sh [build/test]
set -eu
build=${1:-build/test}
tesspack=$build/programs/tesspack/tesspack
work=$(mktemp -d "${TMPDIR:-/tmp}/tess-art.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$tesspack" build examples/charset.toml -o "$work/charset.til"
"$tesspack" preview "$work/charset.til" -o "$work/charset.png" --scale 3
convert "$work/charset.png" -background '#203040' -flatten docs/charset.png
"$tesspack" build examples/coin.toml -o "$work/coin.til"
"$tesspack" preview "$work/coin.til" -o docs/coin.gif --scale 2 --delay 100
