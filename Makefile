# Quick start: `make demo` and `make test`.
BUILD_DIR ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps deps-windows build test demo bench test-sanitizers test-asan test-tsan fuzz-smoke windows test-windows clean

all: build

deps:
	@bash scripts/install-deps.sh

# The Windows cross build's tools (MinGW-w64, Wine) besides; `make test`
# does not need them.
deps-windows:
	@bash scripts/install-deps.sh windows

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

# voltark-cli.exe, mp2enc.exe and ac3dec.exe for 64- and 32-bit Windows,
# packed into dist/voltark-VERSION-win64.zip and -win32.zip.
windows: deps-windows
	@JOBS=$(JOBS) bash scripts/build-windows.sh

# The test suite built for 64-bit Windows and run under Wine.
test-windows: deps-windows
	@JOBS=$(JOBS) bash scripts/test-windows.sh

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz build-win64 build-win32 build-win64-tests dist
