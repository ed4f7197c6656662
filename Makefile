# The README's entry points. Everything builds into build/ with CMake and Ninja.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test run bench screenshots clean format package test-package

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
	rm -rf $(BUILD_DIR)
