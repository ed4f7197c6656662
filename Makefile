# SPDX-License-Identifier: GPL-3.0-or-later
# The README's entry points. Everything builds into build/ with CMake and Ninja.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
# The checked builds live in folders of their own, so they never disturb build/.
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test run bench screenshots clean format package test-package \
	test-sanitize fuzz test-desktops

all: build

deps:
	@scripts/install-deps.sh

configure:
	@test -f $(BUILD_DIR)/build.ninja || cmake -S . -B $(BUILD_DIR) -G Ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	@$(MAKE) --no-print-directory build
	scripts/run-tests.sh $(BUILD_DIR)

# KeloLens on real desktops (headless sway, KWin, GNOME Shell), each started privately per test.
# Installs the desktops first (a large group of packages, see scripts/install-deps.sh).
test-desktops:
	@scripts/install-deps.sh --desktops
	@$(MAKE) --no-print-directory build
	scripts/run-desktop-tests.sh $(BUILD_DIR)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer; any finding fails.
test-sanitize: deps
	@test -f $(SANITIZE_DIR)/build.ninja || cmake -S . -B $(SANITIZE_DIR) -G Ninja \
		-DKELO_SANITIZE=address,undefined
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	scripts/run-sanitized-tests.sh $(SANITIZE_DIR)

# Every libFuzzer target for FUZZ_SECONDS each (clang; see scripts/run-fuzz.sh).
fuzz:
	@scripts/install-deps.sh --fuzz
	@test -f $(FUZZ_DIR)/build.ninja || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja \
		-DKELO_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target kelo-fuzzers
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzz.sh $(FUZZ_DIR)

run: deps
	@$(MAKE) --no-print-directory build
	scripts/run.sh $(BUILD_DIR)

bench: deps
	@$(MAKE) --no-print-directory build
	scripts/run-bench.sh $(BUILD_DIR)

screenshots: deps
	@$(MAKE) --no-print-directory build
	scripts/screenshots.sh $(BUILD_DIR)

# The Debian package, built into $(BUILD_DIR)/ with CPack.
package: deps
	@$(MAKE) --no-print-directory build
	cd $(BUILD_DIR) && cpack -G DEB

# Installs the package into a clean Debian 12 root (made once, cached in $(BUILD_DIR)/), reads a
# sample there and removes it again. Needs root and the Debian mirror; not part of make test.
test-package: deps
	scripts/test-package.sh $(BUILD_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
