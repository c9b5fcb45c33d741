#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for SECONDS
# (default 15) on its seed corpus; a failing property or a sanitizer finding stops the
# script with the input that caused it (crash-*, in build-fuzz/findings/).
# Usage: [FUZZ_SEED=N] fuzz/run.sh [SECONDS] [target...]
# With FUZZ_SEED each target starts from the seeds alone with that random seed, so a run is
# repeatable: the same inputs in the same order on every run, cut where the time ends.
# ./test.sh runs so. Without it the corpus grows across runs in build-fuzz/corpus with a
# fresh seed each time: the longer search by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_framer fuzz_keyvaluefile fuzz_numbers fuzz_calibrationframe fuzz_sheetstore)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZING=ON "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null
mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
  seed=()
  if [ -n "${FUZZ_SEED:-}" ]; then
    work=build-fuzz/seeded/$t
    rm -rf "$work"
    seed=(-seed="$FUZZ_SEED")
  else
    work=build-fuzz/corpus/$t
  fi
  mkdir -p "$work"
  cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
  log=build-fuzz/findings/$t.log
  echo "== $t, ${seconds} s${FUZZ_SEED:+, seed $FUZZ_SEED}"
  limits=()
  # A sheet file of at most a few kilobytes must never ask for megabytes.
  [ "$t" = fuzz_sheetstore ] && limits=(-malloc_limit_mb=8)
  if ! build-fuzz/fuzz/"$t" -max_total_time="$seconds" -print_final_stats=1 "${limits[@]}" "${seed[@]}" \
       -artifact_prefix=build-fuzz/findings/ "$work" >"$log" 2>&1; then
    tail -40 "$log"
    echo "FAILED: $t (log: $log)"
    exit 1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$log" | sed "s/^/  /"
done
