#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and checks it
# as a distribution would: the file list; a man page for each program in the
# PATH, rendered without warnings; the desktop entry (desktop-file-validate)
# and the AppStream metainfo (appstreamcli validate --pedantic); the
# dependencies; the hardening of every program; the maintainer scripts, which
# apply the udev rule and fail softly where udev does not run; and lintian,
# which may find no error and no warning.
# Usage: check_package.sh <build folder>
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap '[ -n "${lintian_pid:-}" ] && { kill "$lintian_pid" 2>/dev/null || true; }; rm -rf "$work"' EXIT
fail() { echo "package: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb="$(ls "$work"/out/*.deb)"
root="$work/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$work/control"
# lintian takes longest: it looks at the package while the checks below run.
lintian_pid=""
if command -v lintian >/dev/null; then
  (lintian --allow-root --tag-display-limit 0 "$deb" > "$work/lintian.txt" 2>&1 || true) &
  lintian_pid=$!
fi

# --- The files -------------------------------------------------------------
for f in usr/bin/limra-rfid usr/bin/limra-cli usr/share/bash-completion/completions/limra-cli \
         usr/lib/limra-rfid/limra-readersim usr/lib/limra-rfid/limra-hostilereader \
         usr/share/applications/limra-rfid.desktop \
         usr/share/metainfo/example.limra.rfid.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/limra-rfid.svg \
         usr/share/icons/hicolor/48x48/apps/limra-rfid.png \
         usr/lib/udev/rules.d/60-limra-rfid.rules \
         usr/share/doc/limra-rfid/copyright usr/share/doc/limra-rfid/changelog.gz; do
  [ -e "$root/$f" ] || fail "missing $f"
done
for f in limra-readersim limra-hostilereader; do
  [ ! -e "$root/usr/bin/$f" ] || fail "$f is in everyone's PATH"
done
# Each PNG icon is as large as its folder says.
for png in "$root"/usr/share/icons/hicolor/*x*/apps/limra-rfid.png; do
  folder="$(basename "$(dirname "$(dirname "$png")")")"
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
  size="$(( (w1 << 24) + (w2 << 16) + (w3 << 8) + w4 ))x$(( (h1 << 24) + (h2 << 16) + (h3 << 8) + h4 ))"
  [ "$size" = "$folder" ] || fail "icon in $folder is $size"
done

rule="$root/usr/lib/udev/rules.d/60-limra-rfid.rules"
grep -q 'ATTRS{idVendor}=="1fc9", ATTRS{idProduct}=="0117", TAG+="uaccess"' "$rule" || fail "rule without uaccess"
grep -q 'ENV{ID_MM_DEVICE_IGNORE}="1"' "$rule" || fail "rule lets ModemManager probe"

# --- A man page for each program in the PATH -----------------------------
for program in "$root"/usr/bin/*; do
  name="$(basename "$program")"
  page="$root/usr/share/man/man1/$name.1.gz"
  [ -e "$page" ] || fail "no man page for $name"
  grep -q "^$name \\\\- " <<< "$(zcat "$page")" || fail "the man page of $name does not name it"
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)"
  [ -z "$warnings" ] || fail "the man page of $name renders with warnings: $warnings"
done

# --- limra-cli: its help, man page and completion name the same ------------
# Every command and option the program's help names is in the man page and
# offered by the bash completion.
cli_help="$("$build/bin/limra-cli" --help)"
cli_page="$(zcat "$root/usr/share/man/man1/limra-cli.1.gz" | sed 's/\\-/-/g')"
completion="$root/usr/share/bash-completion/completions/limra-cli"
for word in $(grep -oE '(^| )--?[a-z][a-z-]*' <<< "$cli_help" | tr -d ' ' | sort -u) \
            $(grep -oE '^  [a-z][a-z-]+' <<< "$cli_help" | tr -d ' ' | sort -u); do
  grep -qF -- "$word" <<< "$cli_page" || fail "the man page of limra-cli lacks $word"
  grep -qE -- "(^|[ \"|(])$word([ =\"|)]|\$)" "$completion" || fail "the completion of limra-cli lacks $word"
done

# --- Desktop entry and AppStream metainfo ---------------------------------
desktop="$root/usr/share/applications/limra-rfid.desktop"
report="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
for line in '^Name=LIMRA Access Control - RFID$' '^Name\[ru\]=ЛИМРА Контроль доступа - RFID$' '^GenericName=' \
            '^GenericName\[ru\]=' '^Keywords=.*RFID' '^Keywords\[ru\]=.*считыватель' \
            '^Categories=Settings;HardwareSettings;$' '^StartupNotify=true$' '^Exec=limra-rfid$' '^Icon=limra-rfid$'; do
  grep -q "$line" "$desktop" || fail "desktop entry lacks $line"
done
metainfo="$root/usr/share/metainfo/example.limra.rfid.metainfo.xml"
report="$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1)" || fail "appstreamcli: $report"
echo "$report" | grep -qE '^[EW]:' && fail "appstreamcli: $report"
grep -q '<modalias>usb:v1FC9p0117d\*</modalias>' "$metainfo" || fail "metainfo without the reader's modalias"
grep -q '<launchable type="desktop-id">limra-rfid.desktop</launchable>' "$metainfo" || fail "metainfo launches no desktop entry"

# --- Dependencies ----------------------------------------------------------
depends="$(dpkg-deb -f "$deb" Depends)"
recommends="$(dpkg-deb -f "$deb" Recommends)"
for d in libqt6serialport6 libqt6widgets6 libudev1 qt6-qpa-plugins; do
  echo "$depends" | grep -q "$d" || fail "Depends lacks $d: $depends"
done
for d in qt6-translations-l10n libcrypto; do
  echo "$depends" | grep -q "$d" && fail "Depends has $d: $depends"
done
echo "$recommends" | grep -q qt6-translations-l10n || fail "Recommends lacks the translations: $recommends"
echo "$recommends" | grep -q xdg-desktop-portal || fail "Recommends lacks the portal Wayland typing goes through: $recommends"
echo "$depends" | grep -q xdg-desktop-portal && fail "Depends has the portal, which only Wayland typing needs: $depends"

# --- Hardening of every program -------------------------------------------
sanitized=false
grep -q '^CMAKE_CXX_FLAGS:.*-fsanitize' "$build/CMakeCache.txt" && sanitized=true
for elf in "$root"/usr/bin/* "$root"/usr/lib/limra-rfid/*; do
  name="$(basename "$elf")"
  # Whole outputs first: grep -q ending a pipe early would fail it under pipefail.
  header="$(readelf -h "$elf")"
  segments="$(readelf -lW "$elf")"
  dynamic="$(readelf -dW "$elf")"
  symbols="$(readelf -sW --dyn-syms "$elf")"
  grep -q 'Type:.*DYN' <<< "$header" || fail "$name is not position independent"
  grep -q GNU_RELRO <<< "$segments" || fail "$name has no RELRO"
  grep -qE 'FLAGS.*(BIND_NOW|NOW)' <<< "$dynamic" || fail "$name is not linked with BIND_NOW"
  if [ "$sanitized" = false ]; then
    # Fortified, the printf family is always called through its checked
    # variant; the other functions only where the compiler knows the sizes.
    ! grep -qE ' (printf|fprintf|sprintf|snprintf|vfprintf|vsnprintf)@' <<< "$symbols" \
      || fail "$name calls unfortified printf functions"
    if [ "$name" = limra-rfid ]; then
      grep -qE '__[a-z_]+_chk@' <<< "$symbols" || fail "$name has no fortified functions"
    fi
  fi
done

# --- Maintainer scripts ----------------------------------------------------
for script in postinst postrm; do
  [ -x "$work/control/$script" ] || fail "no executable $script"
  sh -n "$work/control/$script" || fail "$script does not parse"
done
# A udevadm that records its calls and fails, as in a container.
mkdir -p "$work/fake" "$work/run-udev" "$work/empty"
cat > "$work/fake/udevadm" <<FAKE
#!/bin/sh
echo "\$*" >> "$work/udevadm.log"
exit 1
FAKE
chmod 755 "$work/fake/udevadm"
# As shipped: whether or not udev runs here, the script succeeds and touches nothing real.
PATH="$work/fake:$PATH" "$work/control/postinst" configure || fail "postinst fails"
# With udev running (its folder stands in for /run/udev) the rule is applied.
for script in postinst postrm; do
  sed "s|/run/udev|$work/run-udev|g" "$work/control/$script" > "$work/$script"
  chmod 755 "$work/$script"
done
rm -f "$work/udevadm.log"
PATH="$work/fake:$PATH" "$work/postinst" configure || fail "postinst fails when udevadm fails"
grep -q '^control --reload-rules$' "$work/udevadm.log" || fail "postinst does not reload the udev rules"
grep -q '^trigger --action=change --subsystem-match=tty$' "$work/udevadm.log" || fail "postinst does not trigger tty devices"
PATH="$work/empty" /bin/sh "$work/postinst" configure || fail "postinst fails without udevadm"
rm -f "$work/udevadm.log"
PATH="$work/fake:$PATH" "$work/postrm" remove || fail "postrm fails when udevadm fails"
grep -q '^control --reload-rules$' "$work/udevadm.log" || fail "postrm does not reload the udev rules"

# --- lintian -----------------------------------------------------------------
if [ -n "$lintian_pid" ]; then
  wait "$lintian_pid"
  report="$(cat "$work/lintian.txt")"
  echo "$report"
  if echo "$report" | grep -qE '^[EW]:'; then fail "lintian found errors or warnings"; fi
fi
echo "package: $(basename "$deb") installs what it should"
