#!/usr/bin/env bash
# Runs the test suite of a sanitizer build (make test-sanitize). Any finding ends the test that
# made it; findings inside third-party libraries are suppressed, each with its reason, in
# scripts/sanitizers/.
set -euo pipefail
build_dir=${1:-build-sanitize}
cd "$(dirname "$0")/.."
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/scripts/sanitizers/ubsan.supp"
exec scripts/run-tests.sh "$build_dir"
