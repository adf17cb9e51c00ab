#!/usr/bin/env bash
# Two re-encoded tracks against one: the 20-minute title with two AC-3 5.1
# 448 kbit/s tracks, extracted with --audio ac3:0 and with --audio
# ac3:0,ac3:1 in the same run. The audio work doubles; the walk, the video
# and the output do not, and each track has its own encoder thread, so on
# two cores or more the ratio of the wall times stays well below 2 (the
# target: at most 1.9). Each is run RUNS times (default 3), alternating,
# and the fastest run of each is compared; wall and CPU time (user +
# system) are printed for every run, with the load average.
#
# Usage: bench/extract/reencoded_tracks.sh [BUILD_DIR]   (SECONDS_OF_TITLE=1200)
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/../.."
seconds=${SECONDS_OF_TITLE:-1200}
runs=${RUNS:-3}
work=${VOLTARK_BENCH_DIR:-/tmp/voltark-bench}
dvd="$work/dvd-$seconds-2ac3"
cli="$PWD/$build/bin/voltark-cli"
mkdir -p "$work"
if [ ! -f "$dvd/VIDEO_TS/VTS_01_1.VOB" ]; then
  echo "== Making a ${seconds}-second title (two AC-3 5.1 448 kbit/s tracks) in $dvd (once)"
  bash tools/make-dvd-folder.sh --force -q "$dvd" "title=1 seconds=$seconds audio=ac3:6ch:448k,ac3:6ch:448k"
fi
cat "$dvd"/VIDEO_TS/VTS_01_*.VOB > /dev/null

. bench/extract/timing.sh
best() { sort -g | head -1; }

one_walls=() two_walls=() one_cpus=() two_cpus=()
for i in $(seq "$runs"); do
  run "$work/one.time" "$cli" extract "$dvd" --title 1 --audio ac3:0 --overwrite --output "$work/one.mpg"
  run "$work/two.time" "$cli" extract "$dvd" --title 1 --audio ac3:0,ac3:1 --overwrite --output "$work/two.mpg"
  one_walls+=("$(wall "$work/one.time")") one_cpus+=("$(cpu "$work/one.time")")
  two_walls+=("$(wall "$work/two.time")") two_cpus+=("$(cpu "$work/two.time")")
  echo "run $i: one track ${one_walls[-1]} s (CPU ${one_cpus[-1]} s), two tracks ${two_walls[-1]} s (CPU ${two_cpus[-1]} s), load $(cut -d' ' -f1 /proc/loadavg)"
done
one=$(printf '%s\n' "${one_walls[@]}" | best)
two=$(printf '%s\n' "${two_walls[@]}" | best)
one_cpu=$(printf '%s\n' "${one_cpus[@]}" | best)
two_cpu=$(printf '%s\n' "${two_cpus[@]}" | best)
echo "fastest: one track ${one} s (CPU ${one_cpu} s), two tracks ${two} s (CPU ${two_cpu} s)"
awk -v a="$two" -v b="$one" -v c="$two_cpu" -v d="$one_cpu" \
  'BEGIN {printf "ratio two/one: wall %.2f (target at most 1.90), CPU %.2f\n", a / b, c / d}'
echo "cores: $(nproc), load average: $(cut -d' ' -f1-3 /proc/loadavg)"
