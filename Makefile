# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Seconds each fuzz target runs in `make test`; `make fuzz-long` runs them for FUZZ_LONG each.
FUZZ_SECONDS ?= 5
FUZZ_LONG ?= 600

.PHONY: all setup configure build run test test-fast asan fuzz fuzz-long clean format format-check \
	package package-check

all: build

setup:
	./scripts/setup.sh

# Line tables are enough for backtraces and profiles, and full debug information made the
# build a fifth slower.
configure: setup
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/kovi-rzk-lite

# The whole suite three ways: the ordinary build, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short session of each fuzz target; the formatting is checked
# first, as it takes seconds.
test: format-check build asan fuzz package-check
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)
	ctest --test-dir $(FUZZ_DIR) --output-on-failure -j $(JOBS)

# The Debian package, build/kovi-rzk-lite_VERSION_ARCH.deb.
package: build
	cmake --build $(BUILD_DIR) --target package

# The package as lintian sees it, its desktop files and manual pages, and an install of it that
# runs.
package-check: package
	tests/install/check-package.sh $(BUILD_DIR)

# The ordinary build's tests only.
test-fast: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Optimised lightly and with line tables only: the sanitized build is for finding faults, and
# a full optimisation with full debug information would make it the slowest step of the tests.
asan: setup
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g1" \
		-DKOVI_SANITIZE=ON -DKOVI_BUILD_BENCH=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)

fuzz: setup
	cmake -S fuzz -B $(FUZZ_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
		-DKOVI_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(FUZZ_DIR) -j $(JOBS)

fuzz-long: setup
	cmake -S fuzz -B $(FUZZ_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
		-DKOVI_FUZZ_SECONDS=$(FUZZ_LONG)
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	ctest --test-dir $(FUZZ_DIR) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: setup
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
