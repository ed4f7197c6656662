#!/usr/bin/env bash
# Runs every benchmark program built into build/bench.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
found=0
for b in "$build_dir"/bench/*/kelo-bench-*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  "$b"
done
[ "$found" -eq 1 ] || echo "No benchmarks built yet."
