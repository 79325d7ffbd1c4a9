#!/usr/bin/env bash
# Starts a simulated reader with its prompt in this terminal and the tool
# beside it; the tool finds the simulated reader by itself.
set -euo pipefail
cd "$(dirname "$0")/../build/bin"
name="sim0"
tool_pid=""
cleanup() { [ -n "$tool_pid" ] && kill "$tool_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -x ./limra-rfid ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    ( sleep 0.5; exec ./limra-rfid ) &
    tool_pid=$!
  else
    echo "No display: starting the simulated reader alone."
  fi
fi
./limra-readersim --name "$name"
