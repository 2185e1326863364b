# make test: install what is missing, build, run every test.
# make run:  install what is missing, build, start the simulated meter, open Nightlux on it.
# make bench: build the benchmarks in Release in a folder of their own and run them
#             (BENCH_ARGS: options for Google Benchmark; by default the median of ten
#             repetitions of each, interleaved so that a passing load spreads over all)

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
BENCH_BUILD ?= build-bench
BENCH_ARGS ?= --benchmark_repetitions=10 --benchmark_min_time=0.1 \
	--benchmark_enable_random_interleaving=true --benchmark_display_aggregates_only=true

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@scripts/run-nightlux $(BUILD)

# The build runs as from a shell, so its output keeps out make's directory lines.
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@env -u MAKEFLAGS -u MAKELEVEL cmake --build $(BENCH_BUILD) -j $(JOBS) --target nightlux_bench
	@$(BENCH_BUILD)/bench/nightlux_bench $(BENCH_ARGS)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)
