#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders screenshots of the results panel and the toast into <build>/screenshots/: once without a
# compositing manager (plain/) and once with xcompmgr running (composited/), in a private X server
# so the desktop is never touched.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
tool="$build_dir/tools/kelolens-screenshots/kelolens-screenshots"
out="$build_dir/screenshots"
if [ ! -x "$tool" ]; then
  echo "KeloLens: $tool is missing; build first (make build)" >&2
  exit 1
fi
rm -rf "$out"
scripts/with-x-server.sh bash -c '
  set -eu
  "$1" --output "$2/plain"
  # The tray icon on a dark and on a light panel.
  for look in dark:0x2b2b2e light:0xeeeeec; do
    trayer --edge top --align right --widthtype pixel --width 80 --height 24 --SetDockType true \
      --transparent true --alpha 0 --tint "${look#*:}" >/dev/null 2>&1 &
    tray=$!
    sleep 0.5
    "$1" --output "$2/plain" --tray-icon "tray-${look%%:*}" || status=$?
    kill "$tray" 2>/dev/null || true
    wait "$tray" 2>/dev/null || true
    [ -z "${status:-}" ] || exit "$status"
  done
  xcompmgr -n >/dev/null 2>&1 &
  compositor=$!
  trap "kill $compositor 2>/dev/null || true" EXIT
  "$1" --output "$2/composited" --expect-compositing
' screenshots "$tool" "$out"
echo "Screenshots are in $out"
