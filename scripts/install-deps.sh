#!/usr/bin/env bash
# Installs the Debian 12 packages KeloLens needs to build, test and run. Safe to run again: only
# what is missing is installed.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ make pkg-config
  # libraries
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-svg-dev qcoro-qt6-dev
  libtesseract-dev libleptonica-dev tesseract-ocr tesseract-ocr-eng
  libzxing-dev
  libxcb1-dev libxcb-xtest0-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev
  libphonenumber-dev libpsl-dev
  libwayland-dev libwayland-bin wayland-protocols
  # tests
  libgtest-dev libgmock-dev
  xvfb openbox xcompmgr xdotool xclip x11-xkb-utils x11-utils
  fonts-dejavu-core fonts-liberation
  # Wayland tests: the real portal front end and permission store on a private bus, a headless
  # compositor, and Qt's Wayland platform
  dbus-daemon xdg-desktop-portal sway wl-clipboard qt6-wayland
  # region selection at run time
  maim
)

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
