#!/usr/bin/env bash
# Starts a simulated reader with its prompt in this terminal and the tool
# beside it; the tool finds the simulated reader by itself. Ending the
# simulated reader ("quit", or Ctrl+C) ends the tool the ordinary way, so its
# settings are written.
set -euo pipefail
cd "$(dirname "$0")/../build/bin"
name="sim0"
tool_pid=""
cleanup() { [ -n "$tool_pid" ] && kill -TERM "$tool_pid" 2>/dev/null && wait "$tool_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -x ./limra-rfid ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    ( sleep 0.5; exec ./limra-rfid ) &
    tool_pid=$!
  else
    echo "No display: starting the simulated reader alone."
  fi
fi
echo "Type help for the simulated reader's commands; quit (or Ctrl+C) ends it and the tool."
./limra-readersim --name "$name"
