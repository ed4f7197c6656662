#!/usr/bin/env bash
# Starts KeloLens from the build folder. Until the tray application exists, it shows the newest
# working piece: the recognizer reading a sample screen image.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."

if [ -x "$build_dir/app/kelolens" ]; then
  exec "$build_dir/app/kelolens"
fi
if [ -x "$build_dir/tools/kelolens-recognize/kelolens-recognize" ] && [ -x "$build_dir/tools/kelolens-sample/kelolens-sample" ]; then
  sample_dir=$(mktemp -d)
  trap 'rm -rf "$sample_dir"' EXIT
  QT_QPA_PLATFORM=offscreen "$build_dir/tools/kelolens-sample/kelolens-sample" "$sample_dir/sample.png"
  echo "Reading $sample_dir/sample.png:"
  QT_QPA_PLATFORM=offscreen "$build_dir/tools/kelolens-recognize/kelolens-recognize" "$sample_dir/sample.png"
  echo
  echo "Chips the results panel would offer:"
  QT_QPA_PLATFORM=offscreen "$build_dir/tools/kelolens-recognize/kelolens-recognize" --chips "$sample_dir/sample.png"
  exit 0
fi
echo "Nothing runnable was built yet." >&2
exit 1
