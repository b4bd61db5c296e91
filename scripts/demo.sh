#!/usr/bin/env bash
# The main job on the embedded default: builds contigra_aux and the image
# tools, creates a fresh demo NTFS image with fragmented files in out/demo/
# (layout: tools/layouts/demo.layout), maps it as C: for this run only,
# defragments its files with `contigra_aux -l` and shows before/after tables
# and cluster maps. Each run starts again from a fresh image.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
if [ ! -f platform/ntfs/CMakeLists.txt ]; then
  echo "The NTFS backend is not in this build yet: the demo needs it."
  exit 0
fi

root="$PWD"
build="$root/build/demo"
out="$root/out/demo"
layout="$root/tools/layouts/demo.layout"

echo "== Building (Release, $build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCONTIGRA_NTFS=ON \
  -DCONTIGRA_BUILD_TESTS=OFF -DCONTIGRA_BUILD_BENCH=OFF >/dev/null
if ! cmake --build "$build" --target contigra_aux contigra_mkimage contigra_runs contigra_clustermap \
    >"$build/demo-build.log" 2>&1; then
  cat "$build/demo-build.log"
  exit 1
fi
aux="$build/cli/contigra_aux"
runs="$build/tools/contigra_runs"

echo "== Creating a fresh demo image"
rm -rf "$out"
mkdir -p "$out"
image="$out/c.img"
"$build/tools/contigra_mkimage" "$layout" "$image"
echo "   $image ($(du -h --apparent-size "$image" | cut -f1), from tools/layouts/demo.layout)"

# C: is this image for this run only: the variable replaces the drive table
# (~/.config/contigra/drives is neither read nor written).
export CONTIGRA_DRIVES="C=$image"

# The layout's files as Windows paths, in layout order.
mapfile -t files < <(awk '$1 == "file" {
    line = $0; sub(/^file[ \t]+/, "", line)
    if (line ~ /^"/) { sub(/^"/, "", line); sub(/".*/, "", line) } else sub(/[ \t].*/, "", line)
    print "C:\\" line }' "$layout")
printf '%s\r\n' "${files[@]}" > "$out/files.txt"

# "C:\Mail\inbox.mbx" -> "/Mail/inbox.mbx" for the ntfs-3g tools.
tool_path() { local p="${1:2}"; printf '%s' "${p//\\//}"; }

# One line per file: path, size, pieces (runs that do not continue the one
# before), or "in MFT record" for data held in the file record.
table() {
  local title="$1"
  printf '\n%s\n' "$title"
  printf '  %-28s %10s  %s\n' "File" "Size" "Fragments"
  "$runs" "${files[@]}" | awk -v sizes="$out/sizes.txt" '
    BEGIN { while ((getline l < sizes) > 0) { split(l, kv, "\t"); size[kv[1]] = kv[2] } }
    function flush() {
      if (name != "") printf "  %-28s %10s  %s\n", name, size[name], resident ? "in MFT record" : pieces
    }
    /^C:/ {
      flush()
      resident = index($0, ": no clusters") > 0
      name = resident ? substr($0, 1, index($0, ": no clusters") - 1) : substr($0, 1, length($0) - 1)
      pieces = 0; end = -1
      next
    }
    $1 == "vcn" && $3 == "lcn" { if ($4 != end) pieces++; end = $4 + $6 }
    END { flush() }'
}

: > "$out/sizes.txt"
declare -A sha_before
for f in "${files[@]}"; do
  bytes=$(ntfscat -f "$image" "$(tool_path "$f")" | tee >(sha256sum | cut -c1-64 > "$out/sha.tmp") | wc -c)
  sha_before["$f"]=$(cat "$out/sha.tmp")
  printf '%s\t%s\n' "$f" "$(numfmt --to=iec-i --suffix=B "$bytes")" >> "$out/sizes.txt"
done

table "Before:"
"$build/tools/contigra_clustermap" --drive C --out "$out/before.png" --highlight 'C:\Data\orders.db' \
  --columns 128 --scale 4

printf '\n== contigra_aux -l %s\n' "out/demo/files.txt"
start=$(date +%s.%N)
set +e
"$aux" -l "$out/files.txt" | tr -d '\r' | sed 's/^/   /'
status=${PIPESTATUS[0]}
set -e
seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}')
echo "   exit code $status, $seconds s"

table "After:"
"$build/tools/contigra_clustermap" --drive C --out "$out/after.png" --highlight 'C:\Data\orders.db' \
  --columns 128 --scale 4

changed=0
for f in "${files[@]}"; do
  now=$(ntfscat -f "$image" "$(tool_path "$f")" | sha256sum | cut -c1-64)
  [ "$now" = "${sha_before[$f]}" ] || { echo "   CHANGED: $f"; changed=1; }
done
rm -f "$out/sha.tmp"
[ "$changed" = 0 ] && echo "Contents: every file reads back byte for byte as before (SHA-256 by ntfscat)."
if "$(command -v ntfsresize || echo /usr/sbin/ntfsresize)" -i -f -P "$image" >"$out/check.txt" 2>&1; then
  echo "Volume check (ntfsresize): consistent."
else
  echo "Volume check (ntfsresize) reported problems: see out/demo/check.txt"; changed=1
fi

cat <<EOF

Cluster maps (white free, grey metadata, one colour per file, orders.db red):
  before: out/demo/before.png
  after:  out/demo/after.png
The image stays in out/demo/c.img; the next run of this script starts from a fresh one.
EOF
[ "$status" = 0 ] && [ "$changed" = 0 ]
