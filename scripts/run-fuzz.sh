#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a set time each, one after
# the other, from a scratch copy of its seed corpus (the repository's corpus
# is never written). A crash, leak, hang or broken property of any target
# makes the script fail; the input that caused it is kept under
# <build>/fuzz-findings/ for a regression test.
#
#   scripts/run-fuzz.sh <build-dir> <seconds-per-target> <target>...
set -uo pipefail

build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")/.." && pwd)
findings="$build/fuzz-findings"
mkdir -p "$findings"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kvload-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failed=()
printf '%-12s %10s %8s  %s\n' target runs "runs/s" result
for target in "$@"; do
  program="$build/tests/fuzz/fuzz_$target"
  if [ ! -x "$program" ]; then
    echo "run-fuzz: $program is missing; build the fuzz preset first" >&2
    exit 2
  fi
  corpus="$scratch/$target"
  mkdir -p "$corpus"
  cp -r "$here/tests/fuzz/corpus/$target/." "$corpus/"
  log="$findings/$target.log"
  # A single input that takes 10 s is a hang, not a slow input.
  "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" "$corpus" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    result=clean
  else
    result="FAILED (status $status; see $log)"
    failed+=("$target")
  fi
  printf '%-12s %10s %8s  %s\n' "$target" "${runs:-?}" "${rate:-?}" "$result"
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "run-fuzz: ${failed[*]} failed; inputs in $findings" >&2
  exit 1
fi
