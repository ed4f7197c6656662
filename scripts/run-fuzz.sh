#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every libFuzzer target built into the fuzz build folder for a bounded time each, starting
# from the seeds the generator writes and the corpus earlier runs kept, then prints how many inputs
# each one ran. Fails when a target found a crash, a hang, a leak or a broken expectation; the
# input that did it is kept in <build>/fuzz-artifacts/<target>/.
#   FUZZ_SECONDS  seconds per target (default 60)
#   FUZZ_TARGETS  space-separated target names to run (default: all)
set -uo pipefail
build_dir=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
cd "$(dirname "$0")/.."

fuzz_dir="$build_dir/fuzz"
if [ ! -x "$fuzz_dir/kelo-fuzz-seeds" ]; then
  echo "KeloLens: no fuzz targets in $fuzz_dir; build them with make fuzz" >&2
  exit 1
fi
seeds="$build_dir/fuzz-seeds"
rm -rf "$seeds"
"$fuzz_dir/kelo-fuzz-seeds" "$seeds" || exit 1

# Third-party findings that are not ours to fix are suppressed, each with its reason.
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:suppressions=$PWD/scripts/sanitizers/ubsan.supp"
export QT_QPA_PLATFORM=offscreen

targets=${FUZZ_TARGETS:-"wifi-fields payload-classification text-assembly link-detection phone-detection image-recognition"}
failed=0
summary=()
for target in $targets; do
  binary="$fuzz_dir/kelo-fuzz-$target"
  corpus="$build_dir/fuzz-corpus/$target"
  artifacts="$build_dir/fuzz-artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  # Reading an image takes far longer than parsing a line, and a PNG needs room to mutate.
  limits=(-timeout=30)
  [ "$target" = image-recognition ] && limits=(-timeout=60 -max_len=65536)
  log="$build_dir/fuzz-$target.log"
  echo "== $target: ${seconds}s"
  "$binary" -max_total_time="$seconds" "${limits[@]}" -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "$seeds/$target" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$status" -ne 0 ]; then
    failed=1
    summary+=("$(printf '%-24s FAILED after %s runs (see %s)' "$target" "${runs:-?}" "$log")")
    tail -40 "$log"
  else
    summary+=("$(printf '%-24s %12s runs in %ss, clean' "$target" "${runs:-?}" "$seconds")")
  fi
done
echo
printf '%s\n' "${summary[@]}"
exit "$failed"
