#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every test (unit, x11, e2e, wayland) from the build folder under a private X server. The
# tests on real desktops have a runner of their own (run-desktop-tests.sh, make test-desktops).
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
exec scripts/with-x-server.sh ctest --test-dir "$build_dir" --output-on-failure -LE desktop -j "$(nproc)"
