#!/usr/bin/env bash
# The threaded parts under ThreadSanitizer: the log lock, the run threads
# and their lock, the named mutex, the main window's run notifications
# (run threads to the window's thread) and the NTFS backend's mount
# sharing (its mutex and the thread that unmounts idle volumes).
#
#   bash scripts/test-tsan.sh
#
# Qt and libntfs-3g are not built with ThreadSanitizer; the suppressions
# file names the few reports that lie wholly inside them, each with why.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs="$(nproc)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
# exitcode=66 fails the test even where a report comes from a child
# process or after the test's own result was printed.
TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=$PWD/tests/sanitizers/tsan.supp" \
  ctest --preset tsan -j "$jobs"
