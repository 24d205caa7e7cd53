#!/bin/sh
# Takes the screenshots of docs/ on a virtual display with kvload-screenshots.
# Run from the repository root after a configure:
#   scripts/screenshots.sh [build-folder]
set -eu
build=${1:-build/default}
out=$(pwd)/docs
mkdir -p "$out"
cmake --build "$build" --target kvload-screenshots
xvfb-run -a -s '-screen 0 1600x900x24' "$build/bin/kvload-screenshots" "$out"
ls -l "$out"/*.png
