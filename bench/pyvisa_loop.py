#!/usr/bin/python3
"""The loop a user would write instead of kvload: PyVISA (pure-Python backend)
on the load's TCP socket, one measurement query a second at absolute deadlines
on the monotonic clock, the load switched on before and off after.

    pyvisa_loop.py --port N [--seconds N] [--name PREFIX]

Prints "ready T" once connected (T: the start of its clock, time.monotonic()),
then PREFIX_cpu_pct, PREFIX_tick_p99_ms and PREFIX_drift_ms_per_min as
"figure<TAB>name<TAB>value" lines, measured as station_timing measures kvload:
CPU time over wall time of the run (start-up and imports not counted, as
kvload's start-up is not), each period's distance from 1000 ms.
"""
import argparse
import math
import sys
import time

import pyvisa


def percentile(values, p):
    ordered = sorted(values)
    rank = math.ceil(p / 100.0 * len(ordered))
    return ordered[min(len(ordered) - 1, max(rank, 1) - 1)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--name", default="pyvisa")
    args = parser.parse_args()

    rm = pyvisa.ResourceManager("@py")
    load = rm.open_resource(f"TCPIP0::127.0.0.1::{args.port}::SOCKET",
                            read_termination="\r\n", write_termination="\r\n",
                            timeout=2000)
    load.write("MODE CC")
    load.write("CC:HIGH 1")
    load.write("CC:LOW 1")
    load.write("LOAD ON")

    # Whoever runs this beside kvload starts kvload now, not during the imports,
    # and may place kvload's ticks between this loop's: the loop's first
    # deadline is one second after the time printed (time.monotonic()).
    wall0, cpu0 = time.monotonic(), time.process_time()
    print(f"ready {wall0:.6f}", flush=True)
    deadline = wall0
    wakes, readings = [], []
    while True:
        deadline += 1.0
        if deadline > wall0 + args.seconds + 0.5:
            break
        time.sleep(max(0.0, deadline - time.monotonic()))
        wakes.append(time.monotonic())
        reply = load.query("MEAS:VC?")
        readings.append([float(x) for x in reply.split(",")])
    load.write("LOAD OFF")
    wall, cpu = time.monotonic() - wall0, time.process_time() - cpu0
    load.close()

    errors = [abs((b - a) * 1000.0 - 1000.0) for a, b in zip(wakes, wakes[1:])]
    span_ms = (wakes[-1] - wakes[0]) * 1000.0
    drift = span_ms - 1000.0 * len(errors)
    print(f"pyvisa: {wall:.1f} s wall, {len(wakes)} ticks, cpu {cpu:.3f} s "
          f"({time.process_time():.3f} s with the start-up and imports); period error "
          f"median {percentile(errors, 50):.2f} ms, p99 {percentile(errors, 99):.2f} ms",
          file=sys.stderr)
    for key, value in (("cpu_pct", 100.0 * cpu / wall),
                       ("tick_p99_ms", percentile(errors, 99)),
                       ("drift_ms_per_min", abs(drift) / (span_ms / 60000.0))):
        print(f"figure\t{args.name}_{key}\t{value:.4f}")


if __name__ == "__main__":
    main()
