#!/usr/bin/env bash
# The main job on the embedded default: a demo NTFS image defragmented by
# contigra_aux. Needs the NTFS backend.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
if [ ! -f platform/ntfs/CMakeLists.txt ]; then
  echo "The NTFS backend is not in this build yet: the demo needs it."
  exit 0
fi
echo "The demo image builder is not in this build yet."
