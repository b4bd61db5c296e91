#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": Clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one briefly from its seed
# corpus, after replaying the inputs that once broke it. Fails on any
# crash, sanitizer report, broken property, hang or memory blow-up.
#
#   FUZZ_SECONDS   time per target (default 20)
#   FUZZ_TARGETS   space-separated target names (default: all built)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
seconds="${FUZZ_SECONDS:-20}"
build=build/fuzz

cmake --preset fuzz >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzzers

targets="${FUZZ_TARGETS:-$(cd "$build/fuzz" && ls fuzz_* | sed 's/^fuzz_//')}"
work="$build/fuzz-runs"
mkdir -p "$work"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
limits=(-timeout=10 -rss_limit_mb=512 -malloc_limit_mb=512)
for t in $targets; do
  exe="$PWD/$build/fuzz/fuzz_$t"
  echo "== fuzz_$t"
  if compgen -G "fuzz/regressions/$t/*" >/dev/null; then
    "$exe" "${limits[@]}" fuzz/regressions/"$t"/* 2>"$work/$t-regressions.log" ||
      { tail -n 40 "$work/$t-regressions.log"; echo "fuzz_$t: a saved regression fails"; exit 1; }
  fi
  # The seeds are copied so the run's findings never land in the tree.
  mkdir -p "$work/$t/corpus"
  cp -n fuzz/corpus/"$t"/* "$work/$t/corpus/" 2>/dev/null || true
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  "$exe" "${limits[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/$t-" "$work/$t/corpus" 2>"$work/$t.log" ||
    { tail -n 60 "$work/$t.log"; echo "fuzz_$t: failed; the input is saved as $work/$t-*"; exit 1; }
  grep -E '^(Done|stat::number_of_executed_units)' "$work/$t.log" | tr '\n' ' '
  echo
done
