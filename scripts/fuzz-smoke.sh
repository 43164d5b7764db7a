#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang into build-fuzz/ and runs each one
# for a short time (FUZZ_SECONDS, 15 by default), all at once, starting from
# its seeds in fuzz/corpus/<target>/. Any finding (a crash, a sanitizer report,
# a broken rule, a hang) fails the run; the input that found it is kept in a
# temporary folder, named in the output, never in the checkout.
# JOBS sets the number of parallel compiles (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --packages-only
jobs="${JOBS:-$(nproc)}"
seconds="${FUZZ_SECONDS:-15}"
# The build is the preset "fuzz" (CMakePresets.json).
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"

work="$(mktemp -d "${TMPDIR:-/tmp}/lumrik-fuzz-XXXXXX")"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
root="$PWD"
targets=()
pids=()
for seeds in fuzz/corpus/*/; do
  t="$(basename "$seeds")"
  targets+=("$t")
  mkdir -p "$work/$t/corpus" "$work/$t/artifacts"
  # New inputs go to the first folder (temporary); the seeds are only read.
  ( cd "$work/$t" && HOME="$work/$t" TMPDIR="$work/$t" "$root/build-fuzz/fuzz/fuzz_$t" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/$t/artifacts/" "$work/$t/corpus" "$root/$seeds" >"$work/$t/log" 2>&1 ) &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  t="${targets[$i]}"
  if wait "${pids[$i]}"; then
    echo "fuzz_$t: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$t/log" | grep -o '[0-9]*$') runs, no finding"
  else
    failed=1
    echo "fuzz_$t: FINDING (input kept in $work/$t/artifacts/)" >&2
    tail -n 40 "$work/$t/log" >&2
  fi
done
if [ "$failed" -ne 0 ]; then exit 1; fi
rm -rf "$work"
