#!/usr/bin/env bash
# AC-3 decoding speed beside its peers, on one core: this decoder (Google
# Benchmark), liba52 (bench/ac3/a52_harness.c) and ffmpeg's ac3 (float) and
# ac3_fixed decoders, each downmixing the same 60 s streams to stereo.
#
#   bench/ac3/run.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
work="$build/bench-data/ac3"
mkdir -p "$work"

make_stream() {  # name layout bitrate
  local out="$work/$1.ac3"
  [ -s "$out" ] && return
  ffmpeg -v error -y -f lavfi -i "aevalsrc=0.2*sin(2*PI*(220+40*c)*t)+0.1*(random(0)-0.5):s=48000:d=60:c=$2" \
    -c:a ac3 -b:a "$3" "$out" 2>/dev/null ||
  ffmpeg -v error -y -f lavfi -i "anoisesrc=d=60:a=0.1:r=48000,aformat=channel_layouts=$2" -c:a ac3 -b:a "$3" "$out"
}
make_stream surround51_448k 5.1 448k
make_stream stereo_192k stereo 192k

# ffmpeg decodes the stream ten times over (-stream_loop 9) so that its
# start-up time hardly counts.
ffmpeg_rate() {  # decoder file frames
  local utime
  utime=$(taskset -c 0 ffmpeg -nostdin -benchmark -threads 1 -stream_loop 9 -c:a "$1" -i "$2" -ac 2 -f null - 2>&1 |
    sed -n 's/.*utime=\([0-9.]*\)s.*/\1/p')
  awk -v f="$3" -v t="$utime" 'BEGIN { printf "%.0f", f / t }'
}

for name in surround51_448k stereo_192k; do
  file="$work/$name.ac3"
  ours=$(AC3_BENCH_FILE="$file" taskset -c 0 "$build/bin/bench_ac3" --benchmark_min_time=2 --benchmark_format=json 2>/dev/null |
    python3 -c 'import json, sys; print(round(json.load(sys.stdin)["benchmarks"][0]["frames_per_s"]))')
  a52=$(taskset -c 0 "$build/bin/a52_harness" "$file" 5 | sed -n 's/.*frames_per_s \([0-9]*\).*/\1/p')
  frames=$(( 60 * 48000 / 1536 ))
  float=$(ffmpeg_rate ac3 "$file" $((10 * frames)))
  fixed=$(ffmpeg_rate ac3_fixed "$file" $((10 * frames)))
  echo "$name ($frames frames):"
  awk -v o="$ours" -v a="$a52" -v fl="$float" -v fx="$fixed" 'BEGIN {
    printf "  voltark    %8d frames/s\n", o
    printf "  liba52     %8d frames/s   voltark/liba52     %.2f\n", a, o / a
    printf "  ffmpeg ac3 %8d frames/s   voltark/ffmpeg ac3 %.2f\n", fl, o / fl
    printf "  ac3_fixed  %8d frames/s   voltark/ac3_fixed  %.2f\n", fx, o / fx
  }'
done
