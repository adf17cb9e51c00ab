#!/usr/bin/env python3
"""Measures the sync marks of a program stream: white pictures and beeps.

For every white picture after a dark one (average luma above 200), in
display order, prints one line
  FLASH_SECONDS BEEP_SECONDS OFFSET_MS
with the presentation time of the picture, that of the beep onset of the
same rank (a sample reaching 1/8 of full scale after 0.5 s of quiet, timed
from the audio stream's start and its sample count) and their distance.
Where the input's clock restarts (a second programme chain) only the marks
before the restart are timed right. Then one line "video SECONDS PICTURES": the time from the first
picture shown to the last, and the count of pictures decoded.

Usage: sync_marks.py FILE [AUDIO_MAP]   (AUDIO_MAP default 0:a:0)
"""
import array
import re
import subprocess
import sys


def flashes(path):
    out = subprocess.run(
        ["ffmpeg", "-v", "error", "-copyts", "-i", path, "-map", "0:v:0", "-fps_mode", "passthrough", "-vf",
         "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-", "-f", "null", "-"],
        check=True, capture_output=True, text=True).stdout
    times, lumas = [], []
    for line in out.splitlines():
        m = re.search(r"pts_time:([-0-9.e]+)", line)
        if m:
            times.append(float(m.group(1)))
        m = re.search(r"YAVG=([0-9.]+)", line)
        if m:
            lumas.append(float(m.group(1)))
    frames = list(zip(times, lumas))  # in display order; a new programme chain may restart the clock
    marks = [t for i, (t, y) in enumerate(frames) if y > 200 and (i == 0 or frames[i - 1][1] <= 200)]
    return marks, frames


def beeps(path, audio_map):
    start = subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries", "stream=index,start_time,codec_type", "-of", "csv=p=0", path],
        check=True, capture_output=True, text=True).stdout
    raw = subprocess.run(
        ["ffmpeg", "-v", "error", "-i", path, "-map", audio_map, "-ac", "1", "-ar", "48000", "-f", "s16le", "-"],
        check=True, capture_output=True).stdout
    # The audio's own start: the first audio stream's start_time.
    audio_start = None
    for line in start.splitlines():
        parts = line.split(",")
        if len(parts) >= 3 and parts[1] == "audio":
            audio_start = float(parts[2])
            break
    samples = array.array("h")
    samples.frombytes(raw)
    found, quiet = [], 48000
    for i, s in enumerate(samples):
        if abs(s) >= 4096:
            if quiet >= 24000:
                found.append(audio_start + i / 48000.0)
            quiet = 0
        else:
            quiet += 1
    return found


def main():
    path = sys.argv[1]
    audio_map = sys.argv[2] if len(sys.argv) > 2 else "0:a:0"
    marks, frames = flashes(path)
    onsets = beeps(path, audio_map)
    for t, b in zip(marks, onsets):
        print(f"{t:.4f} {b:.4f} {1000 * (b - t):.2f}")
    print(f"video {frames[-1][0] - frames[0][0]:.4f} {len(frames)}")


if __name__ == "__main__":
    main()
