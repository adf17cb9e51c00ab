#!/usr/bin/env python3
"""Finds the onsets of tone bursts in 16-bit stereo PCM.

Reads raw s16le stereo samples (a file, or '-' for stdin) and prints, one
per line, the sample index of every onset: the first sample whose level
(the larger of |left| and |right|) reaches THRESHOLD after at least
--quiet samples below QUIET_LEVEL. Made for the burst signal of the
DVD-folder maker (a tone during the first half of every second), whose
onsets mark whole seconds of the source's time line.

Usage: audio_onsets.py FILE [--threshold N] [--quiet-level N] [--quiet N]
"""
import argparse
import array
import sys


BLOCK = 240  # stereo frames looked at as one before going sample by sample


def onsets(samples, threshold, quiet_level, quiet_needed):
    found = []
    armed = True  # the stream may start with a burst
    quiet_run = 0
    frames = len(samples) // 2
    for start in range(0, frames, BLOCK):
        block = samples[2 * start : 2 * min(frames, start + BLOCK)]
        if max(block) < quiet_level and -min(block) < quiet_level:
            # A quiet block (the common case): counted whole.
            quiet_run += len(block) // 2
            if quiet_run >= quiet_needed:
                armed = True
            continue
        if not armed:
            # Only the quiet run that ends the block matters until armed.
            run = 0
            for i in range(len(block) - 2, -1, -2):
                if max(abs(block[i]), abs(block[i + 1])) >= quiet_level:
                    break
                run += 1
            quiet_run = run
            continue
        for i in range(0, len(block), 2):
            level = max(abs(block[i]), abs(block[i + 1]))
            if level >= threshold:
                if armed:
                    found.append(start + i // 2)
                armed = False
            quiet_run = quiet_run + 1 if level < quiet_level else 0
            if quiet_run >= quiet_needed:
                armed = True
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--threshold", type=int, default=1600)
    parser.add_argument("--quiet-level", type=int, default=400)
    parser.add_argument("--quiet", type=int, default=4800)
    args = parser.parse_args()
    data = sys.stdin.buffer.read() if args.file == "-" else open(args.file, "rb").read()
    samples = array.array("h")
    samples.frombytes(data[: len(data) // 4 * 4])
    if sys.byteorder != "little":
        samples.byteswap()
    for index in onsets(samples, args.threshold, args.quiet_level, args.quiet):
        print(index)


if __name__ == "__main__":
    main()
