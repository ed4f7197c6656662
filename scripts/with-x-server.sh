#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command inside a private Xvfb display with openbox as window manager, then stops both.
# Used by the test runner and the benchmarks; a desktop session's own display is never touched.
set -uo pipefail

log_dir=$(mktemp -d)
cleanup() {
  # openbox itself ends with the server.
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$log_dir"
}
trap cleanup EXIT

# The server takes the first free display itself and says which: two runs started at once (two
# worktrees, say) would otherwise both pick the same number.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp +extension XTEST \
  3>"$log_dir/display" >"$log_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$log_dir/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$log_dir/display" 2>/dev/null)"
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
if ! xdpyinfo >/dev/null 2>&1; then
  echo "KeloLens: Xvfb did not start on $DISPLAY" >&2
  cat "$log_dir/xvfb.log" >&2
  exit 1
fi

# In some test runs openbox was gone part-way (every later test that activates a window failed,
# "Your windowmanager claims not to support _NET_ACTIVE_WINDOW"); its cause is not found yet. It is
# started again, and says so with how it ended, so that one failure does not fail the rest.
(
  while :; do
    openbox --sm-disable >>"$log_dir/openbox.log" 2>&1
    status=$?
    xdpyinfo >/dev/null 2>&1 || exit 0
    echo "KeloLens: openbox ended with status $status during the run; starting it again" >&2
    sleep 0.2
  done
) &
wm_pid=$!
for _ in $(seq 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

# Tests expect a plain US layout unless they set another one themselves.
setxkbmap us 2>/dev/null || true

"$@"
