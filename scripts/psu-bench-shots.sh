#!/bin/bash
# Screenshots of a power-supply bench on a virtual display: OCP and OPP sweeps
# (one PASS, one FAIL) against kvload-sim's 12 V / 5 A supply over TCP. Writes
# docs/psu-log.png, psu-summary.png, psu-chart.png (with the read-out under
# the mouse) and docs/editor-clicked-step.png (a clicked OCP step in the
# editor, the step list scrolled right with StepNo. and Function in place).
# Run from the repository root after a build:
#   scripts/psu-bench-shots.sh [build-folder]
set -euo pipefail
build=${1:-build/default}
out=$(pwd)/docs
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/bin/kvload-sim" --port 0 --source supply >"$work/sim.out" 2>&1 &
sim=$!
for _ in $(seq 50); do grep -q 'tcp=' "$work/sim.out" && break; sleep 0.1; done
port=$(grep -o 'tcp=[0-9.]*:[0-9]*' "$work/sim.out" | head -1 | sed 's/.*://')
printf '[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\nLanPort=%s\r\nDefaultPath=%s\r\n[System]\r\nAutoSaveLog=0\r\n' \
  "$port" "$work" >"$work/KV26.INI"
head -1 examples/psu_ocp_opp.tsf >"$work/psu.tsf"
# The second sweep's pass window lies above the supply's 5 A limit: FAIL.
printf '%s\r\n' '1,OCP,,,,,,,3,7,0.1,6,5.5,4.5,,,,,,,,,,,,' '2,Rest,,,0,2,0,,,,,,,,,,,,,,,,,,,' \
  '3,OCP,,,,,,,3,7,0.1,6,6.5,5.6,,,,,,,,,,,,' '4,OPP,,,,,,,40,80,2,6,66,54,,,,,,,,,,,,' \
  '5,Rest,,,0,2,0,,,,,,,,,,,,,,,,,,,' >>"$work/psu.tsf"

export KV_BUILD=$build KV_WORK=$work KV_OUT=$out
xvfb-run -a -s '-screen 0 1600x900x24' bash -c '
  set -eu
  "$KV_BUILD/bin/kvload" --ini "$KV_WORK/KV26.INI" "$KV_WORK/psu.tsf" &
  app=$!
  win=""
  for _ in $(seq 100); do
    win=$(xdotool search --name "Kalvane DC Load Test Program" 2>/dev/null | head -1) && [ -n "$win" ] && break
    sleep 0.1
  done
  xdotool windowmove "$win" 0 0 windowsize "$win" 1600 870
  sleep 0.5
  xdotool mousemove 400 15 click 1
  xdotool key F5
  sleep 26
  # "Test Finished" has no window manager to place it: its OK button.
  xdotool mousemove 875 407 click 1
  sleep 0.5
  import -window root "$KV_OUT/psu-log.png"
  xdotool mousemove 151 591 click 1
  sleep 0.5
  import -window root "$KV_OUT/psu-summary.png"
  xdotool mousemove 82 591 click 1
  sleep 0.5
  xdotool mousemove 1090 700
  sleep 0.5
  import -window root "$KV_OUT/psu-chart.png"
  # The step list scrolled to its right end, then the second OCP clicked.
  xdotool mousemove 1568 557 click --repeat 40 1
  xdotool mousemove 868 150 click 1
  sleep 0.5
  import -window root "$KV_OUT/editor-clicked-step.png"
  kill "$app"
'
ls -l "$out"/psu-*.png "$out"/editor-clicked-step.png
