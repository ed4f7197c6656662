#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what a desktop and a package manager read from KeloLens.
#   check-packaging.sh metadata SOURCE_DIR BUILD_DIR
#     the desktop entry and the metainfo pass their validators, the manual pages format without
#     warnings; when `make screenshots` has run, every screenshot the metainfo names is one it
#     makes.
#   check-packaging.sh install SOURCE_DIR BUILD_DIR HAS_APP
#     `cmake --install` into a temporary prefix puts every file in place, the installed tree
#     passes appstreamcli's tree check and kelolens-recognize runs from there with the options
#     its manual page describes.
set -euo pipefail
mode=$1 source_dir=$2 build_dir=$3
app_id=app.kelolens.KeloLens
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

need() {
  command -v "$1" >/dev/null || { echo "FAIL: $1 is missing: install $2 (make deps)" >&2; exit 1; }
}

check_metadata() {
  need desktop-file-validate desktop-file-utils
  need appstreamcli appstream
  need groff groff-base
  local entry="$build_dir/share/applications/$app_id.desktop"
  if [ -f "$entry" ]; then
    desktop-file-validate "$entry" || fail "desktop entry is not valid"
  fi
  # --no-net: the screenshot addresses are on the product website, not reachable from tests.
  appstreamcli validate --no-net "$source_dir/data/$app_id.metainfo.xml" ||
    fail "metainfo is not valid"

  local page warnings
  for page in "$source_dir"/packaging/*.1; do
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  done

  local shots="$build_dir/screenshots/composited"
  if [ -d "$shots" ]; then
    local url name
    for url in $(grep -o '<image>[^<]*</image>' "$source_dir/data/$app_id.metainfo.xml" |
                 sed 's/<[^>]*>//g'); do
      name=${url##*/}
      [ -s "$shots/$name" ] || fail "metainfo names $name, which make screenshots does not make"
    done
  fi
}

check_install() {
  local has_app=$1
  need appstreamcli appstream
  prefix=$(mktemp -d)
  trap 'rm -rf "$prefix"' EXIT
  cmake --install "$build_dir" --prefix "$prefix" >/dev/null

  local programs=(kelolens-recognize)
  [ "$has_app" = ON ] && programs+=(kelolens)
  local expected=(
    "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$app_id.svg"
    "share/icons/hicolor/symbolic/apps/$app_id-symbolic.svg"
    "share/doc/kelolens/copyright"
  )
  local program
  for program in "${programs[@]}"; do
    expected+=("bin/$program" "share/man/man1/$program.1.gz")
  done
  local file
  for file in "${expected[@]}"; do
    [ -s "$prefix/$file" ] || fail "$file was not installed"
  done
  for program in "${programs[@]}"; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
  done
  # A library, header or helper program slipping into the install would end up in the package.
  local stray
  stray=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort |
          comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
  [ -z "$stray" ] || fail "unexpected files installed: $stray"

  # KWin lets KeloLens read the screen only through an entry whose Exec is the program's path.
  [ "$has_app" = ON ] && ! grep -qx "Exec=$prefix/bin/kelolens" \
    "$prefix/share/applications/$app_id.desktop" && fail "the desktop entry names another program"

  # The tree check also finds the desktop entry and the icon the metainfo points at.
  appstreamcli validate-tree --no-net "$prefix" || fail "installed tree is not valid"

  local page
  for page in "$prefix"/share/man/man1/*.1.gz; do
    gzip -dc "$page" | grep -q '@[A-Z_]*@' && fail "$(basename "$page") has an unfilled @VALUE@"
  done

  # The installed program runs on its own and documents what the manual page describes.
  local help
  help=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/kelolens-recognize" --help) ||
    fail "installed kelolens-recognize --help failed"
  local option page_text
  page_text=$(gzip -dc "$prefix/share/man/man1/kelolens-recognize.1.gz" | sed 's/\\//g')
  for option in $(sed -n 's/^ *\(-[a-z], \)\{0,1\}\(--[a-z-]*\).*/\2/p' <<<"$help"); do
    grep -q -- "$option" <<<"$page_text" || fail "kelolens-recognize(1) does not describe $option"
  done
}

case $mode in
  metadata) check_metadata ;;
  install) check_install "${4:-OFF}" ;;
  *) echo "usage: $0 metadata|install SOURCE_DIR BUILD_DIR [HAS_APP]" >&2; exit 2 ;;
esac

if [ "$failures" -gt 0 ]; then
  exit 1
fi
echo "OK: $mode"
