# make test: install what is missing, build, run every test.
# make run:  install what is missing, build, start the simulated meter, open Nightlux on it.
# make fuzz: run every fuzz target for FUZZ_SECONDS (default 60) each.
# make soak: the fault soak against the simulated meter, SOAK_CYCLES (default 100000) cycles.
# make install [PREFIX=/usr/local] [DESTDIR=...]: build the programs and install them.
# make package: build the Debian packages in build-package/ and check them with lintian.
# make bench: build the benchmarks in Release in a folder of their own and run them
#             (BENCH_ARGS: options for Google Benchmark; by default the median of ten
#             repetitions of each, interleaved so that a passing load spreads over all)

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /usr/local
# The build's own make runs below this one; its directory lines are noise.
MAKEFLAGS += --no-print-directory

SOAK_CYCLES ?= 100000

.PHONY: all deps configure build test run fuzz soak reader-soak install package bench clean
BENCH_BUILD ?= build-bench
BENCH_ARGS ?= --benchmark_repetitions=10 --benchmark_min_time=0.1 \
	--benchmark_enable_random_interleaving=true --benchmark_display_aggregates_only=true


all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@scripts/run-nightlux $(BUILD)

fuzz: deps
	@fuzz/run

soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target nightlux-soak
	@$(BUILD)/tests/soak/nightlux-soak --cycles $(SOAK_CYCLES)

# make reader-soak: nightlux-read's loop with file, skyglow and MQTT, SOAK_CYCLES readings.
reader-soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target nightlux-reader-soak
	@$(BUILD)/tests/soak/nightlux-reader-soak --readings $(SOAK_CYCLES)

install: configure
	@cmake --build $(BUILD) -j $(JOBS) --target nightlux_installables
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD)

package: deps
	@scripts/build-packages

# Release at -O2, as Debian builds its packages (g++ 12 at -O3 raises false -Wrestrict
# errors on some std::string concatenations). The build runs as from a shell, so its output
# keeps out make's directory lines.
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release \
		"-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" >/dev/null
	@env -u MAKEFLAGS -u MAKELEVEL cmake --build $(BENCH_BUILD) -j $(JOBS) --target nightlux_bench
	@$(BENCH_BUILD)/bench/nightlux_bench $(BENCH_ARGS)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)
