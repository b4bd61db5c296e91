#!/usr/bin/env bash
# The Windows build, checked on Linux: cross-builds the engine, the Windows
# backend, contigra_aux.exe and the test programs with MinGW-w64 (preset
# "mingw", warnings as errors, static .exe files) and runs every test under
# Wine in a fresh, private Wine prefix. Needs no display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh scripts/apt-packages-windows.txt
jobs="$(nproc)"

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"

export WINEDEBUG=-all
# No Mono or Gecko: the prefix would offer to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/contigra-wine.XXXXXX")"
export WINEPREFIX
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# One wineserver for the whole run, started first so that it stays: each
# test is its own Wine process, and starting one is quick while the server
# and the prefix's services are up. The programs of one test share their
# named kernel objects (the helpers' mutex) through it.
wineserver --persistent </dev/null >/dev/null 2>&1
wine wineboot --init </dev/null >/dev/null 2>&1
# Windows of our own (the session window) need a graphics driver; the null
# driver creates them without a display.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
ctest --preset mingw -j "$jobs"
