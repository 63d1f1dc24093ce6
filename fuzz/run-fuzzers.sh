#!/usr/bin/env bash
# Writes the seeds and runs every fuzz target for a bounded time.
#   run-fuzzers.sh BUILD-FOLDER [SECONDS-PER-TARGET]
# Longer runs by hand: build-fuzz/fuzz/knetix_fuzz_project build-fuzz/corpus/project
# A crash leaves its input as crash-* in the build folder and fails the run.
set -euo pipefail
build=$(realpath "$1")
seconds=${2:-15}
corpus="$build/corpus"
"$build/fuzz/knetix_fuzz_seeds" "$corpus"
cd "$build"
status=0
for target in project batch dib image thumbdb; do
  echo "== $target (${seconds} s)"
  if ! ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/knetix_fuzz_$target" "$corpus/$target" \
      -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3000 -print_final_stats=1 \
      2> "$build/fuzz-$target.log"; then
    status=1
    tail -40 "$build/fuzz-$target.log"
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/fuzz-$target.log" || true
done
exit $status
