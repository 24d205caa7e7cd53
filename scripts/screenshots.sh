#!/bin/sh
# Takes the screenshots of docs/ on a virtual display, from the showcase
# windows of the widget tests. Run from the repository root after a build:
#   scripts/screenshots.sh [build-folder]
set -eu
build=${1:-build/default}
out=$(pwd)/docs
mkdir -p "$out"
KV_SHOWCASE_DIR=$out xvfb-run -a -s '-screen 0 1600x900x24' \
  "$build/bin/test_ui" --gtest_also_run_disabled_tests --gtest_filter='*Showcase.*'
ls -l "$out"/*.png
