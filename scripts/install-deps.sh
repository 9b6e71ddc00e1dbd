#!/usr/bin/env bash
# Installs the Debian packages Lumavo needs to build, run and test, when any
# is missing. Runs apt-get only when something is missing (needs root then).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-image-formats-plugins qt6-multimedia-dev qt6-translations-l10n
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libfreetype-dev libfontconfig-dev libjpeg-dev libpng-dev zlib1g-dev
  fonts-arphic-gkai00mp fonts-wqy-zenhei
  libgtest-dev libgmock-dev libbenchmark-dev
  # The Windows code is parsed by the cross compiler (scripts/check-windows-build.sh).
  g++-mingw-w64-x86-64-posix
  # The changed files are checked against .clang-format (scripts/check-format.sh).
  clang-format
  cups printer-driver-cups-pdf poppler-utils libcups2-dev
  libopencv-dev opencv-data
  libxcb1-dev xvfb xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
