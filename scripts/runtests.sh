#!/usr/bin/env bash
# Runs every test through ctest, with an X server for the tests that need one.
# Usage: runtests.sh [build folder] [ctest arguments...]
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
shift || true
cd "$build"

# Virtual readers of the tests live in a folder of their own.
export XDG_RUNTIME_DIR="$PWD/test-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

xvfb_pid=""
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  for n in $(seq 90 99); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    break
  done
fi

# Four entries a core at once (LIMRA_TEST_JOBS sets another number): most tests
# wait on a reader, a restart or a program rather than compute, and every wait
# in a test waits for its condition, so a loaded machine only makes them slower.
ctest --output-on-failure -j"${LIMRA_TEST_JOBS:-$(( $(nproc) * 4 ))}" --timeout 120 \
      --output-junit results.xml --test-output-size-passed 4000000 "$@" 2>&1 | tee ctest.log
rc=${PIPESTATUS[0]}
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null

# Tests, not ctest's entries, are counted: most entries run a whole suite. A
# test program's own lines say how each of its tests ended; any other entry
# (the package's checks, a fuzz target's seeds) counts as one test. An entry
# that failed without a failed test of its own (a crash, a time-out) counts as
# one failure. A test switched off in its source (DISABLED_) is no failure.
awk '
  /<testcase /     { gtest = 0; ok = 0; bad = 0; failed = ($0 ~ /status="fail"/); ran = ($0 ~ /status="run"/) }
  /(^|>)\[==========\] Running / { gtest = 1 }
  /^\[       OK \] /          { ok++ }
  /^\[  FAILED  \] .*\([0-9]+ ms\)$/ { bad++ }
  /<\/testcase>/ {
    if (gtest) { passed += ok; lost += bad; if (failed && bad == 0) lost++ }
    else if (failed) lost++
    else if (ran) passed++
  }
  END { printf "%d passed, %d failed\n", passed, lost }' results.xml
exit "$rc"
