#!/usr/bin/env bash
# Encodes the same programme-like WAV with mp2enc, twolame (384 kbit/s, its
# default psychoacoustic model) and ffmpeg's mp2 encoder; prints the times,
# the speed ratios and, through mpg123, each one's SNR (whole file and the
# music / speech / transients / noise parts).
# Usage: bench/mpa/run.sh [BUILD_DIR] ; SEGMENT=seconds per part (default 150).
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bin=$build/bin
data=$build/bench-data
mkdir -p "$data"
seg=${SEGMENT:-150}
wav=$data/material-$seg.wav
[ -f "$wav" ] || bench/mpa/make_material.sh "$wav" "$seg"
frames=$(( ($(stat -c %s "$wav") - 44) / 4 / 1152 ))
seconds=$(( seg * 4 ))
echo "material: $wav ($seconds s, $frames frames)"

"$bin/bench_mpa" --benchmark_min_time=2 2>/dev/null | grep BM_ || true

# CPU seconds (user + sys) of one command.
cpu_time() {
  local start end
  /usr/bin/time -f "%U %S" -o "$data/time.txt" "$@" >/dev/null 2>&1
  awk '{printf "%.3f", $1 + $2}' "$data/time.txt"
}

t_ours=$(cpu_time "$bin/mp2enc" "$wav" "$data/ours.mp2")
t_twolame=$(cpu_time twolame --quiet -b 384 "$wav" "$data/twolame.mp2")
t_ffmpeg=$(cpu_time ffmpeg -nostdin -v error -y -threads 1 -i "$wav" -c:a mp2 -b:a 384k "$data/ffmpeg.mp2")

report() {
  local name=$1 t=$2
  awk -v n="$name" -v t="$t" -v f="$frames" -v s="$seconds" \
    'BEGIN { printf "%-8s %8.3f s CPU  %9.0f frames/s  %6.1fx real time\n", n, t, f / t, s / t }'
}
report mp2enc "$t_ours"
report twolame "$t_twolame"
report ffmpeg "$t_ffmpeg"
awk -v a="$t_ours" -v b="$t_twolame" -v c="$t_ffmpeg" \
  'BEGIN { printf "speed ratio: mp2enc / twolame %.2fx, mp2enc / ffmpeg %.2fx\n", b / a, c / a }'

for name in ours twolame ffmpeg; do
  mpg123 -q -s "$data/$name.mp2" > "$data/$name.raw"
  printf "%-8s " "$name"
  "$bin/pcm_snr" "$wav" "$data/$name.raw" 4
done
echo "(parts: music-like, speech-like, transients, noise)"
