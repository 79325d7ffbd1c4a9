#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, if any is
# missing (openbox: for scripts/screenshots.sh under a window manager); more
# packages may be named as arguments. Runs no apt-get when
# everything is there.
set -euo pipefail
packages=(cmake ninja-build g++ make pkg-config qt6-base-dev qt6-serialport-dev qt6-qpa-plugins qt6-translations-l10n
          libgtest-dev libudev-dev libxtst-dev libx11-dev
          libqt6svg6 umockdev libumockdev-dev xvfb xauth x11-xserver-utils x11-xkb-utils dpkg-dev lintian
          desktop-file-utils appstream man-db openbox "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
