#!/usr/bin/env bash
# Runs every benchmark of a build tree and prints their figures.
# Usage: bench/run-all.sh [BUILD_DIR]   (default build/default)
set -euo pipefail
build=${1:-build/default}
here=$(cd "$(dirname "$0")" && pwd)
echo "machine: $(nproc) cores, $(uname -m), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
shopt -s nullglob
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
for s in "$here"/*_bench.sh; do
  echo
  echo "== $(basename "$s")"
  bash "$s" "$build"
done
