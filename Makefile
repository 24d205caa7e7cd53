# Front door: every target installs what it needs first.
.PHONY: deps configure build test test-asan test-windows fuzz bench format demo fleet-demo run clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake --preset default

build: configure
	cmake --build --preset default

test: build
	ctest --preset default

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# The pure core and its tests cross-built for Windows and run under Wine; the
# Qt programs are not built (see README, "Building on Windows").
test-windows:
	@bash scripts/install-windows-deps.sh
	cmake --preset windows
	cmake --build --preset windows
	ctest --preset windows

# A short real sequence on the simulated load; the report lands in the build tree.
demo: build
	@mkdir -p build/default/demo
	build/default/bin/kvload-run --sim examples/demo.tsf --csv build/default/demo/DEMO.CSV
	@echo
	@echo "demo: report written to $(CURDIR)/build/default/demo/DEMO_0.CSV"

# A lab of three benches on one Mosquitto broker: live states, a remote Stop
# of bench 2 and the "LOAD OFF" its load received last.
fleet-demo: build
	@bash scripts/fleet-demo.sh build/default/bin

# The desktop program on the simulated load inside it, with the demo list open:
# press "Start Test" (F5) to see a run without hardware.
run: build
	build/default/bin/kvload --sim examples/demo.tsf

# Each libFuzzer target for FUZZ_SECONDS from its seed corpus in tests/fuzz/corpus.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := step_file ini reply numbers csv_export runner_tick sim_protocol

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	@bash scripts/run-fuzz.sh build/fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Every benchmark, then one table of figures against their targets (about 5
# minutes; BENCH_QUICK=1 for a smoke run of about one and a half). The PyVISA
# loop that runs beside the station as its reference comes from Debian.
bench: build
	@bash scripts/install-bench-deps.sh
	@bash bench/run-all.sh build/default

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build
