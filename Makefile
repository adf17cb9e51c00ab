# Quick start: `make demo` and `make test`.
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo bench test-sanitizers test-asan test-tsan fuzz-smoke clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD_DIR)

bench: build
	@bash bench/run.sh $(BUILD_DIR)

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, and
# under ThreadSanitizer.
test-sanitizers: test-asan test-tsan

test-asan: deps
	cmake -S . -B build-asan -G Ninja -DVOLTARK_SANITIZE=address -DVOLTARK_BUILD_GUI=OFF
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DVOLTARK_SANITIZE=thread -DVOLTARK_BUILD_GUI=OFF
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# Each fuzz harness for a few seconds (about a minute in all); fails on a
# crash, hang or sanitizer report. bench/fuzz.sh SECONDS runs longer.
fuzz-smoke: deps
	@FUZZ_SEED=$${FUZZ_SEED:-1} bash bench/fuzz.sh $(FUZZ_SMOKE_SECONDS)

FUZZ_SMOKE_SECONDS ?= 12

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz
