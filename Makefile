# SPDX-License-Identifier: GPL-3.0-or-later
# Wraps CMake: installs what is missing, configures into build/, builds, and
# runs the program (make run) or the whole test suite (make test).
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
# Seconds each fuzz target runs: briefly in make test, longer in make fuzz.
FUZZ_SECONDS ?= 600
JOBS       ?= $(shell nproc)
# CI treats warnings as errors.
WERROR     ?= $(if $(CI),ON,OFF)

.PHONY: all deps configure build run test test-fast test-asan-build test-tsan-build \
        test-fuzz-build fuzz bench package clean lint format-check

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DKLAVORA_WERROR=$(WERROR)

configure: $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-program.sh $(BUILD)

# The whole suite: every test of the normal build (with a virtual display and a
# private sound server), then the unit and window tests again under ASan and
# UBSan, the sound tests under ThreadSanitizer (its reports go to files, so
# that none is lost while the sound libraries' standard error is routed
# elsewhere), and each fuzz target for 15 seconds; first the format check and
# the static checks.
test: build test-asan-build test-tsan-build test-fuzz-build
	scripts/check-format.sh
	scripts/lint.sh $(BUILD)
	scripts/run-tests.sh $(BUILD)
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp scripts/run-tests.sh $(ASAN_BUILD) -L 'unit|gui'
	rm -rf $(TSAN_BUILD)/reports && mkdir -p $(TSAN_BUILD)/reports
	TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp log_path=$(CURDIR)/$(TSAN_BUILD)/reports/tsan" \
	    scripts/run-tests.sh $(TSAN_BUILD) || { cat $(TSAN_BUILD)/reports/* 2>/dev/null; exit 1; }
	@if ls $(TSAN_BUILD)/reports/* >/dev/null 2>&1; then cat $(TSAN_BUILD)/reports/*; exit 1; fi
	cd $(FUZZ_BUILD) && KLAVORA_FUZZ_SECONDS=15 ctest --output-on-failure -L fuzz

# clang-tidy, shellcheck and flake8 (see scripts/lint.sh).
lint: configure
	scripts/lint.sh $(BUILD)

# Every C++ file as .clang-format has it.
format-check:
	scripts/check-format.sh

test-fast: build
	scripts/run-tests.sh $(BUILD) -L unit

test-asan-build: | deps
	cmake -S . -B $(ASAN_BUILD) -DKLAVORA_WERROR=$(WERROR) -DKLAVORA_SANITIZE=ON \
	    -DKLAVORA_GUI=ON -DKLAVORA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The Debian package, klavora_VERSION_ARCH.deb in the build folder.
package: build
	cmake --build $(BUILD) --target package

# ThreadSanitizer (clang) over the tests of the sound layer only: the wave
# layer's hand-offs and real sound through the private PulseAudio.
test-tsan-build: | deps
	cmake -S . -B $(TSAN_BUILD) -DKLAVORA_WERROR=$(WERROR) -DKLAVORA_TSAN=ON \
	    -DCMAKE_CXX_COMPILER=clang++ -DKLAVORA_GUI=OFF -DKLAVORA_BENCH=OFF "-DKLAVORA_TEST_AREAS=base;store;sound;helper;audio"
	cmake --build $(TSAN_BUILD) -j $(JOBS)

# The libFuzzer targets (clang, with ASan and UBSan), without the test programs.
test-fuzz-build: | deps
	cmake -S . -B $(FUZZ_BUILD) -DKLAVORA_WERROR=$(WERROR) -DKLAVORA_FUZZ=ON \
	    -DCMAKE_CXX_COMPILER=clang++ -DKLAVORA_GUI=OFF -DKLAVORA_BENCH=OFF -DKLAVORA_TEST_AREAS=
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS, adding what it finds to its corpus in the
# build folder.
fuzz: test-fuzz-build
	cd $(FUZZ_BUILD) && KLAVORA_FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --output-on-failure -L fuzz

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done
	@bench/bench_program.sh $(BUILD) || true

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
