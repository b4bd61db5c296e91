#!/usr/bin/env bash
# The Debian package, installed for real: builds it with CPack from an
# existing build folder that has been built (argument; default build/ci;
# CPack installs what the build made and builds nothing), installs
# it with dpkg (apt fetches missing dependencies), runs the installed
# programs, validates the menu entry, then removes the package and checks
# that its files went with it.
#
# It changes the machine's /usr: run it on a build or test machine, as root
# or with sudo. A contigra package installed beforehand is refused rather
# than replaced.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${1:-build/ci}"

fail() {
  echo "test-package: FAILED: $*" >&2
  exit 1
}
installed() { dpkg-query -W -f='${Status}' contigra 2>/dev/null | grep -q 'install ok installed'; }

[ -f "$build/CPackConfig.cmake" ] || fail "$build has no CPack configuration (configure it first)"
installed && fail "a contigra package is installed already; remove it first"
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate missing (desktop-file-utils)"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

work="$(mktemp -d "${TMPDIR:-/tmp}/contigra-package.XXXXXX")"
cleanup() {
  if installed; then $sudo dpkg -r contigra >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== package ($build)"
(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/out/contigra_*.deb)"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Package Version Architecture Maintainer Depends
dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$'

echo "== install"
if ! $sudo dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
  # Dependencies dpkg could not satisfy: apt fetches them and completes.
  $sudo apt-get install -f -y -qq >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "install"; }
fi
installed || { cat "$work/dpkg.log"; fail "the package is not installed"; }
mapfile -t files < <(dpkg -L contigra | while IFS= read -r f; do [ -f "$f" ] && echo "$f"; done)
for f in /usr/bin/contigra /usr/bin/contigra_aux /usr/share/applications/contigra.desktop \
  /usr/share/icons/hicolor/scalable/apps/contigra.svg \
  /usr/share/icons/hicolor/48x48/apps/contigra.png; do
  [ -f "$f" ] || fail "$f missing"
done
for program in /usr/bin/contigra /usr/bin/contigra_aux; do
  if ldd "$program" | grep -q 'not found'; then
    ldd "$program" | grep 'not found'
    fail "$program misses libraries the package does not depend on"
  fi
done

echo "== contigra_aux from /usr/bin"
export CONTIGRA_RUNTIME_DIR="$work/run" CONTIGRA_DRIVES=""
out="$(cd / && contigra_aux -h)" || fail "contigra_aux -h ended with $?"
[ -z "$out" ] || fail "contigra_aux -h wrote: $out"
[ "$(command -v contigra_aux)" = /usr/bin/contigra_aux ] || fail "contigra_aux is not found in /usr/bin"
# An unmapped drive: nothing to move, but both lines of a run.
out="$(cd / && contigra_aux -d 'Q:\no such file.dat' | od -An -c | tr -s ' ')"
want="$(printf 'Defragmenting file : "Q:\\no such file.dat"\r\nDone : "Q:\\no such file.dat"\r\n' |
  od -An -c | tr -s ' ')"
[ "$out" = "$want" ] || fail "contigra_aux -d wrote: $out"
echo "-h: no output, exit code 0; -d: the two lines of a run"

echo "== menu entry"
desktop-file-validate /usr/share/applications/contigra.desktop || fail "desktop-file-validate"
echo "desktop-file-validate: no complaints"

echo "== contigra starts (offscreen, as an unprivileged user)"
if command -v setpriv >/dev/null && id nobody >/dev/null 2>&1 && [ "$(id -u)" -eq 0 ]; then
  # As nobody, so its settings go to a private folder and not beside the
  # program in /usr/bin.
  home="$work/home"
  mkdir -p "$home" && chown nobody "$home" && chmod 755 "$work"
  # setpriv replaces itself with the program, so the signal reaches it.
  setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups env -i HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    CONTIGRA_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen /usr/bin/contigra \
    >"$work/contigra.log" 2>&1 &
  pid=$!
  sleep 3
  kill -0 "$pid" 2>/dev/null || { cat "$work/contigra.log"; fail "contigra ended at start"; }
  kill -TERM "$pid"
  wait "$pid" || fail "contigra ended with $? after SIGTERM"
  [ -f "$home/.config/contigra/config.cfg" ] || fail "contigra saved no settings at the end"
  echo "ran 3 s, ended on SIGTERM with its settings saved"
else
  echo "skipped: needs root, setpriv and the user nobody"
fi

echo "== remove"
$sudo dpkg -r contigra >/dev/null
installed && fail "still installed after dpkg -r"
for f in "${files[@]}"; do
  [ ! -e "$f" ] || fail "$f left behind"
done
echo "${#files[@]} files installed and removed again"
echo "test-package: OK"
