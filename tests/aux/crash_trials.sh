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
#       write they came before.
#
# Builds what it runs in a folder of its own, build/crash-trials.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
bash scripts/setup.sh
build="$PWD/build/crash-trials"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCONTIGRA_NTFS=ON \
  -DCONTIGRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target aux_crash_tests contigra_aux contigra_mkimage >/dev/null

if [ "${1:-}" != "--every-write" ]; then
  CONTIGRA_AUX_CRASH_TRIALS="${1:-250}" CONTIGRA_CRASH_SEED="${2:-$RANDOM$RANDOM}" \
    "$build/tests/aux/aux_crash_tests"
  exit
fi

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

refused=() broken=() leaked=0
for ((n = 1; n <= writes; n++)); do
  cp "$work/pristine.img" "$work/c.img"
  (strace -o /dev/null -e trace=pwrite64 -e inject=pwrite64:signal=SIGKILL:when=$n \
    "$build/cli/contigra_aux" -l "$work/list" >/dev/null 2>&1 || true) 2>/dev/null
  if ! ntfsinfo -f -m "$work/c.img" >"$work/info" 2>&1; then
    refused+=("before write $n: $(grep -m1 -iE 'not match|error|fail' "$work/info")")
    continue
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
echo "$writes kills: ${#broken[@]} with damaged files or volume, ${#refused[@]} with an image libntfs-3g will not mount, $leaked with leaked clusters"
for r in "${broken[@]}" "${refused[@]}"; do echo "  $r"; done
[ ${#broken[@]} -eq 0 ] && [ ${#refused[@]} -eq 0 ]
