#!/usr/bin/env bash
# Moving files on NTFS images with contigra_aux (a Release build of its own
# in build/bench-release):
#
#   bash bench/ntfs_bench.sh [move|small|all] [REPEATS]
#
#   move   a 256 MiB file in 64 pieces made contiguous with `contigra_aux -d`,
#          against `cp` of the same 256 MiB on the same disk in the same run
#          (cp alone, and cp followed by `sync` of the copy: the mover flushes
#          its data before it rewrites the file record, cp does not);
#   small  10,000 files of 4-16 KiB in 2-4 pieces each (1 KiB clusters, so
#          every file can be fragmented) made contiguous one by one with
#          `contigra_aux -l`: files per second.
#
# Each repeat starts from a fresh image; the median is printed. Peak memory
# is the helper's maximum resident set size from /usr/bin/time -v. The work
# folder (default build/bench-ntfs, on the repository's disk) can be set with
# CONTIGRA_BENCH_DIR; BUILD_DIR picks an existing build of the tools instead.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
what="${1:-all}"
repeats="${2:-3}"
build="${BUILD_DIR:-build/bench-release}"
work="${CONTIGRA_BENCH_DIR:-build/bench-ntfs}"

if [ -z "${BUILD_DIR:-}" ]; then
  bash scripts/setup.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCONTIGRA_NTFS=ON >/dev/null
  cmake --build "$build" --target contigra_aux contigra_mkimage contigra_runs >/dev/null
fi
if [ ! -x /usr/bin/time ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends time >/dev/null
fi
build="$(cd "$build" && pwd)"
aux="$build/cli/contigra_aux"
mkimage="$build/tools/contigra_mkimage"
runs="$build/tools/contigra_runs"
mkdir -p "$work"
work="$(cd "$work" && pwd)"
export CONTIGRA_RUNTIME_DIR="$work/run"

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", b - a}'; }
# Runs a command under /usr/bin/time -v; sets WALL (s) and RSS (KiB).
timed() {
  /usr/bin/time -v -o "$work/time.txt" "$@"
  WALL=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0;
                      for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$work/time.txt")
  RSS=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
}
# Number of files among the arguments whose data is in more than one run.
fragmented_count() {
  "$runs" --image "$1" "${@:2}" | awk '/^Z:/ {if (n > 1) f++; n = 0; next} /vcn/ {n++}
                                      END {if (n > 1) f++; print f + 0}'
}

bench_move() {
  local img="$work/move.img" src="$work/src.bin" dst="$work/dst.bin"
  printf 'size 1024M\nfile big.bin size=256M frag=64\n' > "$work/move.layout"
  local moves=() cps=() cpsyncs=() rss=()
  for ((r = 1; r <= repeats; r++)); do
    rm -f "$img" "$dst"
    "$mkimage" "$work/move.layout" "$img"
    ntfscat -f "$img" big.bin > "$src"
    local pieces
    pieces=$("$runs" --image "$img" big.bin | grep -c vcn)
    sync
    # cp of the same bytes, file to file on the same disk.
    local t0 t1
    t0=$(now); cp "$src" "$dst"; t1=$(now)
    cps+=("$(elapsed "$t0" "$t1")")
    rm -f "$dst"; sync
    t0=$(now); cp "$src" "$dst"; sync "$dst"; t1=$(now)
    cpsyncs+=("$(elapsed "$t0" "$t1")")
    rm -f "$dst"; sync
    CONTIGRA_DRIVES="C=$img" timed "$aux" -d 'C:\big.bin' >/dev/null
    moves+=("$WALL"); rss+=("$RSS")
    local after
    after=$("$runs" --image "$img" big.bin | grep -c vcn)
    [ "$after" = 1 ] || { echo "big.bin is in $after pieces after the move"; exit 1; }
    [ "$(ntfscat -f "$img" big.bin | sha256sum)" = "$(sha256sum < "$src")" ] ||
      { echo "big.bin changed"; exit 1; }
    echo "  run $r: $pieces pieces -> 1; move ${WALL} s, cp ${cps[-1]} s, cp+sync ${cpsyncs[-1]} s, peak RSS ${RSS} KiB"
  done
  rm -f "$img" "$src" "$dst"
  local m c cs peak
  m=$(printf '%s\n' "${moves[@]}" | median)
  c=$(printf '%s\n' "${cps[@]}" | median)
  cs=$(printf '%s\n' "${cpsyncs[@]}" | median)
  peak=$(printf '%s\n' "${rss[@]}" | sort -g | tail -1)
  awk -v m="$m" -v c="$c" -v cs="$cs" -v p="$peak" 'BEGIN {
    printf "move 256 MiB, 64 pieces -> 1: %.2f s = %.0f MB/s\n", m, 268.435456 / m
    printf "cp 256 MiB:                   %.2f s = %.0f MB/s  (move/cp = %.2f)\n", c, 268.435456 / c, c / m
    printf "cp 256 MiB + sync:            %.2f s = %.0f MB/s  (move/(cp+sync) = %.2f)\n", cs, 268.435456 / cs, cs / m
    printf "helper peak RSS:              %.1f MiB\n", p / 1024 }'
}

bench_small() {
  local img="$work/small.img" list="$work/small.list"
  awk 'BEGIN { srand(7); print "size 256M"; print "cluster 1024"
               for (d = 0; d < 20; d++) printf "dir D%02d\n", d
               for (i = 0; i < 10000; i++)
                 printf "file D%02d\\f%05d.dat size=%d frag=%d\n", i % 20, i, 4096 + int(rand() * 12289), 2 + int(rand() * 3) }' \
    > "$work/small.layout"
  awk '/^file/ {print "C:\\" $2}' "$work/small.layout" > "$list"
  local names
  mapfile -t names < <(awk '/^file/ {print $2}' "$work/small.layout")
  local rates=() rss=()
  for ((r = 1; r <= repeats; r++)); do
    rm -f "$img"
    "$mkimage" "$work/small.layout" "$img"
    local before after
    before=$(fragmented_count "$img" "${names[@]}")
    sync
    CONTIGRA_DRIVES="C=$img" timed "$aux" -l "$list" >/dev/null
    after=$(fragmented_count "$img" "${names[@]}")
    rates+=("$(awk -v w="$WALL" 'BEGIN {printf "%.1f", 10000 / w}')"); rss+=("$RSS")
    echo "  run $r: $before fragmented -> $after; ${WALL} s = ${rates[-1]} files/s, peak RSS ${RSS} KiB"
    [ "$after" = 0 ] || { echo "files left fragmented"; exit 1; }
  done
  "$(command -v ntfsresize || echo /usr/sbin/ntfsresize)" -i -f -P "$img" | grep -qi 'error' && { echo "volume check failed"; exit 1; }
  rm -f "$img"
  local rate peak
  rate=$(printf '%s\n' "${rates[@]}" | median)
  peak=$(printf '%s\n' "${rss[@]}" | sort -g | tail -1)
  awk -v r="$rate" -v p="$peak" 'BEGIN {
    printf "10,000 files of 4-16 KiB, one by one: %.1f files/s\n", r
    printf "helper peak RSS:                      %.1f MiB\n", p / 1024 }'
}

echo "$(uname -r), $(nproc) cores, work folder $work ($(df -T "$work" | awk 'NR == 2 {print $2}'))"
case "$what" in
  move) bench_move ;;
  small) bench_small ;;
  all) bench_move; bench_small ;;
  *) echo "usage: bench/ntfs_bench.sh [move|small|all] [REPEATS]"; exit 2 ;;
esac
