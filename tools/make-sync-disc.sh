#!/usr/bin/env bash
# Makes an authored DVD folder (OUTDIR/VIDEO_TS with IFO files) whose title
# carries sync marks: a white picture and a 50 ms 1 kHz beep at the same
# moment every MARK seconds. Video by mpeg2enc, programme stream by mplex,
# folder by dvdauthor, AC-3 audio by ffmpeg. A developer and test tool: the
# program itself never runs it.
#
# Usage: make-sync-disc.sh OUTDIR KIND SECONDS [CHAINS]
#   KIND    ntsc-film         NTSC 23.976 pictures/s with soft 3:2 pulldown
#           ntsc-interlaced   NTSC 29.97 interlaced
#           pal               PAL 25 progressive
#   SIZE    (environment) picture size instead of 720x480 / 720x576
#   CHAINS  programme chains in title set 1 (default 1), each SECONDS long
#           with its own clock from 0 (the input clock steps back between)
set -euo pipefail

out=$1 kind=$2 seconds=$3 chains=${4:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $kind in
  ntsc-film)       size=${SIZE:-720x480} rate=24000/1001 norm=n frc=1 enc=(-p) fmt=NTSC ;;
  ntsc-interlaced) size=${SIZE:-720x480} rate=30000/1001 norm=n frc=4 enc=(-I 1) fmt=NTSC ;;
  pal)             size=${SIZE:-720x576} rate=25 norm=p frc=3 enc=() fmt=PAL ;;
  *) echo "unknown kind $kind" >&2; exit 2 ;;
esac

# A mark every 48 pictures (about 2 s): picture 48k is white, and its time
# k * 48 / rate starts a beep.
mark=$(python3 -c "from fractions import Fraction as F; print(float(48 / F('$rate')))")
pictures=$(python3 -c "from fractions import Fraction as F; print(int(F('$seconds') * F('$rate')))")

pgcs=""
rm -rf "$out/VIDEO_TS" "$out/AUDIO_TS"
mkdir -p "$out"
for chain in $(seq 1 "$chains"); do
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=$size:r=$rate" -frames:v "$pictures" \
    -vf "drawbox=t=fill:c=white:enable='eq(mod(n\,48)\,0)',format=yuv420p" \
    -f yuv4mpegpipe -strict -1 - |
    mpeg2enc -v 0 -f 8 -n "$norm" -F "$frc" "${enc[@]}" -a 2 -4 4 -2 4 -o "$work/video.m2v"
  ffmpeg -v error -y -f lavfi \
    -i "aevalsrc=0.5*sin(2*PI*1000*t)*lt(mod(t\,$mark)\,0.05)|0.5*sin(2*PI*1000*t)*lt(mod(t\,$mark)\,0.05):s=48000:c=stereo" \
    -t "$seconds" -c:a ac3 -b:a 192k "$work/audio.ac3"
  mplex -v 0 -f 8 -o "$work/chain$chain.mpg" "$work/video.m2v" "$work/audio.ac3"
  pgcs+="<pgc><vob file=\"$work/chain$chain.mpg\"/></pgc>"
done
# One title set whose title has the chains one after another.
echo "<dvdauthor dest=\"$out\"><vmgm/><titleset><titles>$pgcs</titles></titleset></dvdauthor>" > "$work/disc.xml"
VIDEO_FORMAT=$fmt dvdauthor -x "$work/disc.xml" 2>/dev/null
