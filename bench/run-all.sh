#!/usr/bin/env bash
# Runs every benchmark of a build tree and prints one table: figure, value,
# target, reference, ratio and whether the target was met. Each ratio is
# taken in the same run as its reference.
# Usage: bench/run-all.sh [BUILD_DIR]   (default build/default)
#   BENCH_QUICK=1   a smoke run: 5 s instead of 60 s on the station, fewer repeats
#   BENCH_KEEP=DIR  keep every program's own output in DIR
set -euo pipefail
build=${1:-build/default}
bin="$build/bin"
here=$(cd "$(dirname "$0")" && pwd)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

if [ "${BENCH_QUICK:-0}" = 1 ]; then
  seconds=5 stops=3 starts=2 positions=200 mintime=(--benchmark_min_time=0.05)
else
  seconds=60 stops=10 starts=5 positions=1000 mintime=()
fi

out=${BENCH_KEEP:-$(mktemp -d)}
mkdir -p "$out"
[ -n "${BENCH_KEEP:-}" ] || trap 'rm -rf "$out"' EXIT
figures="$out/figures.tsv"
: >"$figures"

for prog in bench_result_log bench_step_file bench_chart station_timing gui_timing report_timing \
  publish_throughput sleep_loop kvload-sim; do
  if [ ! -x "$bin/$prog" ]; then
    echo "run-all: $bin/$prog is not built (cmake --build $build)" >&2
    exit 1
  fi
done

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')
echo "machine: $(nproc) cores, $(uname -m), $cpu"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "started: $(date -u '+%Y-%m-%d %H:%M UTC')${BENCH_QUICK:+ (BENCH_QUICK)}"

# Google Benchmark programs: every number of a run in their JSON (one key a
# line) becomes a NAME.KEY figure.
for b in "$bin"/bench_*; do
  [ -x "$b" ] || continue
  name=$(basename "$b")
  echo "running $name ..." >&2
  "$b" --benchmark_out="$out/$name.json" --benchmark_out_format=json "${mintime[@]}" \
    >"$out/$name.log" 2>&1
  awk '/"benchmarks"/ { inside = 1 }
       inside && /"name":/ { n = $0; sub(/.*"name": *"/, "", n); sub(/".*/, "", n) }
       inside && /^ *"[A-Za-z_0-9]+": *-?[0-9.eE+-]+,?$/ {
         k = $1; gsub(/[":]/, "", k); x = $2; sub(/,$/, "", x)
         printf "figure\t%s.%s\t%s\n", n, k, x }' "$out/$name.json" >>"$figures"
done

# The PyVISA loop runs beside the station's tick runs against the same simulator,
# and the kernel's bare sleep (sleep_loop) beside both.
reference=(--reference "$here/pyvisa_loop.py")
echo "running station_timing over TCP ($seconds s, the PyVISA loop beside it) ..." >&2
"$bin/station_timing" --seconds "$seconds" --stops "$stops" "${reference[@]}" >>"$figures" \
  2>"$out/station_tcp.log"
echo "running station_timing over a pseudo-terminal ($seconds s, the PyVISA loop beside it) ..." >&2
"$bin/station_timing" --seconds "$seconds" --stops "$stops" --serial "${reference[@]}" \
  >>"$figures" 2>"$out/station_pty.log"
# The same station publishing every run to a broker that refuses each
# connection, and to one that takes it and never answers.
for broker in dead silent; do
  echo "running station_timing over TCP publishing to a $broker broker ($seconds s) ..." >&2
  "$bin/station_timing" --seconds "$seconds" --stops "$stops" --broker "$broker" >>"$figures" \
    2>"$out/station_${broker}_broker.log"
done
rows=1000000
[ "${BENCH_QUICK:-0}" = 1 ] && rows=100000
echo "running publish_throughput ($rows rows to a local Mosquitto) ..." >&2
"$bin/publish_throughput" --rows "$rows" >>"$figures" 2>"$out/publish.log"
echo "running gui_timing ..." >&2
"$bin/gui_timing" --starts "$starts" --positions "$positions" >>"$figures" 2>"$out/gui.log"
echo "running report_timing ..." >&2
"$bin/report_timing" "$out/week-report.pdf" >>"$figures" 2>"$out/report.log"

echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
awk -F'\t' -f "$here/report.awk" "$figures"
