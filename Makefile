# make test: install what is missing, build, run every test.
# make run:  install what is missing, build, start the simulated meter, open Nightlux on it.
# make fuzz: run every fuzz target for FUZZ_SECONDS (default 60) each.
# make soak: the fault soak against the simulated meter, SOAK_CYCLES (default 100000) cycles.
# make install [PREFIX=/usr/local] [DESTDIR=...]: build the programs and install them.
# make package: build the Debian packages in build-package/ and check them with lintian.

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /usr/local
# The build's own make runs below this one; its directory lines are noise.
MAKEFLAGS += --no-print-directory

SOAK_CYCLES ?= 100000

.PHONY: all deps configure build test run fuzz soak install package clean

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

install: configure
	@cmake --build $(BUILD) -j $(JOBS) --target nightlux_installables
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD)

package: deps
	@scripts/build-packages

clean:
	rm -rf $(BUILD)
