#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts KeloLens from the build folder, in the tray of the current desktop session.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."

if [ ! -x "$build_dir/app/kelolens" ]; then
  echo "KeloLens is not built yet: run make build." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "KeloLens is a desktop application and needs a graphical session (no DISPLAY or" >&2
  echo "WAYLAND_DISPLAY is set). To try it headless: scripts/with-x-server.sh $build_dir/app/kelolens" >&2
  exit 1
fi
exec "$build_dir/app/kelolens"
