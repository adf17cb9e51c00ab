#!/usr/bin/env bash
# Builds the libFuzzer harnesses in build-fuzz and runs each for the given
# number of seconds, printing executions, coverage and crashes per harness.
#
#   bench/fuzz.sh [SECONDS_PER_HARNESS] [HARNESS...]
#
# Each harness starts from its committed seeds (fuzz/corpus/<harness>) and
# the corpus it grew in earlier runs (build-fuzz/corpus/<harness>, kept);
# crash, hang and out-of-memory inputs land in build-fuzz/artifacts/<harness>.
# PARALLEL=1 runs the harnesses at the same time (one process each) instead
# of one after the other. FUZZ_SEED fixes libFuzzer's seed (make fuzz-smoke
# uses 1, so CI runs are repeatable). Exit status 1 when any harness found a crash.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
build=build-fuzz
all=(ac3_frame title_scan wav_reader)
for extra in ac3_intake extraction disc_ifo; do
  [ -f "fuzz/${extra}_fuzzer.cpp" ] && all+=("$extra")
done
harnesses=("${all[@]}")
[ $# -gt 0 ] && harnesses=("$@")

# The largest input each harness is given: a few packs for the program
# stream harnesses, a frame or a small file for the others.
max_len() {
  case $1 in
    title_scan | extraction | disc_ifo) echo 24576 ;;
    ac3_intake) echo 12288 ;;
    *) echo 4096 ;;
  esac
}

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DVOLTARK_FUZZ=ON -DVOLTARK_BUILD_TESTS=OFF \
    -DVOLTARK_BUILD_BENCH=OFF -DVOLTARK_BUILD_GUI=OFF >/dev/null
fi
cmake --build "$build" -j "${JOBS:-2}" --target fuzzers

run_one() {
  local h=$1
  local corpus=$build/corpus/$h artifacts=$build/artifacts/$h log=$build/logs/$h.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/bin/fuzz_$h" "$corpus" "fuzz/corpus/$h" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2560 -max_len="$(max_len "$h")" -print_final_stats=1 ${FUZZ_SEED:+-seed=$FUZZ_SEED} \
    -artifact_prefix="$artifacts/" >"$log" 2>&1 || true
}

report_one() {
  local h=$1 log=$build/logs/$h.log
  local execs rate cov ft crashes
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log" | tail -1)
  crashes=$(grep -c 'Test unit written to' "$log" || true)
  printf '%-12s %6ss  executions %-9s (%s/s)  %s  crashes %s\n' "$h" "$seconds" "${execs:-?}" "${rate:-?}" \
    "${cov:-cov: ?}" "$crashes"
  if [ "$crashes" != 0 ]; then
    grep -E '^SUMMARY: |ERROR: libFuzzer|Test unit written' "$log" | sed 's/^/    /'
    return 1
  fi
}

if [ "${PARALLEL:-0}" = 1 ]; then
  for h in "${harnesses[@]}"; do run_one "$h" & done
  wait
else
  for h in "${harnesses[@]}"; do run_one "$h"; done
fi

status=0
for h in "${harnesses[@]}"; do report_one "$h" || status=1; done
exit $status
