#!/usr/bin/env bash
# contigra_aux against e2fsprogs' e4defrag on the same workload, in one run:
#
#   sudo bash bench/race_e4defrag.sh [N...]        (default: 1000 10000)
#
# For each N: N files of 4 KiB-4 MiB (log-uniform sizes, seed 7), each
# meant to be in 2-8 pieces, in 20 folders. Contigra gets them on an NTFS
# image built by contigra_mkimage (files written interleaved chunk by
# chunk) and defragments them with `contigra_aux -l`; e4defrag gets the
# same names and sizes on an ext4 image of the same size, loop-mounted,
# written interleaved as well with an fsync after every chunk (without it
# delayed allocation would place each file whole). Both images sit in the
# same folder on the same disk (build/race, or CONTIGRA_BENCH_DIR).
#
# Timed: `contigra_aux -l LIST` (it flushes each move before the next), and
# `e4defrag DIR` followed by `sync` (so its data is on the disk as well),
# the ext4 volume freshly mounted before it.
# Fragments are counted before and after: contigra_runs for NTFS, filefrag
# (extents) for ext4. Needs root for the loop mount. BUILD_DIR picks an
# existing build of contigra_aux, contigra_mkimage and contigra_runs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 10000)
build="${BUILD_DIR:-build/bench-release}"
work="${CONTIGRA_BENCH_DIR:-build/race}"

if [ -z "${BUILD_DIR:-}" ]; then
  bash scripts/setup.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCONTIGRA_NTFS=ON >/dev/null
  cmake --build "$build" --target contigra_aux contigra_mkimage contigra_runs >/dev/null
fi
for tool in e4defrag filefrag mkfs.ext4 losetup python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (e2fsprogs, util-linux, python3)"; exit 2; }
done
[ "$(id -u)" -eq 0 ] || { echo "the ext4 side needs a loop mount: run as root"; exit 2; }
build="$(cd "$build" && pwd)"
aux="$build/cli/contigra_aux"
mkimage="$build/tools/contigra_mkimage"
runs="$build/tools/contigra_runs"
mkdir -p "$work"
work="$(cd "$work" && pwd)"
mnt="$work/mnt"
export CONTIGRA_RUNTIME_DIR="$work/run"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", b - a}'; }
cleanup() { mountpoint -q "$mnt" && umount "$mnt"; true; }
trap cleanup EXIT

# "path size pieces" per file, the same for both file systems.
manifest() {
  awk -v n="$1" 'BEGIN { srand(7)
    for (i = 0; i < n; i++) {
      size = int(4096 * 2 ^ (rand() * 10) / 4096) * 4096; if (size < 4096) size = 4096
      pieces = 2 + int(rand() * 7); if (pieces > size / 4096) pieces = size / 4096
      printf "D%02d/f%05d.dat %d %d\n", i % 20, i, size, pieces } }'
}

# "files fragmented extents" of the NTFS image.
ntfs_fragments() {
  awk '{print $1}' "$work/manifest" | xargs "$runs" --image "$1" |
    awk '/^Z:/ {if (n) {f += n > 1; e += n; c++}; n = 0; next} /lcn/ {n++}
         END {if (n) {f += n > 1; e += n; c++}; print c, f + 0, e + 0}'
}

# "files fragmented extents" of the mounted ext4 folder.
ext4_fragments() {
  (cd "$mnt" && awk '{print $1}' "$work/manifest" | xargs filefrag) |
    awk '{e += $(NF-2); f += $(NF-2) > 1; c++} END {print c, f + 0, e + 0}'
}

