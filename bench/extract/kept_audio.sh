#!/usr/bin/env bash
# Keeping every audio track of the 20-minute title (as bench/extract/run.sh
# makes it) against ffmpeg copying the same streams into a program stream in
# the same run: wall time, CPU time (user + system) and the ratio ours/ffmpeg
# (the target: at most 0.5). The page cache is warmed first.
#
# Usage: bench/extract/kept_audio.sh [BUILD_DIR]   (SECONDS_OF_TITLE=1200)
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/../.."
seconds=${SECONDS_OF_TITLE:-1200}
work=${VOLTARK_BENCH_DIR:-/tmp/voltark-bench}
dvd="$work/dvd-$seconds"
cli="$PWD/$build/bin/voltark-cli"
if [ ! -f "$dvd/VIDEO_TS/VTS_01_1.VOB" ]; then
  echo "== Making a ${seconds}-second title (AC-3 5.1 448 kbit/s) in $dvd (once)"
  bash tools/make-dvd-folder.sh --force -q "$dvd" "title=1 seconds=$seconds audio=ac3:6ch:448k"
fi
input=$(ls "$dvd"/VIDEO_TS/VTS_01_*.VOB | sort -V | paste -sd'|')
cat "$dvd"/VIDEO_TS/VTS_01_*.VOB > /dev/null

. bench/extract/timing.sh

run "$work/kept.time" "$cli" extract "$dvd" --title 1 --audio all --keep-audio --overwrite --output "$work/kept.mpg"
run "$work/ffcopy.time" ffmpeg -v error -y -f mpeg -i "concat:$input" -map 0:v -map 0:a -c copy -f vob "$work/ffcopy.vob"
ours=$(wall "$work/kept.time")
theirs=$(wall "$work/ffcopy.time")
echo "keep every track: voltark ${ours} s (CPU $(cpu "$work/kept.time") s), ffmpeg -c copy ${theirs} s (CPU $(cpu "$work/ffcopy.time") s)"
awk -v a="$ours" -v b="$theirs" 'BEGIN {printf "ratio voltark/ffmpeg %.2f (target at most 0.50)\n", a / b}'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
