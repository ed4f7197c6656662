#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark program built into build/bench. They run in a private X server: the
# application benchmark captures from a screen, and none of them may touch the user's desktop.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
benches=()
for b in "$build_dir"/bench/*/kelo-bench-*; do
  [ -f "$b" ] && [ -x "$b" ] && benches+=("$b")
done
if [ ${#benches[@]} -eq 0 ]; then
  echo "No benchmarks built yet."
  exit 0
fi
exec scripts/with-x-server.sh bash -c '
  set -eu
  for b in "$@"; do
    echo "== $(basename "$b")"
    "$b"
  done
' bench "${benches[@]}"
