#!/usr/bin/env bash
# Makes a small authored DVD for tests: OUTDIR/disc (a VIDEO_TS folder with
# IFO files, written by dvdauthor) and OUTDIR/disc.iso (the same disc as an
# image, written by genisoimage -dvd-video, volume label AUTHORED_DISC).
# A developer tool: the program itself never runs it.
#
#   Title set 1: two programme chains (disc titles 1 and 2), 3 s with
#                chapters at 0, 1 and 2 s, and 2 s with chapters at 0 and 1 s;
#                audio AC-3 stereo "en" (ac3:0) and AC-3 mono "fr" (ac3:1).
#   Title set 2: one chain (disc title 3), 2 s, one chapter, AC-3 5.1 "de".
#
# Chapters and cells start at GOPs (12 pictures), so their times are those
# of the nearest GOP start. Needs ffmpeg, dvdauthor and genisoimage.
set -euo pipefail
out=${1:?usage: make-authored-disc.sh OUTDIR}
mkdir -p "$out"
work=$(mktemp -d "$out/.authored.XXXXXX")
trap 'rm -rf -- "$work"' EXIT

# make NAME SECONDS COLOUR "AUDIO ARGS..."
make() {
  local name=$1 seconds=$2 colour=$3
  shift 3
  ffmpeg -hide_banner -nostdin -loglevel error -y \
    -f lavfi -i "color=c=$colour:size=720x576:rate=25:duration=$seconds" \
    -f lavfi -i "sine=f=440:d=$seconds:sample_rate=48000" \
    -map 0:v -c:v mpeg2video -b:v 1M -g 12 -bf 2 -aspect 4:3 "$@" \
    -f dvd -fflags +bitexact -flags +bitexact "$work/$name.mpg"
}
make a 3 0x204060 -map 1:a -map 1:a -c:a ac3 -b:a:0 192k -ac:a:0 2 -b:a:1 96k -ac:a:1 1
make b 2 0x602040 -map 1:a -map 1:a -c:a ac3 -b:a:0 192k -ac:a:0 2 -b:a:1 96k -ac:a:1 1
make c 2 0x406020 -map 1:a -c:a ac3 -b:a 384k -ac 6

cat >"$work/disc.xml" <<XML
<dvdauthor dest="$work/disc">
 <vmgm />
 <titleset>
  <titles>
   <video format="pal" aspect="4:3"/>
   <audio lang="en"/>
   <audio lang="fr"/>
   <pgc><vob file="$work/a.mpg" chapters="0,1.0,2.0"/></pgc>
   <pgc><vob file="$work/b.mpg" chapters="0,1.0"/></pgc>
  </titles>
 </titleset>
 <titleset>
  <titles>
   <video format="pal" aspect="4:3"/>
   <audio lang="de"/>
   <pgc><vob file="$work/c.mpg"/></pgc>
  </titles>
 </titleset>
</dvdauthor>
XML
VIDEO_FORMAT=PAL dvdauthor -x "$work/disc.xml" >"$work/dvdauthor.log" 2>&1 || { cat "$work/dvdauthor.log" >&2; exit 1; }
genisoimage -quiet -dvd-video -V AUTHORED_DISC -o "$work/disc.iso" "$work/disc"
# The image goes last: a disc.iso beside a folder means both are whole.
rm -rf -- "$out/disc" "$out/disc.iso"
mv -- "$work/disc" "$out/disc"
mv -- "$work/disc.iso" "$out/disc.iso"
