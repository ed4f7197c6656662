#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every test (unit, x11, e2e) from the build folder under a private X server.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
exec scripts/with-x-server.sh ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
