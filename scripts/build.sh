#!/usr/bin/env bash
# Configures and builds into build/: the targets named as arguments, or
# everything without arguments.
# Usage: build.sh [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -eq 0 ]; then
  cmake --build build -j"$(nproc)"
else
  cmake --build build -j"$(nproc)" --target "$@"
fi
