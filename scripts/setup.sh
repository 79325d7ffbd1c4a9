#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, if any is
# missing (dbus-daemon and xdg-desktop-portal: the Wayland typing tests run a
# private session bus, and the desktop's portal service on it); more packages
# may be named as arguments (scripts/screenshots.sh: openbox). Runs no apt-get
# when everything is there. Only what is named and what it depends on is
# installed (no recommended packages: a GTK theme, X core fonts and Perl
# extras that nothing here uses were a third of the download), and dpkg does
# not sync each file to disk as it unpacks: a set-up interrupted by a power
# cut is run again.
set -euo pipefail
packages=(cmake ninja-build g++ make pkg-config qt6-base-dev qt6-serialport-dev qt6-qpa-plugins qt6-translations-l10n
          libgtest-dev libudev-dev libxtst-dev libx11-dev
          libqt6svg6 umockdev libumockdev-dev xvfb xauth x11-xserver-utils x11-xkb-utils dpkg-dev lintian
          desktop-file-utils appstream man-db dbus-daemon xdg-desktop-portal "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
      -o Dpkg::Options::=--force-unsafe-io "${missing[@]}" >/dev/null
fi
