#!/usr/bin/env bash
# A real-time soak: kvload-run drives kvload-sim through an endless FOR/LOOP
# list for a given time; the script reports the runner's resident memory and
# CPU time at the start and at the end, then stops the run as Ctrl-C would and
# checks that "LOAD OFF" was the last line the load received.
# Usage: scripts/soak.sh [SECONDS] [tcp|pty] [BUILD_DIR]   (default 3600 tcp build/default)
set -euo pipefail
seconds=${1:-3600}
transport=${2:-tcp}
build=${3:-build/default}
bin="$build/bin"
for prog in kvload-run kvload-sim; do
  [ -x "$bin/$prog" ] || { echo "soak: $bin/$prog is not built" >&2; exit 2; }
done
case "$transport" in tcp | pty) ;; *) echo "soak: transport is tcp or pty" >&2; exit 2 ;; esac

work=$(mktemp -d)
sim_pid="" run_pid=""
cleanup() {
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# 1200 s at 2.5 A, 600 s rest, 32767 times: longer than any soak.
printf '%s\r\n' \
  'StepNo.,Function,Mode,SinkValue,VStop,TStop,AhStop,Times,Start,Step,Stop,Vth,Limit High,Limit Low,High,Low,T-High,T-Low,Rise,Fall,Load Off V,CV Add,Cycle Count,Ramp CC,Ramp Time,Total Step' \
  '1,FOR,,,,,,32767,,,,,,,,,,,,,,,,,,' \
  '2,Discharge,CC,2.5,0,1200,0,,,,,,,,,,,,,,,,,,,' \
  '3,Rest,,,0,600,0,,,,,,,,,,,,,,,,,,,' \
  '4,LOOP,,,,,,,,,,,,,,,,,,,,,,,,' >"$work/soak.tsf"
: >"$work/KV26.INI"

if [ "$transport" = tcp ]; then
  sim_args=(--no-serial --port 0)
else
  sim_args=(--no-tcp)
fi
: >"$work/sim.out"
"$bin/kvload-sim" --source supply --log "$work/sim.log" "${sim_args[@]}" >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  grep -q 'kvload-sim ready' "$work/sim.out" && break
  sleep 0.1
done
ready=$(grep -m1 'kvload-sim ready' "$work/sim.out") || { echo "soak: kvload-sim did not start" >&2; exit 1; }
if [ "$transport" = tcp ]; then
  link=(--lan "127.0.0.1:${ready##*:}")
else
  link=(--serial "${ready##*serial=}")
fi

"$bin/kvload-run" --ini "$work/KV26.INI" -q "${link[@]}" "$work/soak.tsf" >"$work/rows.csv" \
  2>"$work/run.err" &
run_pid=$!

# RSS (kB) and CPU seconds (user + system) of the runner.
sample() {
  local rss ticks
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$run_pid/status")
  ticks=$(awk '{ print $14 + $15 }' "/proc/$run_pid/stat")
  echo "$rss $(awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", t / hz }')"
}
rows() { grep -c '^[0-9]' "$work/rows.csv" || true; }

sleep 10  # past the identification and the first steps
read -r rss0 cpu0 < <(sample)
t0=$(date +%s)
echo "soak: $transport, $seconds s; start: RSS ${rss0} kB, CPU ${cpu0} s, $(rows) rows"
end=$((t0 + seconds))
while [ "$(date +%s)" -lt "$end" ]; do
  kill -0 "$run_pid" 2>/dev/null || { echo "soak: kvload-run ended early" >&2; cat "$work/run.err" >&2; exit 1; }
  sleep $((end - $(date +%s) < 60 ? end - $(date +%s) : 60))
  read -r rss cpu < <(sample)
  echo "  $(($(date +%s) - t0)) s: RSS ${rss} kB, CPU ${cpu} s, $(rows) rows"
done
read -r rss1 cpu1 < <(sample)
t1=$(date +%s)
kill -INT "$run_pid"
status=0
wait "$run_pid" || status=$?
run_pid=""
sleep 0.2
last=$(awk -F'\t' '$2 == "RX" { line = $3 } END { print line }' "$work/sim.log")

awk -v r0="$rss0" -v r1="$rss1" -v c0="$cpu0" -v c1="$cpu1" -v dt="$((t1 - t0))" 'BEGIN {
  printf "end:   RSS %d kB (%+d kB), CPU %.2f s (%.3f%% of one core over %d s)\n",
         r1, r1 - r0, c1, 100 * (c1 - c0) / (dt > 0 ? dt : 1), dt }'
echo "rows: $(rows); kvload-run exit status $status after SIGINT (3 expected)"
echo "last line the load received: $last"
[ "$last" = "LOAD OFF" ] && [ "$status" = 3 ]
