#!/usr/bin/env bash
# Three benches of a lab on one Mosquitto broker: three simulated loads, three
# kvload-run publishing to a broker on a free loopback port, the live state of
# every bench as a subscriber sees it, one remote Stop to bench 2 and the last
# lines its load received. Everything it starts ends with it, also on failure.
# Usage: scripts/fleet-demo.sh [bin folder, default build/default/bin]
set -euo pipefail
bin="${1:-build/default/bin}"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "fleet-demo: $*" >&2
  exit 1
}

# Waits up to 10 s for a line matching $2 in file $1.
wait_for_line() {
  for _ in $(seq 100); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no \"$2\" in $1"
}

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest stderr\n' \
  "$port" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
pids+=($!)
wait_for_line "$work/broker.log" " running"
broker="mqtt://127.0.0.1:$port"
echo "fleet-demo: Mosquitto broker on $broker"

mosquitto_sub -p "$port" -t 'kvload/+/state' -t 'kvload/+/end' -F '%t %p' >"$work/states" &
pids+=($!)

printf 'StepNo.\r\n1,Discharge,CC,1,0,120,0\r\n' >"$work/list.tsf"
for n in 1 2 3; do
  "$bin/kvload-sim" --no-serial --port 0 --log "$work/load$n.log" >"$work/sim$n.out" 2>&1 &
  pids+=($!)
  sim_pids[n]=$!
  wait_for_line "$work/sim$n.out" "kvload-sim ready"
  load="$(grep -o 'tcp=[^ ]*' "$work/sim$n.out" | sed 's/.*://')"
  "$bin/kvload-run" --lan "127.0.0.1:$load" --publish "$broker" --bench "bench$n" --remote-stop \
    --quiet "$work/list.tsf" >"$work/run$n.out" 2>"$work/run$n.err" &
  pids+=($!)
  run_pids[n]=$!
  echo "fleet-demo: bench$n runs on a simulated load at 127.0.0.1:$load"
done

# The latest state of every bench, one line each, as a dashboard would show it.
show_states() {
  python3 - "$work/states" <<'PY'
import json, sys
latest = {}
for line in open(sys.argv[1], encoding="utf-8"):
    topic, _, payload = line.partition(" ")
    try:
        if topic.endswith("/state"):
            latest[topic.split("/")[1]] = json.loads(payload)
    except ValueError:
        pass
for bench, s in sorted(latest.items()):
    step = f"step {s['step']}/{s['steps']} {s['function']}" if s.get("step") else ""
    print(f"  {bench:8} {s['state']:9} {step:22} {s.get('model') or ''}")
PY
}

for n in 1 2 3; do
  wait_for_line "$work/states" "kvload/bench$n/state .*\"step\":1"
done
sleep 2
echo "fleet-demo: live state (mosquitto_sub -t 'kvload/+/state'):"
show_states

echo "fleet-demo: mosquitto_pub -t kvload/bench2/command -m stop"
mosquitto_pub -p "$port" -t kvload/bench2/command -m stop
status=0
wait "${run_pids[2]}" || status=$?
[ "$status" -eq 3 ] || fail "bench2 ended with exit status $status, not 3 (stopped)"
wait_for_line "$work/states" 'kvload/bench2/state .*"state":"offline"'
echo "fleet-demo: bench2 stopped (exit status $status):"
show_states
python3 - "$work/states" <<'PY'
import json, sys
states, end = [], {}
for line in open(sys.argv[1], encoding="utf-8"):
    topic, _, payload = line.partition(" ")
    if topic == "kvload/bench2/state":
        state = json.loads(payload)["state"]
        if not states or states[-1] != state:
            states.append(state)
    elif topic == "kvload/bench2/end":
        end = json.loads(payload)
print(f"  bench2 went {' -> '.join(states)}; its end: reason {end.get('reason')}, exit {end.get('exit')}")
PY

kill -TERM "${sim_pids[2]}"
wait "${sim_pids[2]}" || true
echo "fleet-demo: the last lines bench2's load received:"
grep -P '\tRX\t' "$work/load2.log" | tail -n 4 | cut -f3 | sed 's/^/  /'
last="$(grep -P '\tRX\t' "$work/load2.log" | tail -n 1 | cut -f3)"
[ "$last" = "LOAD OFF" ] || fail "bench2's load last received \"$last\", not LOAD OFF"
echo "fleet-demo: ok; stopping bench1 and bench3, the loads and the broker"
