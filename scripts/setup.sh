#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, if any is missing.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libqt6serialport6-dev qt6-qpa-plugins
          libgtest-dev libcrypto++-dev libudev-dev libxtst-dev libx11-dev
          libqt6svg6 umockdev libumockdev-dev xvfb xauth x11-xserver-utils x11-xkb-utils)
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
