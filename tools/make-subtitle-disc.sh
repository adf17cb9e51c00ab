#!/usr/bin/env bash
# Makes an authored DVD folder (OUTDIR/VIDEO_TS with IFO files) whose title
# carries two subtitle streams, "en" (sub:0) and "fr" (sub:1), over the
# sync-mark video of make-sync-disc.sh: a subtitle on every mark (each
# 48 pictures; fr 0.1 s later), shown until shortly before the next, and
# the colour table of OUTDIR/palette.rgb. Video by mpeg2enc, programme
# stream by mplex, sub-pictures by spumux (from PNG pictures written here), folder by
# dvdauthor. A developer and test tool: the program itself never runs it.
#
# Usage: make-subtitle-disc.sh OUTDIR KIND SECONDS [CHAINS]
#   KIND and CHAINS as make-sync-disc.sh (ntsc-film: soft 3:2 pulldown;
#   each chain has its own clock from 0).
set -euo pipefail

out=$1 kind=$2 seconds=$3 chains=${4:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $kind in
  ntsc-film)       size=720x480 rate=24000/1001 norm=n frc=1 enc=(-p) fmt=NTSC ;;
  ntsc-interlaced) size=720x480 rate=30000/1001 norm=n frc=4 enc=(-I 1) fmt=NTSC ;;
  pal)             size=720x576 rate=25 norm=p frc=3 enc=() fmt=PAL ;;
  *) echo "unknown kind $kind" >&2; exit 2 ;;
esac
mark=$(python3 -c "from fractions import Fraction as F; print(float(48 / F('$rate')))")
pictures=$(python3 -c "from fractions import Fraction as F; print(int(F('$seconds') * F('$rate')))")
marks=$(python3 -c "print(int($pictures / 48))")

mkdir -p "$out"
rm -rf "$out/VIDEO_TS" "$out/AUDIO_TS"
# Sixteen colours: black and white first (the pictures' colours, which
# dvdauthor finds in the table), then colours whose round trip through
# YCrCb shows.
python3 -c "
print('000000'); print('ffffff')
for i in range(2, 16): print('%02x%02x%02x' % ((i * 16) & 255, (255 - i * 16) & 255, (i * 48) & 255))
" > "$out/palette.rgb"
w=${size%x*} h=${size#*x}
# A bar near the bottom (white on black, a different place per language) on
# a transparent picture: an indexed PNG of three colours.
for lang in en fr; do
  python3 - "$work/$lang.png" "$w" "$h" "$lang" <<'PY'
import struct, sys, zlib
path, w, h, lang = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
x0 = 100 if lang == 'en' else 360
def pixel(x, y):
    if not (h - 100 <= y < h - 60 and x0 <= x < x0 + 260): return 0
    return 2 if (y in (h - 100, h - 61) or x in (x0, x0 + 259)) else 1
rows = b''.join(b'\0' + bytes(pixel(x, y) for x in range(w)) for y in range(h))
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 3, 0, 0, 0))
png += chunk(b'PLTE', bytes([0, 0, 0, 255, 255, 255, 0, 0, 0])) + chunk(b'tRNS', bytes([0, 255, 255]))
png += chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b'')
open(path, 'wb').write(png)
PY
done

pgcs=""
for chain in $(seq 1 "$chains"); do
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=$size:r=$rate" -frames:v "$pictures" \
    -vf "drawbox=t=fill:c=white:enable='eq(mod(n\,48)\,0)',format=yuv420p" \
    -f yuv4mpegpipe -strict -1 - |
    mpeg2enc -v 0 -f 8 -n "$norm" -F "$frc" "${enc[@]}" -a 2 -4 4 -2 4 -o "$work/video.m2v"
  ffmpeg -v error -y -f lavfi -i "sine=f=440:sample_rate=48000" -t "$seconds" -ac 2 -c:a ac3 -b:a 192k \
    "$work/audio.ac3"
  mplex -v 0 -f 8 -o "$work/plain.mpg" "$work/video.m2v" "$work/audio.ac3"
  input="$work/plain.mpg"
  for stream in 0 1; do
    lang=$([ $stream = 0 ] && echo en || echo fr)
    {
      echo "<subpictures><stream>"
      for k in $(seq 0 $((marks - 1))); do
        python3 -c "
s = $k * $mark + 0.1 * $stream; e = s + $mark - 0.5
f = lambda t: '%02d:%02d:%05.2f' % (t // 3600, t % 3600 // 60, t % 60)
print('<spu start=\"%s\" end=\"%s\" image=\"$work/$lang.png\"/>' % (f(s), f(e)))"
      done
      echo "</stream></subpictures>"
    } > "$work/$lang.xml"
    spumux -v 0 -s $stream "$work/$lang.xml" < "$input" > "$work/sub$stream.mpg" 2>"$work/spumux.log" || { cat "$work/spumux.log" >&2; exit 1; }
    input="$work/sub$stream.mpg"
  done
  mv "$input" "$work/chain$chain.mpg"
  pgcs+="<pgc palette=\"$out/palette.rgb\"><vob file=\"$work/chain$chain.mpg\"/></pgc>"
done
cat > "$work/disc.xml" <<XML
<dvdauthor dest="$out"><vmgm/><titleset><titles>
<video format="${fmt,,}" aspect="4:3"/><audio lang="en"/>
<subpicture lang="en"/><subpicture lang="fr"/>
$pgcs
</titles></titleset></dvdauthor>
XML
VIDEO_FORMAT=$fmt dvdauthor -x "$work/disc.xml" >"$work/dvdauthor.log" 2>&1 || { cat "$work/dvdauthor.log" >&2; exit 1; }
