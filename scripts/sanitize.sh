#!/usr/bin/env bash
# Builds the tests and the fuzz targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, runs the tests under them, then runs each fuzz
# target for LIMRA_FUZZ_SECONDS seconds (60 by default). Any report fails.
# Usage: sanitize.sh [build|test|fuzz]...   (all three without arguments)
set -euo pipefail
cd "$(dirname "$0")/.."
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(build test fuzz)
seconds="${LIMRA_FUZZ_SECONDS:-60}"
targets=(receive config template rcf znm ini image image_model csv kept debug_command)

build() {
  ./scripts/setup.sh clang libclang-rt-14-dev llvm-14
  local flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"
  local generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  if [ -f build-asan/CMakeCache.txt ] && [ ${#generator[@]} -gt 0 ] \
     && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' build-asan/CMakeCache.txt; then
    rm -rf build-asan/CMakeCache.txt build-asan/CMakeFiles
  fi
  # Each source compiled on its own here (./test's build batches them): a file
  # that builds only beside others in its batch, for a header it forgot, fails.
  cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLIMRA_FUZZ=ON -DLIMRA_UNITY=OFF \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  cmake --build build-asan -j"$(nproc)"
}

run_tests() {
  # Qt keeps some memory until the process ends; leaks are not what this looks for.
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:halt_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # umockdev's preloaded library cannot come before the sanitizer's.
  # Under the sanitizers the tests compute several times more: one a core.
  LIMRA_TEST_JOBS="${LIMRA_TEST_JOBS:-$(nproc)}" ./scripts/runtests.sh build-asan -E umockdev
}

fuzz() {
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:halt_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  for target in "${targets[@]}"; do
    local work="build-asan/fuzz-corpus/$target"
    mkdir -p "$work" build-asan/fuzz-crashes
    echo "fuzzing $target for $seconds s"
    build-asan/bin/fuzz_$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build-asan/fuzz-crashes/$target-" "$work" "tests/fuzz/corpus/$target" 2>&1 | tail -n 40
  done
  echo "sanitizers and fuzzing: no reports"
}

for s in "${stages[@]}"; do
  case "$s" in
    build) build ;;
    test) run_tests ;;
    fuzz) fuzz ;;
    *) echo "sanitize.sh: no stage '$s' (build, test, fuzz)" >&2; exit 2 ;;
  esac
done
