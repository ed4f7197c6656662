#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package, installs it into a clean Debian 12 root with apt (which fetches the
# dependencies the package declares), reads a sample image there with the installed
# kelolens-recognize, then purges the package and checks that none of its files is left.
# The root is made once with debootstrap and kept as <build>/debian-root.tar; the packages apt
# downloads are kept in <build>/debian-apt-archives. Needs root (chroot, mounts) and the mirror.
#   scripts/test-package.sh [BUILD_DIR]
# Exit status: 0 passed, 1 a check failed, 2 it could not run (the message says what is missing).
set -euo pipefail
script=$(realpath "$0")
build_dir=${1:-build}
cd "$(dirname "$script")/.."
build_dir=$(realpath -m "$build_dir")
mirror=${KELO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache="$build_dir/debian-root.tar"
archives="$build_dir/debian-apt-archives"

say() { echo "test-package: [$((SECONDS - ${started:-0}))s] $*"; }
cannot_run() {
  echo "test-package: cannot run: $*" >&2
  exit 2
}
failed() {
  echo "test-package: FAILED: $*" >&2
  exit 1
}

if [ -z "${KELO_TEST_PACKAGE_NAMESPACE:-}" ]; then
  [ "$(id -u)" -eq 0 ] ||
    cannot_run "debootstrap, chroot and mount need root; run it as root (sudo make test-package)"
  for tool in unshare chroot mount findmnt tar cpack dpkg-deb; do
    command -v "$tool" >/dev/null || cannot_run "$tool is missing (make deps installs it)"
  done
  if [ ! -f "$cache" ] && ! command -v debootstrap >/dev/null; then
    echo "test-package: installing debootstrap"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap \
      >/dev/null || cannot_run "debootstrap is missing and apt-get could not install it"
  fi
  # A private mount namespace: whatever is mounted below vanishes with this process, however it
  # ends, and never shows in the rest of the system.
  KELO_TEST_PACKAGE_NAMESPACE=1 exec unshare --mount --propagation private "$script" "$build_dir"
fi

started=$SECONDS
work=$(mktemp -d)
root="$work/root"
cleanup() {
  umount -R -l "$root" 2>/dev/null || true
  # Never delete through a mount: the package cache and the host's /dev are mounted in the root.
  if ! findmnt -rn -o TARGET | grep -q "^$work/"; then
    rm -rf --one-file-system "$work"
  else
    echo "test-package: left $work: something is still mounted in it" >&2
  fi
}
trap cleanup EXIT

say "building the package"
cmake -S . -B "$build_dir" -G Ninja >/dev/null || failed "configuring $build_dir"
cmake --build "$build_dir" >/dev/null || failed "building $build_dir (run make build to see why)"
rm -f "$build_dir"/kelolens_*.deb
(cd "$build_dir" && cpack -G DEB >"$work/cpack.log" 2>&1) || {
  tail -n 20 "$work/cpack.log" >&2
  failed "cpack could not build the package"
}
deb=$(ls "$build_dir"/kelolens_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || failed "cpack made no kelolens_*.deb in $build_dir"
say "package: $(basename "$deb") ($(du -h "$deb" | cut -f1))"
dpkg-deb --field "$deb" Depends | sed 's/^/test-package:   Depends: /'

QT_QPA_PLATFORM=offscreen "$build_dir/tools/kelolens-sample/kelolens-sample" "$work/sample.png" \
  2>"$work/sample.log" ||
  failed "kelolens-sample could not write the sample image: $(cat "$work/sample.log")"

# The root lives in memory: dpkg unpacks and the root is thrown away many times faster than on
# disk. About 600 MB are used at the peak.
mkdir -p "$root"
mount -t tmpfs -o size=3g,mode=755 kelolens-test-root "$root" ||
  say "no tmpfs for the root; using the disk (slower)"
if [ -f "$cache" ]; then
  say "unpacking the cached Debian 12 root ($cache)"
  tar -C "$root" --numeric-owner -xpf "$cache" || cannot_run "$cache is damaged; delete it"
else
  say "making a Debian 12 root with debootstrap from $mirror (once; kept as $cache)"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 || {
    tail -n 5 "$work/debootstrap.log" >&2
    cannot_run "debootstrap could not make the root: is $mirror reachable?"
  }
  tar -C "$root" --numeric-owner -cpf "$cache.part" . && mv "$cache.part" "$cache"
  say "root made and cached"
fi

mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mkdir -p "$archives/partial"
mount --bind "$archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"
install -m 644 "$deb" "$root/tmp/kelolens.deb"
install -m 644 "$work/sample.png" "$root/tmp/sample.png"
in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}

say "installing the package with apt (dependencies come from $mirror)"
in_root apt-get update -q >"$work/apt.log" 2>&1 || {
  tail -n 5 "$work/apt.log" >&2
  cannot_run "apt-get update failed inside the root: is $mirror reachable?"
}
# No recommended packages: what the package declares as Depends must be enough.
in_root apt-get install -y -q --no-install-recommends /tmp/kelolens.deb >>"$work/apt.log" 2>&1 || {
  tail -n 20 "$work/apt.log" >&2
  failed "apt-get could not install the package"
}
in_root dpkg -L kelolens >"$work/paths"
in_root sh -c 'while read -r p; do [ -d "$p" ] || echo "$p"; done' <"$work/paths" >"$work/files"
say "installed $(wc -l <"$work/files") files and $(grep -c '^Setting up' "$work/apt.log") packages"

missing_libraries=$(in_root sh -c 'ldd /usr/bin/kelolens*' | grep 'not found' || true)
[ -z "$missing_libraries" ] || failed "libraries the package does not bring: $missing_libraries"

say "reading the sample image with the installed kelolens-recognize"
result=$(in_root env QT_QPA_PLATFORM=offscreen kelolens-recognize --json /tmp/sample.png) ||
  failed "kelolens-recognize failed inside the root"
grep -q 'reads the text on your screen' <<<"$result" ||
  failed "the sample's text was not read: $result"
grep -q '"payload":"https://example.org/kelolens"' <<<"$result" ||
  failed "the sample's QR code was not read: $result"

say "purging the package"
in_root apt-get purge -y -q kelolens >>"$work/apt.log" 2>&1 || {
  tail -n 20 "$work/apt.log" >&2
  failed "apt-get could not purge the package"
}
left=$(in_root sh -c 'while read -r p; do [ -e "$p" ] || [ -L "$p" ] && echo "$p"; done' \
  <"$work/files" || true)
[ -z "$left" ] || failed "files left after the purge: $left"
# A folder only the package used must go too.
left=$(in_root sh -c 'while read -r p; do
         [ -d "$p" ] && [ -z "$(ls -A "$p")" ] && ! dpkg -S "$p" >/dev/null 2>&1 && echo "$p"
       done' <"$work/paths" || true)
[ -z "$left" ] || failed "empty folders left after the purge: $left"
status=$(in_root dpkg-query -W -f='${Status}' kelolens 2>/dev/null || true)
case $status in
  "" | "unknown ok not-installed" | "purge ok not-installed") ;;
  *) failed "dpkg still knows the package after the purge: $status" ;;
esac

say "passed"
