#!/bin/sh
# Runs LIST against kvload-sim and fails unless every step ran and passed.
set -eu
list=${1:?usage: ci-example.sh LIST.tsf [ARTEFACTS]}
out=${2:-artefacts}
mkdir -p "$out"

# The simulated load on a free port; its ready line says which.
kvload-sim --port 0 --log "$out/load.log" >"$out/sim.out" 2>"$out/sim.err" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
until grep -q ready "$out/sim.out" 2>/dev/null; do sleep 0.1; done
address=$(sed -n 's/.* tcp=\([^ ]*\).*/\1/p' "$out/sim.out")

# A run never outlives its budget: the load is switched off and the files
# are written even then.
status=0
kvload-run --lan "$address" --strict --timeout 600 --format jsonl \
  --csv "$out/report.csv" --summary "$out/summary.csv" --junit "$out/junit.xml" \
  --bdf "$out/run.bdf.csv" -- "$list" >"$out/run.jsonl" 2>"$out/run.err" || status=$?

jq -r 'select(.type == "end") | "\(.run): \(.reason), verdict \(.verdict // "none"), exit \(.exit)"' \
  "$out/run.jsonl"
jq -r 'select(.type == "step" and .verdict == "FAIL") | "step \(.step): \(.note)"' "$out/run.jsonl"
exit "$status"
