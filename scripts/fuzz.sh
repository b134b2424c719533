#!/usr/bin/env bash
# Coverage-guided fuzzing with libFuzzer (clang 14): builds the fuzz targets and runs each for
# a bounded time from its checked-in seed corpus in fuzz/corpus/. New inputs go to a scratch
# copy, never into the checked-in corpus. A crash or broken invariant stops with the input
# saved under build-fuzz/found/: add it to fuzz/corpus/<target>/ with its fix, and ctest
# replays it from then on.
#   scripts/fuzz.sh [SECONDS_PER_TARGET [TARGET...]]     (default 40 s, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-40}
shift || true
targets=${*:-"pictures criteria file_names command_line"}

cmake --preset fuzz >/dev/null
# shellcheck disable=SC2046
cmake --build build-fuzz -j"$(nproc)" --target $(for t in $targets; do echo "fuzz_$t"; done)

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
mkdir -p build-fuzz/found
status=0
for t in $targets; do
  work=build-fuzz/corpus/$t
  rm -rf "$work" && mkdir -p "$work"
  log=build-fuzz/$t.log
  echo "== fuzz $t for ${seconds}s"
  if ! "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="build-fuzz/found/$t-" \
      "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    grep -E "ERROR|invariant broken|Test unit written" "$log" | head -20 || true
    status=1
  fi
  # Executions, slowest input, coverage (instrumented edges and features) and corpus size.
  grep -E "stat::number_of_executed_units|stat::slowest_unit_time_sec|stat::peak_rss_mb" "$log" | tr '\n' ' ' || true
  grep -E "^#[0-9]+.*(DONE|cov:)" "$log" | tail -1 || true
done
exit $status
