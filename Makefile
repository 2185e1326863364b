# make test: install what is missing, build, run every test.
# make run:  install what is missing, build, start the simulated meter, open Nightlux on it.
# make fuzz: run every fuzz target for FUZZ_SECONDS (default 60) each.
# make soak: the fault soak against the simulated meter, SOAK_CYCLES (default 100000) cycles.

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

SOAK_CYCLES ?= 100000

.PHONY: all deps configure build test run fuzz soak clean

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

fuzz: deps
	@fuzz/run

soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target nightlux-soak
	@$(BUILD)/tests/soak/nightlux-soak --cycles $(SOAK_CYCLES)

clean:
	rm -rf $(BUILD)
