#!/usr/bin/env bash
# voltark-cli.exe under Wine against the Linux voltark-cli on the same discs:
# the same scan lines (line ends aside), also from a folder whose path holds
# non-ASCII characters; the same video elementary stream and audio frames
# from extract; an output naming one of the title's VOBs refused and the VOB
# untouched.
#
# Usage: scripts/compare-windows-cli.sh LINUX_CLI WINDOWS_CLI_EXE
# (WINEPREFIX and WINEARCH as the caller set them.)
set -euo pipefail
linux=$1
windows=$2
export WINEDEBUG=-all
wine=$(dirname "$0")/wine-run.sh  # wine64, or wine32's loader for WINEARCH=win32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

discs=(samples/sample-dvd)
for disc in build/testdata/authored/disc build/testdata/dvd-folders/* build/testdata/sync-discs/*; do
  [ -d "$disc/VIDEO_TS" ] && discs+=("$disc")
done
# A copy under a name that no code page but UTF-8 holds.
unicode="$work/Überraschung 日本"
mkdir -p "$unicode"
cp -r "${discs[-1]}/VIDEO_TS" "$unicode/"

same() {  # label, then the Linux and the Windows output files
  if diff -q "$2" <(tr -d '\r' < "$3") > /dev/null; then
    echo "same: $1"
  else
    echo "DIFFERENT: $1" >&2
    diff "$2" <(tr -d '\r' < "$3") | head -20 >&2
    failed=1
  fi
}

for disc in "${discs[@]}"; do
  for options in "" "--disc-titles" "--disc-titles --json"; do
    "$linux" scan "$disc" $options > "$work/linux.txt" 2>&1 || true
    "$wine" "$windows" scan "$disc" $options > "$work/windows.txt" 2>&1 || true
    # JSON names the source as given, which is the same on both.
    same "scan $disc $options" "$work/linux.txt" "$work/windows.txt"
  done
done
"$linux" scan "${discs[-1]}" --disc-titles > "$work/linux.txt" 2>&1 || true
"$wine" "$windows" scan "$unicode" --disc-titles > "$work/windows.txt" 2>&1 || true
same "scan from '$unicode'" "$work/linux.txt" "$work/windows.txt"

# Streams: the bytes of each stream, video and every audio track, as ffmpeg
# takes them out, hashed stream by stream. (The packs' order does not depend
# on the threads' timing, and today the two files are the same bytes; the
# check asks only that every stream be the same.)
streams() {
  ffmpeg -v error -y -i "$1" -map 0 -c copy -f streamhash -hash sha256 "$1.hash"
}
extract() {  # label, source, then the extract options
  local label=$1 source=$2
  shift 2
  # An existing output is never overwritten: each run writes anew.
  rm -f "$work/linux.mpg" "$work/windows.mpg"
  "$linux" extract "$source" "$@" --output "$work/linux.mpg" > /dev/null 2>&1
  "$wine" "$windows" extract "$source" "$@" --output "$work/windows.mpg" > /dev/null 2>&1
  same_streams "$label" "$work/linux.mpg" "$work/windows.mpg"
}
same_streams() {  # label, the Linux program's output, the Windows program's
  streams "$2" && streams "$3"
  if [ -s "$2.hash" ] && cmp -s "$2.hash" "$3.hash"; then
    echo "same streams: extract $1"
  else
    echo "DIFFERENT streams: extract $1" >&2
    failed=1
  fi
}
if command -v ffmpeg > /dev/null; then
  extract "sample title 1 pcm:0" samples/sample-dvd --title 1 --audio pcm:0
  extract "sample title 1 ac3:0" samples/sample-dvd --title 1 --audio ac3:0
  if [ -d build/testdata/authored/disc ]; then
    extract "authored disc title 1 chapters 2-3" build/testdata/authored/disc --disc-title 1 --chapters 2-3 --audio ac3:0
    # Two re-encoded tracks: each decodes and encodes on threads of its own.
    extract "authored disc title 1 en,fr" build/testdata/authored/disc --disc-title 1 --audio en,fr
  fi
  rm -f "$work/linux.mpg"
  "$linux" extract "${discs[-1]}" --title 1 --audio ac3:0 --output "$work/linux.mpg" > /dev/null 2>&1 || true
  "$wine" "$windows" extract "$unicode" --title 1 --audio ac3:0 --output "$unicode/Film ü 日本.mpg" > /dev/null 2>&1 || true
  same_streams "in '$unicode'" "$work/linux.mpg" "$unicode/Film ü 日本.mpg"
fi

vob=$(ls "$unicode"/VIDEO_TS/VTS_01_1.VOB)
before=$(md5sum < "$vob")
if "$wine" "$windows" extract "$unicode" --title 1 --audio ac3:0 --output "$vob" > /dev/null 2>&1; then
  echo "NOT REFUSED: an output naming the title's VOB" >&2
  failed=1
elif [ "$(md5sum < "$vob")" != "$before" ]; then
  echo "CHANGED: the VOB named as the output" >&2
  failed=1
else
  echo "refused, VOB untouched: an output naming the title's VOB"
fi
exit $failed
