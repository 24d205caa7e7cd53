#!/bin/bash
# Screenshots of the desktop program after a demo run against kvload-sim over
# TCP, on a virtual display: docs/main-window-log.png and
# docs/main-window-chart.png; then a second run for the run state beside
# Start/Stop: docs/run-state-running.png, run-state-stopped.png and, once the
# simulated load is killed, run-state-link-lost.png. Run from the repository
# root after a build:
#   scripts/main-window-shots.sh [build-folder]
set -euo pipefail
build=${1:-build/default}
out=$(pwd)/docs
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/bin/kvload-sim" --port 0 >"$work/sim.out" 2>&1 &
sim=$!
for _ in $(seq 50); do grep -q 'tcp=' "$work/sim.out" && break; sleep 0.1; done
port=$(grep -o 'tcp=[0-9.]*:[0-9]*' "$work/sim.out" | head -1 | sed 's/.*://')
printf '[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\nLanPort=%s\r\nDefaultPath=%s\r\n[System]\r\nAutoSaveLog=0\r\n' \
  "$port" "$work" >"$work/KV26.INI"

export KV_SIM=$sim KV_BUILD=$build KV_WORK=$work KV_OUT=$out KV_STEPS=$(pwd)/examples/demo.tsf
xvfb-run -a -s '-screen 0 1600x900x24' bash -c '
  set -eu
  "$KV_BUILD/bin/kvload" --ini "$KV_WORK/KV26.INI" "$KV_STEPS" &
  app=$!
  win=""
  for _ in $(seq 100); do
    win=$(xdotool search --name "Kalvane DC Load Test Program" 2>/dev/null | head -1) && [ -n "$win" ] && break
    sleep 0.1
  done
  xdotool windowmove "$win" 0 0 windowsize "$win" 1600 870
  sleep 0.5
  # No window manager: a click on the caption gives the window the keyboard.
  xdotool mousemove 400 15 click 1
  xdotool key F5
  sleep "${KV_RUN_SECONDS:-45}"
  # "Test Finished" has no window manager to place it: its OK button.
  xdotool mousemove "${KV_OK_X:-875}" "${KV_OK_Y:-407}" click 1
  sleep 0.5
  import -window root "$KV_OUT/main-window-log.png"
  xdotool mousemove "${KV_CHART_TAB_X:-81}" "${KV_CHART_TAB_Y:-601}" click 1
  sleep 0.5
  import -window root "$KV_OUT/main-window-chart.png"
  xdotool mousemove "${KV_LOG_TAB_X:-30}" "${KV_LOG_TAB_Y:-601}" click 1
  xdotool key F5
  sleep 4
  import -window root "$KV_OUT/run-state-running.png"
  xdotool key shift+F5
  sleep 1
  import -window root "$KV_OUT/run-state-stopped.png"
  xdotool key F5
  sleep 4
  kill "$KV_SIM"
  # The station tries for two seconds to reach the load again.
  sleep 6
  import -window root "$KV_OUT/run-state-link-lost.png"
  kill "$app"
'
ls -l "$out"/main-window-*.png "$out"/run-state-*.png
