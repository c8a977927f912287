#!/bin/sh
# Makes docs/aseprite.png: examples/knight.til unpacked into .aseprite files
# (a scene a file, a view a tag), built back from them into the same bytes,
# and previewed: a row a tag, a column a frame.
# Run from the tree's top after a build: docs/make_aseprite_picture.sh [build/test]
set -eu
build=${1:-build/test}
tesspack=$build/programs/tesspack/tesspack
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$tesspack" unpack examples/knight.til -o "$scratch/knight" --format aseprite
"$tesspack" build "$scratch/knight/knight.toml" -o "$scratch/again.til"
"$tesspack" verify examples/knight.til >/dev/null
"$tesspack" preview "$scratch/again.til" -o docs/aseprite.png --scale 3
