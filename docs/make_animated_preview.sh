#!/bin/sh
# Makes docs/preview.gif: examples/knight.til animated by tesspack itself.
# Run from the tree's top after a build: docs/make_animated_preview.sh [build/test]
set -eu
build=${1:-build/test}
"$build/programs/tesspack/tesspack" preview examples/knight.til -o docs/preview.gif --scale 3 --delay 150
