#!/usr/bin/env python3
"""Checks the VOB files of one title as the DVD-folder maker promises them.

Every file is a whole number of 2048-byte packs; every pack opens with a
14-byte MPEG-2 pack header (no pack stuffing) and the records after it (system
header, PES packets, an optional program end code) fill it exactly, none
crossing into the next pack. The title (all its files together) carries
exactly the expected streams: PES stream ids, and for private stream 1 the
sub-stream id, which is the first payload byte (byte 9 + PES_header_data_length).
The title must start with a system header and hold navigation packs (private
stream 2, DSI sub-stream 1). A 2048-byte block that opens with the program end
code (00 00 01 B9) may close the title's last file.

Usage: check_dvd_title.py --expect "e0 bd/80 bd/a0 c0" FILE...
"""

import argparse
import sys

PACK = 2048
PACK_HEADER = 14
PADDING, PRIVATE_2, PRIVATE_1, SYSTEM_HEADER, END_CODE = 0xBE, 0xBF, 0xBD, 0xBB, 0xB9


class Fault(Exception):
    pass


def stream_key(pack, pos, stream_id):
    if stream_id == PRIVATE_1:
        header_len = pack[pos + 8]
        payload = pos + 9 + header_len
        return "bd/%02x" % pack[payload]
    return "%02x" % stream_id


def check_pack(pack, where, found, counts):
    if pack[0:4] != b"\x00\x00\x01\xba":
        raise Fault("%s: no pack header" % where)
    if pack[4] & 0xC0 != 0x40:
        raise Fault("%s: not an MPEG-2 pack header" % where)
    if pack[13] & 0x07:
        raise Fault("%s: pack stuffing %d (the pack header must be 14 bytes)" % (where, pack[13] & 7))
    pos = PACK_HEADER
    while pos < PACK:
        if pos + 6 > PACK or pack[pos:pos + 3] != b"\x00\x00\x01":
            raise Fault("%s+%d: no start code" % (where, pos))
        stream_id = pack[pos + 3]
        if stream_id == END_CODE:
            counts["end"] = counts.get("end", 0) + 1
            return
        if stream_id < SYSTEM_HEADER:
            raise Fault("%s+%d: unexpected start code %02x" % (where, pos, stream_id))
        length = (pack[pos + 4] << 8 | pack[pos + 5]) + 6
        if pos + length > PACK:
            raise Fault("%s+%d: record of %d bytes crosses the pack end" % (where, pos, length))
        if stream_id == SYSTEM_HEADER:
            counts["system"] = counts.get("system", 0) + 1
        elif stream_id == PRIVATE_2:
            if pack[pos + 6] == 1:
                counts["dsi"] = counts.get("dsi", 0) + 1
        elif stream_id != PADDING:
            key = stream_key(pack, pos, stream_id)
            found[key] = found.get(key, 0) + 1
        pos += length


def packs_of(name):
    """Yields (offset, pack) through the file, a chunk at a time."""
    offset = 0
    with open(name, "rb") as f:
        while True:
            chunk = f.read(PACK * 512)
            if not chunk:
                break
            if len(chunk) % PACK:
                raise Fault("%s: size %d is not a whole number of packs" % (name, offset + len(chunk)))
            for at in range(0, len(chunk), PACK):
                yield offset + at, chunk[at:at + PACK]
            offset += len(chunk)
    if offset == 0:
        raise Fault("%s: empty file" % name)


def check_title(files, expected):
    found, counts = {}, {}
    ended_at = None
    for index, name in enumerate(files):
        for offset, pack in packs_of(name):
            where = "%s@0x%x" % (name, offset)
            if ended_at:
                raise Fault("%s: data after the end code at %s" % (where, ended_at))
            if index == 0 and offset == 0 and pack[PACK_HEADER + 3] != SYSTEM_HEADER:
                raise Fault("%s: the first pack holds no system header" % name)
            # A program end code in a block of its own closes the title.
            if pack[0:4] == b"\x00\x00\x01\xb9":
                ended_at = where
                counts["end"] = counts.get("end", 0) + 1
                continue
            check_pack(pack, where, found, counts)
    if not counts.get("dsi"):
        raise Fault("no navigation (DSI) packets")
    if set(found) != set(expected):
        raise Fault("streams %s, expected %s" % (sorted(found), sorted(expected)))
    return found, counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--expect", required=True, help="blank-separated stream keys")
    parser.add_argument("-v", "--verbose", action="store_true")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    try:
        found, counts = check_title(args.files, args.expect.split())
    except Fault as fault:
        print("check: %s" % fault, file=sys.stderr)
        return 1
    if args.verbose:
        print(" ".join("%s:%d" % kv for kv in sorted(found.items())), counts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
