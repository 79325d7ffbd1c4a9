#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and checks what
# it installs; lintian may find no error in it.
# Usage: check_package.sh <build folder>
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb="$(ls "$work"/out/*.deb)"
dpkg-deb -x "$deb" "$work/root"
for f in usr/bin/limra-rfid usr/bin/limra-readersim usr/share/applications/limra-rfid.desktop \
         usr/share/icons/hicolor/scalable/apps/limra-rfid.svg usr/lib/udev/rules.d/60-limra-rfid.rules \
         usr/share/doc/limra-rfid/copyright; do
  [ -e "$work/root/$f" ] || { echo "missing: $f"; exit 1; }
done
rule="$work/root/usr/lib/udev/rules.d/60-limra-rfid.rules"
grep -q 'ATTRS{idVendor}=="1fc9", ATTRS{idProduct}=="0117", TAG+="uaccess"' "$rule" || { echo "rule without uaccess"; exit 1; }
grep -q 'ENV{ID_MM_DEVICE_IGNORE}="1"' "$rule" || { echo "rule lets ModemManager probe"; exit 1; }
grep -q '^Name=ЛИМРА Контроль доступа - RFID$' "$work/root/usr/share/applications/limra-rfid.desktop" || { echo "desktop name"; exit 1; }
grep -q '^Categories=Utility;$' "$work/root/usr/share/applications/limra-rfid.desktop" || { echo "desktop category"; exit 1; }
depends="$(dpkg-deb -f "$deb" Depends)"
for d in libqt6serialport6 libqt6widgets6 libudev1; do
  echo "$depends" | grep -q "$d" || { echo "Depends lacks $d: $depends"; exit 1; }
done
if command -v lintian >/dev/null; then
  report="$(lintian --allow-root "$deb" 2>&1 || true)"
  echo "$report"
  if echo "$report" | grep -q '^E:'; then echo "lintian found errors"; exit 1; fi
fi
echo "package: $(basename "$deb") installs what it should"
