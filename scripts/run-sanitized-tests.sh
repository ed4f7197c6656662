#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the test suite of a sanitizer build (make test-sanitize). Any finding ends the test that
# made it; findings inside third-party libraries are suppressed, each with its reason, in
# scripts/sanitizers/.
set -euo pipefail
build_dir=${1:-build-sanitize}
cd "$(dirname "$0")/.."
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/scripts/sanitizers/ubsan.supp"
# Most tests keep the fast unwinder, which stops at libraries built without frame pointers. The
# Wayland tests get full allocation stacks, so that a leak inside Qt's Wayland plugin can be told
# from one of ours (several times slower, so only there).
status=0
scripts/with-x-server.sh ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" \
  -LE "wayland|desktop" || status=$?
ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0" \
  LSAN_OPTIONS="$LSAN_OPTIONS:fast_unwind_on_malloc=0" scripts/with-x-server.sh ctest --test-dir "$build_dir" --output-on-failure -L wayland ||
  status=$?
exit "$status"
