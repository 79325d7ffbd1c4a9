#!/usr/bin/env bash
# Configures and builds into build/ (with Ninja where it is installed): the
# targets named as arguments, or everything ./test needs without arguments.
# Usage: build.sh [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
if command -v ninja >/dev/null; then
  generator=(-G Ninja)
  # A build folder made with another generator is made anew.
  if [ -f build/CMakeCache.txt ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' build/CMakeCache.txt; then
    rm -rf build/CMakeCache.txt build/CMakeFiles
  fi
fi
# Optimised as the package is, without debug information: the tests need none
# and it halves what the linker reads (configure a build folder of your own
# with RelWithDebInfo to debug).
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
if [ $# -eq 0 ]; then
  cmake --build build -j"$(nproc)"
else
  cmake --build build -j"$(nproc)" --target "$@"
fi