# Writes the manifest's files under $mnt, each in `pieces` chunks, chunk
# rounds interleaved across all files, each chunk flushed on its own.
write_ext4_files() {
  python3 - "$work/manifest" "$mnt" <<'EOF'
import os, sys
entries = [line.split() for line in open(sys.argv[1])]
root = sys.argv[2]
for d in {e[0].split('/')[0] for e in entries}:
    os.makedirs(os.path.join(root, d), exist_ok=True)
block = os.urandom(1 << 20)
fds = [os.open(os.path.join(root, e[0]), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644) for e in entries]
for r in range(max(int(e[2]) for e in entries)):
    for fd, (_, size, pieces) in zip(fds, entries):
        size, pieces = int(size), int(pieces)
        chunk = -(-size // 4096 // pieces) * 4096
        off = r * chunk
        if r >= pieces or off >= size:
            continue
        left = min(chunk, size - off)
        while left:
            n = min(left, len(block))
            os.pwrite(fd, block[:n], off)
            off += n
            left -= n
        os.fsync(fd)
for fd in fds:
    os.close(fd)
EOF
}

race() {
  local n="$1" ntfs="$work/race.ntfs.img" ext4="$work/race.ext4.img"
  manifest "$n" > "$work/manifest"
  local bytes mib
  bytes=$(awk '{s += $2} END {print s}' "$work/manifest")
  # Room for every file twice over, plus the metadata of either side.
  mib=$(awk -v b="$bytes" 'BEGIN {printf "%d", b * 2 / 1048576 + 128}')
  { echo "size ${mib}M"
    for d in $(seq -f 'D%02g' 0 19); do echo "dir $d"; done
    awk '{printf "file %s size=%d frag=%d\n", $1, $2, $3}' "$work/manifest"; } > "$work/race.layout"
  awk '{gsub("/", "\\"); print "C:\\" $1}' "$work/manifest" > "$work/race.list"
  echo "N=$n: $(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1048576}') MiB of data, images of $mib MiB"

  rm -f "$ntfs"
  "$mkimage" "$work/race.layout" "$ntfs"
  rm -f "$ext4"; truncate -s "${mib}M" "$ext4"
  # Initialised in full now: left lazy, the kernel would zero inode tables
  # in the background while e4defrag runs.
  mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$ext4"
  mkdir -p "$mnt"; mount -o loop "$ext4" "$mnt"
  write_ext4_files
  # Mounted afresh, so e4defrag starts with none of the files in the page
  # cache: with the pages just written still cached, each of its
  # EXT4_IOC_MOVE_EXT requests took about ten times longer here.
  umount "$mnt"; mount -o loop "$ext4" "$mnt"
  sync

  local nb eb na ea t0 t1 tn te
  nb=$(ntfs_fragments "$ntfs"); eb=$(ext4_fragments)
  t0=$(now); CONTIGRA_DRIVES="C=$ntfs" "$aux" -l "$work/race.list" >/dev/null; t1=$(now)
  tn=$(elapsed "$t0" "$t1")
  t0=$(now); e4defrag "$mnt" > "$work/e4defrag.txt" 2>&1 || true; sync; t1=$(now)
  te=$(elapsed "$t0" "$t1")
  na=$(ntfs_fragments "$ntfs"); ea=$(ext4_fragments)
  umount "$mnt"
  ntfsresize -i -f -P "$ntfs" | grep -qi 'error' && { echo "NTFS volume check failed"; exit 1; }
  e2fsck -fn "$ext4" >/dev/null 2>&1 || { echo "ext4 check failed"; exit 1; }
  rm -f "$ntfs" "$ext4"

  awk -v n="$n" -v b="$bytes" -v tn="$tn" -v te="$te" -v nb="$nb" -v na="$na" -v eb="$eb" -v ea="$ea" 'BEGIN {
    split(nb, NB, " "); split(na, NA, " "); split(eb, EB, " "); split(ea, EA, " ")
    printf "  %-22s %8s %9s %8s   %-28s %s\n", "", "time", "files/s", "MB/s", "before: fragmented/extents", "after: fragmented/extents"
    printf "  %-22s %7.2fs %9.1f %8.1f   %6d / %-19d %6d / %d\n", "contigra_aux -l (NTFS)", tn, n / tn, b / 1e6 / tn, NB[2], NB[3], NA[2], NA[3]
    printf "  %-22s %7.2fs %9.1f %8.1f   %6d / %-19d %6d / %d\n", "e4defrag + sync (ext4)", te, n / te, b / 1e6 / te, EB[2], EB[3], EA[2], EA[3] }'
  grep -E "Success|Failure" "$work/e4defrag.txt" | sed 's/^/  e4defrag: /' || true
}

echo "$(uname -r), $(nproc) cores, work folder $work ($(df -T "$work" | awk 'NR == 2 {print $2}')), load $(cut -d' ' -f1-3 /proc/loadavg)"
for n in "${sizes[@]}"; do race "$n"; done
