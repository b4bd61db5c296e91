#!/usr/bin/env bash
# Builds everything and runs every test: the optimised build with warnings
# as errors, then the test suites again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
jobs="$(nproc)"

cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"
# The Debian package from that build, installed, run and removed again.
bash scripts/test-package.sh build/ci

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
# Crash trials (kill -9 at random instants) run in the plain build above;
# under the sanitizers they only measure the sanitizers' slowness.
# Full unwinding lets leak reports reach through libntfs-3g (built without
# frame pointers) to our own frames, which the suppressions name.
ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp" \
  ctest --preset asan -j "$jobs" -LE "slow|crash"

# The threaded parts (log, run threads, named mutex, the window's run
# notifications, the NTFS backend's mount sharing) under ThreadSanitizer.
bash scripts/test-tsan.sh

# Every parser that reads outside input, fuzzed for a short while from our
# seed corpus after replaying the inputs that once failed.
bash scripts/test-fuzz.sh

# The Windows backend and helper, cross-built with MinGW-w64 and run under Wine.
bash scripts/test-windows.sh
