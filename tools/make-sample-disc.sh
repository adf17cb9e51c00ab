#!/usr/bin/env bash
# Makes the bundled sample disc, samples/sample-dvd, with the DVD-folder maker.
# Run it again only when the disc should change; its output is committed.
#   title 0: VIDEO_TS.VOB, 1 s of video only
#   title 1: 6 s in two VOB parts, AC-3 5.1 448 kbit/s (0x80) and LPCM stereo (0xA0)
#   title 2: 4 s, AC-3 2.0 192 kbit/s (0x80)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
  -*) echo "Usage: $(basename "$0") [OUTDIR]   (default: samples/sample-dvd)" >&2; exit 2 ;;
esac
out=${1:-$root/samples/sample-dvd}

# Beside the folder: the title list a scan of it gives, for tests and the demo.
"$root/tools/make-dvd-folder.sh" --force --scan-listing "$out-scan.txt" "$out" \
  "title=0 seconds=1" \
  "title=1 seconds=6 parts=2 audio=ac3:6ch:448k,pcm:2ch" \
  "title=2 seconds=4 audio=ac3:2ch:192k"

total=$(du -cb "$out"/VIDEO_TS/* | tail -1 | cut -f1)
limit=$((8 * 1024 * 1024))
if [ "$total" -gt "$limit" ]; then
  echo "make-sample-disc.sh: the disc holds $total bytes, more than 8 MiB" >&2
  exit 1
fi
echo "sample disc: $total bytes in $out"
