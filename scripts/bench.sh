#!/usr/bin/env bash
# Builds the benchmarks and runs the ones named (without names: lists them).
# Each prints ratios to a baseline measured in the same run.
# Usage: bench.sh [name [arguments...]]   e.g. bench.sh exchange, bench.sh cardreads 2000 5
set -euo pipefail
cd "$(dirname "$0")/.."
all=(exchange firmware cardreads cli_all idle startup kept)
if [ $# -eq 0 ]; then
  echo "benchmarks: ${all[*]}"
  exit 0
fi
name="$1"; shift
./scripts/setup.sh
target="bench_$name"
extra=()
[ "$name" = startup ] && extra=(bench_minimalwindow)
./scripts/build.sh "$target" "${extra[@]}" limra-readersim
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$PWD/build/test-runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
exec "build/bin/$target" "$@"
