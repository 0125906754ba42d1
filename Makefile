# Wraps CMake: installs what is missing, configures into build/, builds, and
# runs the program (make run) or the whole test suite (make test).
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
# CI treats warnings as errors.
WERROR     ?= $(if $(CI),ON,OFF)

.PHONY: all deps configure build run test test-fast test-asan-build bench clean

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
# private sound server), then the unit tests again under ASan and UBSan.
test: build test-asan-build
	scripts/run-tests.sh $(BUILD)
	scripts/run-tests.sh $(ASAN_BUILD) -L unit

test-fast: build
	scripts/run-tests.sh $(BUILD) -L unit

test-asan-build: | deps
	cmake -S . -B $(ASAN_BUILD) -DKLAVORA_WERROR=$(WERROR) -DKLAVORA_SANITIZE=ON \
	    -DKLAVORA_GUI=OFF -DKLAVORA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD) -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done
	@bench/bench_program.sh $(BUILD) || true

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
