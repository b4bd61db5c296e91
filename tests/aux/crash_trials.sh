#!/usr/bin/env bash
# Crash trials of contigra_aux beyond what CI runs (for a nightly job):
#
#   bash tests/aux/crash_trials.sh [TRIALS] [SEED]
#       kills `contigra_aux -l` with SIGKILL at TRIALS random instants
#       (default 250), each on a fresh copy of the image, and checks the
#       files, the volume and the next helper run after each (the test
#       aux_crash_tests, which CI runs with 50);
#
#   bash tests/aux/crash_trials.sh --every-write
#       kills a list run of three files just before each of its writes in
#       turn (the Nth pwrite, through strace's fault injection), so every
#       state between two writes is left behind once; after each kill the
#       image must still mount in libntfs-3g, the files must read as before
#       and ntfsresize must find nothing worse than leaked clusters. Kills
#       that leave an image the library will not mount are listed with the
#       write they came before. A kill between the two copies of the
#       $Volume record (the dirty mark) leaves $MFTMirr behind, which the
#       library refuses; the next helper run must mend it, so such images
#       count as unmountable only if they stay refused after that run.
#
#   bash tests/aux/crash_trials.sh --faults
#       the exhaustive sweep of failing device reads, writes and flushes
#       (ntfs_fault_tests with CONTIGRA_FAULT_SWEEP=full);
#
#   bash tests/aux/crash_trials.sh --gui [TRIALS] [SEED]
#       kills the desktop program `contigra` at TRIALS random instants
#       (default 100) of a 500-file profile run (app_crash_tests, which CI
#       runs with 10);
#
#   bash tests/aux/crash_trials.sh --nightly [SEED]
#       100 kills of `contigra` and 150 of `contigra_aux -l`.
#
# Builds what it runs in a folder of its own, build/crash-trials
# (CONTIGRA_CRASH_BUILD names another).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
bash scripts/setup.sh
build="${CONTIGRA_CRASH_BUILD:-$PWD/build/crash-trials}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCONTIGRA_NTFS=ON \
  -DCONTIGRA_BUILD_BENCH=OFF >/dev/null
targets=(aux_crash_tests contigra_aux contigra_mkimage)
case "${1:-}" in
  --faults) targets=(ntfs_fault_tests) ;;
  --gui) targets=(app_crash_tests contigra contigra_mkimage) ;;
  --nightly) targets+=(app_crash_tests contigra) ;;
esac
cmake --build "$build" --target "${targets[@]}" >/dev/null

gui_trials() {  # TRIALS SEED
  CONTIGRA_APP_CRASH_TRIALS="$1" CONTIGRA_CRASH_SEED="$2" QT_QPA_PLATFORM=offscreen \
    "$build/tests/app/app_crash_tests"
}
aux_trials() {  # TRIALS SEED
  CONTIGRA_AUX_CRASH_TRIALS="$1" CONTIGRA_CRASH_SEED="$2" "$build/tests/aux/aux_crash_tests"
}

case "${1:-}" in
  --every-write) ;;
  --faults) CONTIGRA_FAULT_SWEEP=full "$build/tests/ntfs/ntfs_fault_tests"; exit ;;
  --gui) gui_trials "${2:-100}" "${3:-$RANDOM$RANDOM}"; exit ;;
  --nightly)
    seed="${2:-$RANDOM$RANDOM}"
    started=$SECONDS
    status=0
    gui_trials 100 "$seed" || status=1
    aux_trials 150 "$seed" || status=1
    echo "nightly crash trials: $((SECONDS - started)) s, exit $status"
    exit $status ;;
  *) aux_trials "${1:-250}" "${2:-$RANDOM$RANDOM}"; exit ;;
esac

command -v strace >/dev/null || { echo "--every-write needs strace (apt-get install strace)"; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat > "$work/layout" <<'EOF'
size 16M
file Mail\inbox.mbx size=300000 frag=6
file Mail\sent.mbx size=120000 frag=4
file Data\orders.db size=500000 frag=8
EOF
files=(/Mail/inbox.mbx /Mail/sent.mbx /Data/orders.db)
printf 'C:\\Mail\\inbox.mbx\r\nC:\\Mail\\sent.mbx\r\nC:\\Data\\orders.db\r\n' > "$work/list"
"$build/tools/contigra_mkimage" "$work/layout" "$work/pristine.img"
declare -A sha
for f in "${files[@]}"; do sha[$f]=$(ntfscat -f "$work/pristine.img" "$f" 2>/dev/null | sha256sum); done
export CONTIGRA_DRIVES="C=$work/c.img" CONTIGRA_RUNTIME_DIR="$work/run"

# How many writes a whole run makes.
cp "$work/pristine.img" "$work/c.img"
strace -o "$work/trace" -e trace=pwrite64 "$build/cli/contigra_aux" -l "$work/list" >/dev/null
writes=$(grep -c '^pwrite64' "$work/trace")
echo "a whole run makes $writes writes; killing before each in turn"

refused=() broken=() leaked=0 mended=0
for ((n = 1; n <= writes; n++)); do
  cp "$work/pristine.img" "$work/c.img"
  (strace -o /dev/null -e trace=pwrite64 -e inject=pwrite64:signal=SIGKILL:when=$n \
    "$build/cli/contigra_aux" -l "$work/list" >/dev/null 2>&1 || true) 2>/dev/null
  if ! ntfsinfo -f -m "$work/c.img" >"$work/info" 2>&1; then
    # The next run mends a $Volume record cut off between its two copies.
    "$build/cli/contigra_aux" -l "$work/list" >/dev/null 2>"$work/next" || true
    if ! ntfsinfo -f -m "$work/c.img" >"$work/info" 2>&1; then
      refused+=("before write $n: $(grep -m1 -iE 'not match|error|fail' "$work/info")")
      continue
    fi
    grep -q 'was rewritten' "$work/next" && mended=$((mended + 1))
  fi
  for f in "${files[@]}"; do
    [ "$(ntfscat -f "$work/c.img" "$f" 2>/dev/null | sha256sum)" = "${sha[$f]}" ] ||
      broken+=("before write $n: $f changed")
  done
  # As the tests judge it: leaked clusters are allowed, nothing else.
  report=$("$(command -v ntfsresize || echo /usr/sbin/ntfsresize)" -i -f -v -P "$work/c.img" 2>&1 || true)
  if grep -q 'extra cluster in \$Bitmap' <<<"$report"; then leaked=$((leaked + 1)); fi
  bad=$(grep -E 'Cluster accounting failed|referenced multiple|Outside of the volume|ERROR' <<<"$report" |
        grep -vE 'extra cluster in \$Bitmap|NTFS is inconsistent' | head -1 || true)
  [ -z "$bad" ] || broken+=("before write $n: ntfsresize: $bad")
done
echo "$writes kills: ${#broken[@]} with damaged files or volume, ${#refused[@]} with an image libntfs-3g will not mount, $mended with \$MFTMirr behind (mended by the next run), $leaked with leaked clusters"
for r in "${broken[@]}" "${refused[@]}"; do echo "  $r"; done
[ ${#broken[@]} -eq 0 ] && [ ${#refused[@]} -eq 0 ]
