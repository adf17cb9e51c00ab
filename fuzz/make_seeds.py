#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses into fuzz/corpus/<harness>/
from the AC-3 test fixtures and the sample disc. The seeds are committed;
run this again only when a harness's input layout changes."""
import math
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"
AC3_FIXTURES = ROOT / "tests" / "fixtures" / "ac3"
SAMPLE_DISC = ROOT / "samples" / "sample-dvd" / "VIDEO_TS"
PACK = 2048

# 16-bit words per frame for 48 kHz and frmsizecod / 2 (A/52 table).
FRAME_WORDS_48K = [64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 640, 768, 896, 1024, 1152, 1280]


def write(harness, name, data):
    folder = CORPUS / harness
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(bytes(data))


def ac3_frames(data):
    """The sync frames of an AC-3 elementary stream, whole."""
    frames, i = [], 0
    while i + 5 <= len(data):
        if data[i] == 0x0B and data[i + 1] == 0x77 and (data[i + 4] >> 6) == 0:
            size = 2 * FRAME_WORDS_48K[(data[i + 4] & 0x3F) >> 1]
            frames.append(data[i:i + size])
            i += size
        else:
            i += 1
    return frames


def ac3_frame_seeds():
    for path in sorted(AC3_FIXTURES.glob("*_nodither.ac3")) + [AC3_FIXTURES / "mono_64k.ac3"]:
        frames = ac3_frames(path.read_bytes())
        # Reset with and without dynamic range compression; the frame from
        # its first BSI byte on.
        write("ac3_frame", path.stem, b"\x01" + frames[1][5:])
        write("ac3_frame", path.stem + "_drc", b"\x03" + frames[2][5:])


def packs(path, first, count):
    data = path.read_bytes()
    return data[first * PACK:(first + count) * PACK]


def title_scan_seeds():
    title1 = SAMPLE_DISC / "VTS_01_1.VOB"
    # Control bytes: padding packs, walk limit, cut into two parts (x16).
    write("title_scan", "nav_video_ac3_pcm", b"\x00\x00\x00\x00" + packs(title1, 0, 4))
    write("title_scan", "slid_two_parts", b"\x20\x00\x00\x80" + packs(title1, 0, 4))
    write("title_scan", "end_code", b"\x00\x01\x00\x00" + packs(title1, 0, 2) + b"\x00\x00\x01\xb9")
    write("title_scan", "title2", b"\x00\x00\x00\x00" + packs(SAMPLE_DISC / "VTS_02_1.VOB", 0, 3))


def wav(fmt_chunk, samples, extra_chunks=b""):
    data = b"data" + struct.pack("<I", len(samples)) + samples
    body = b"WAVE" + extra_chunks + b"fmt " + struct.pack("<I", len(fmt_chunk)) + fmt_chunk + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def wav_reader_seeds():
    pcm_fmt = struct.pack("<HHIIHH", 1, 2, 48000, 48000 * 4, 4, 16)
    float_fmt = struct.pack("<HHIIHH", 3, 2, 48000, 48000 * 8, 8, 32)
    sine = b"".join(struct.pack("<hh", int(32767 * math.sin(i / 7)), -32768 if i % 2 else 32767) for i in range(300))
    write("wav_reader", "pcm16", wav(pcm_fmt, sine))
    write("wav_reader", "pcm16_list_chunk", wav(pcm_fmt, sine[:400], b"LIST\x05\x00\x00\x00abcde\x00"))
    loud = [0.5, -0.5, 1.0, -1.0, 1.5, -2.0, 1e30, -1e30, float("inf"), float("-inf"), float("nan"), 0.0]
    write("wav_reader", "float_beyond_full_scale", wav(float_fmt, b"".join(struct.pack("<ff", x, -x) for x in loud * 20)))
    ext = struct.pack("<HHIIHHHHI", 0xFFFE, 2, 48000, 48000 * 4, 4, 16, 22, 16, 3) + struct.pack("<H", 1) + bytes(14)
    write("wav_reader", "extensible", wav(ext, sine[:200]))


def select_packs(path, indices):
    data = path.read_bytes()
    return b"".join(data[i * PACK:(i + 1) * PACK] for i in indices)


def extraction_seeds():
    title1 = SAMPLE_DISC / "VTS_01_1.VOB"
    # Navigation, video (sequence, GOP and picture headers), AC-3, LPCM,
    # LPCM, AC-3 packs of the sample disc.
    disc = select_packs(title1, [0, 1, 2, 3, 61, 62])
    # Raw streams. Control bytes: flags, padding packs, cut (x16), size in MB.
    write("extraction", "raw_ac3", b"\x00\x00\x00\x00\x01" + disc)
    write("extraction", "raw_pcm_two_parts", b"\x02\x03\x00\x90\x01" + disc)
    # Building steps: step byte, argument byte, then the step's own bytes.
    frames = ac3_frames((AC3_FIXTURES / "stereo_192k_nodither.ac3").read_bytes())
    audio = b"".join(frames[1:4])

    def audio_step(arg, data):
        return bytes([3, arg]) + struct.pack(">H", len(data) - 1) + data

    steps = (bytes([0, 0x00])                       # navigation pack with system header
             + bytes([1, 0xC0, 0x00, 0x20])         # GOP and I picture with PTS
             + audio_step(0x80, audio[:700])        # audio with PTS
             + bytes([1, 0x02, 0x02, 0x10])         # B picture
             + audio_step(0x00, audio[700:1500])
             + bytes([0, 0x04])                     # interleaved block, VOB id 0
             + bytes([1, 0xC0, 0x00, 0x20])
             + bytes([0, 0x05])                     # interleaved, VOB id 1: skipped
             + audio_step(0x00, audio[1500:]) 
             + bytes([5, 0x02])                     # clock steps back
             + bytes([0, 0x00])
             + bytes([1, 0xC1, 0x00, 0x20])
             + bytes([9, 0x01]) + bytes(1)
             + bytes([7, 0x00]))
    write("extraction", "steps_ac3_angles_clock_step", b"\x01\x00\x00\x00\x01" + steps)
    pcm = bytes(range(256)) * 8
    write("extraction", "steps_pcm", b"\x03\x00\x00\x00\x02" + steps.replace(audio[:700], pcm[:700]).replace(
        audio[700:1500], pcm[700:1500]).replace(audio[1500:], pcm[1500:1500 + len(audio) - 1500]))

    # The audio intake: flags, number of sizes, sizes (x8 + 1), audio.
    write("ac3_intake", "ac3_after_picture", b"\x04\x01\x40\x10" + audio)
    write("ac3_intake", "ac3_preroll_small_packets", b"\x02\x03\x01\x00\x20" + audio)
    write("ac3_intake", "pcm", b"\x05\x00\xff" + pcm[:2048])


if __name__ == "__main__":
    ac3_frame_seeds()
    title_scan_seeds()
    wav_reader_seeds()
    extraction_seeds()
