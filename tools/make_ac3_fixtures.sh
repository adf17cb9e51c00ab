#!/usr/bin/env bash
# Makes the small AC-3 test streams in tests/fixtures/ac3 with ffmpeg's
# encoder, and from each a copy whose dithflag bits are cleared (made by
# build/bin/ac3_clear_dither), for exact comparison with other decoders.
#
#   tools/make_ac3_fixtures.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=tests/fixtures/ac3
mkdir -p "$out"

# Broadband test signal: tones, gliding tone, noise bursts; every channel
# different. aevalsrc expressions, one per channel.
channel() {  # $1 = base frequency, $2 = noise weight, $3 = seed
  echo "0.25*sin(2*PI*$1*t)*(0.6+0.4*sin(2*PI*3*t))+0.12*sin(2*PI*($1*4+2000*t)*t)+$2*(random($3)-0.5)*gt(mod(t\\,0.5)\\,0.25)"
}

make() {  # name layout channels bitrate seconds extra-encoder-options...
  local name=$1 layout=$2 n=$3 rate=$4 seconds=$5
  shift 5
  local exprs=() seeds=(0 1 2 3 4 5) freqs=(220 330 440 550 660 70)
  for ((i = 0; i < n; i++)); do exprs+=("$(channel "${freqs[$i]}" 0.3 "${seeds[$i]}")"); done
  local joined
  joined=$(IFS='|'; echo "${exprs[*]}")
  ffmpeg -v error -y -f lavfi -i "aevalsrc=${joined}:s=48000:d=${seconds}:c=${layout}" \
    -c:a ac3 -b:a "$rate" "$@" "$out/$name.ac3"
  "$build/bin/ac3_clear_dither" "$out/$name.ac3" "$out/${name}_nodither.ac3"
}

make stereo_cpl_96k       stereo 2  96k 1.5 -channel_coupling 1
make stereo_192k          stereo 2 192k 1.0 -channel_coupling 0
make surround51_448k      5.1    6 448k 1.0
make surround51_cpl_256k  5.1    6 256k 1.0 -channel_coupling 1
make mono_64k             mono   1  64k 1.0
make front30_256k         3.0    3 256k 1.0
make quad_320k            quad   4 320k 1.0
make front31_160k         4.0    4 160k 1.0 -channel_coupling 1
make stereo_lfe_128k      2.1    3 128k 1.0
make back21_128k         FL+FR+BC 3 128k 1.0
ls -l "$out"
