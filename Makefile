# make test: install what is missing, build, run every test.
# make run:  install what is missing, build, start the simulated meter, open Nightlux on it.

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The build's own make runs below this one; its directory lines are noise.
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build test run clean

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

clean:
	rm -rf $(BUILD)
