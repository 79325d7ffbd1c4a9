#!/usr/bin/env bash
# Screenshots of the main window (searching, connected, a card read), each tab
# and each dialog at its default size, on virtual screens of 1280x1024 and
# 1024x768, at the scale factors 1, 1.5 and 2, without a window manager and,
# where openbox is installed, under openbox. Every modal dialog is
# photographed as it opens.
#
# Usage: scripts/screenshots.sh [build folder] [output folder]
#        (defaults: build, and a new folder /tmp/limra-screenshots-XXXX)
# The last line it prints names the folder. File names read
# <screen>-<scale>-<wm>-<step>.png, e.g. 1280x1024-1.5-openbox-10-connection-settings.png.
#
# Needs: the build (target ui_screenshots, which runs the simulated reader
# inside itself on a pseudo-terminal), Xvfb (package xvfb) and, for the runs
# under a window manager, openbox (package openbox). It installs nothing:
# `scripts/setup.sh openbox` installs both. LIMRA_SCALES="1 2" picks scale factors,
# LIMRA_SCREENS="1024x768" the screens.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
out="${2:-$(mktemp -d /tmp/limra-screenshots-XXXX)}"
program="$build/bin/ui_screenshots"
cmake --build "$build" --target ui_screenshots limra-readersim >/dev/null  # built only here, not by ./test
command -v Xvfb >/dev/null || { echo "Xvfb is not installed (package xvfb)." >&2; exit 1; }
mkdir -p "$out"

xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# A free display number.
for n in $(seq 70 89); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  display=":$n"
  break
done
export DISPLAY="$display"
export QT_QPA_PLATFORM=xcb
# Virtual readers and settings of this run only.
runtime="$(mktemp -d)"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"

managers="none"
if command -v openbox >/dev/null; then managers="none openbox"; else echo "openbox is not installed: no runs under a window manager."; fi

for screen in ${LIMRA_SCREENS:-1280x1024 1024x768}; do
  Xvfb "$display" -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  for wm in $managers; do
    if [ "$wm" = openbox ]; then
      openbox >/dev/null 2>&1 &
      wm_pid=$!
      sleep 1
    fi
    for scale in ${LIMRA_SCALES:-1 1.5 2}; do
      echo "== screen $screen, scale $scale, window manager: $wm"
      QT_SCALE_FACTOR="$scale" "$program" "$out" "$screen-$scale-$wm" | grep -v '\.png$' || true
    done
    if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null || true; wait "$wm_pid" 2>/dev/null || true; wm_pid=""; fi
  done
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] || break; sleep 0.1; done
done
rm -rf "$runtime"
echo "$(ls "$out"/*.png | wc -l) screenshots in $out"
