#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages KeloLens needs to build, test and run. Safe to run again: only
# what is missing is installed. With --fuzz, also what the fuzz targets need (make fuzz); with
# --desktops, the real desktops the desktop tests start (make test-desktops): some 530 packages
# that a developer's own machine rarely wants, so make test does not ask for them.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ make pkg-config
  # libraries
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-svg-dev qcoro-qt6-dev
  libtesseract-dev libleptonica-dev tesseract-ocr tesseract-ocr-eng tesseract-ocr-script-latn
  libhunspell-dev hunspell-en-us
  libzxing-dev
  libxcb1-dev libxcb-xtest0-dev libxcb-xkb-dev libxcb-shm0-dev libxcb-shape0-dev libxkbcommon-dev libxkbcommon-x11-dev
  libphonenumber-dev libpsl-dev libicu-dev libcanberra-dev
  libwayland-dev libwayland-bin wayland-protocols
  # tests
  libgtest-dev
  xvfb openbox xcompmgr xdotool xclip x11-xkb-utils x11-utils x11-xserver-utils python3 trayer
  # terminals that paste with other keys than Ctrl+V: xterm (Shift+Insert), lxterminal
  # (Ctrl+Shift+V), the lightest of its kind that runs without a GPU
  xterm lxterminal
  # the accessibility bus and a client that reads it as a screen reader does
  at-spi2-core python3-pyatspi
  fonts-dejavu-core fonts-liberation
  # Automatic language choice: script detection, and text in other scripts and languages (the
  # Chinese text is drawn in WenQuanYi)
  tesseract-ocr-osd tesseract-ocr-rus tesseract-ocr-ell tesseract-ocr-chi-sim tesseract-ocr-deu
  tesseract-ocr-fra fonts-wqy-microhei
  # benchmarks: program text in more monospace fonts
  fonts-jetbrains-mono fonts-noto-mono
  # a private session bus for the tray test; Qt's Wayland platform for Wayland sessions
  dbus-daemon qt6-wayland
  desktop-file-utils appstream groff-base
  # make package: dependencies computed from the binaries
  dpkg-dev file
  # region selection at run time
  maim
  # the capture sound (freedesktop sound theme event "screen-capture")
  sound-theme-freedesktop
)
for group in "$@"; do
  case "$group" in
    --fuzz)
      # clang with libFuzzer and the sanitizer runtimes.
      packages+=(clang libclang-rt-14-dev)
      ;;
    --desktops)
      packages+=(
        # every desktop: the portal front end, XWayland, wl-paste to read the clipboard
        xdg-desktop-portal xwayland wl-clipboard
        # sway (xhost lets root into its XWayland): the real grim (slurp is stood in for: no drag
        # can be made headless), its portal with pipewire, waybar for the tray
        sway x11-xserver-utils grim xdg-desktop-portal-wlr pipewire waybar
        # KDE Plasma: KWin with its portal, Spectacle, kded5, and Qt 5's Wayland platform for them;
        # the portal's Remote Desktop dialog is built on plasma-workspace's dialogs and Kirigami
        # (some 190 packages of their own, which its package does not ask for); kscreen-doctor
        # lays out two monitors of mixed scales
        kwin-wayland xdg-desktop-portal-kde kde-spectacle kded5 qtwayland5
        plasma-workspace qml-module-org-kde-kirigami2 libkf5screen-bin
        # GNOME: the shell (nested on Xvfb) with its portals
        gnome-shell xdg-desktop-portal-gnome xdg-desktop-portal-gtk
      )
      ;;
    *)
      echo "usage: $0 [--fuzz] [--desktops]" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All ${#packages[@]} packages are installed."
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
