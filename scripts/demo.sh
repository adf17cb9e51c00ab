#!/usr/bin/env bash
# Scans the bundled sample disc.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
echo "== Titles of the sample disc (samples/sample-dvd)"
"$build/bin/voltark-cli" scan samples/sample-dvd

out="$build/sample-title1.mpg"
echo
echo "== Extracting title 1 with its AC3 stream #0 into $out"
"$build/bin/voltark-cli" extract samples/sample-dvd --title 1 --audio ac3:0 --output "$out" --overwrite
echo "Written: $out"
echo "Play it with:  ffplay $out   (or: mpv $out)"
