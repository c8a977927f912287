#!/bin/sh
# Makes docs/rogue.gif and docs/slime.gif: examples/rogue.toml (one sheet
# of 48 x 48 cells) and examples/slime.toml (an Aseprite atlas) built and
# animated by tesspack itself.
# Run from the tree's top after a build: docs/make_layout_pictures.sh [build/test]
set -eu
build=${1:-build/test}
tesspack=$build/programs/tesspack/tesspack
work=$(mktemp -d "${TMPDIR:-/tmp}/tess-layout.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$tesspack" build examples/rogue.toml -o "$work/rogue.til"
"$tesspack" preview "$work/rogue.til" -o docs/rogue.gif --scale 2 --delay 150
"$tesspack" build examples/slime.toml -o "$work/slime.til"
"$tesspack" preview "$work/slime.til" -o docs/slime.gif --scale 3 --delay 120
