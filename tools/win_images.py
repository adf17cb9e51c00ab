#!/usr/bin/env python3
"""Turns the program's pictures (the PNG files of app/gui/images, drawn by
tools/make_images.py) into the forms Windows resources take: the LOGO as a
24-bit BMP and the icon as an ICO with 16 x 16 and 32 x 32 images at 4, 8
and 24 bits per pixel. Run by the Windows build (zlib and struct only).

    python3 tools/win_images.py logo.png icon16.png icon32.png LOGO.bmp VOLTARK.ico
"""
import struct
import sys
import zlib


def read_png(path):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise SystemExit(f"{path}: only 8-bit RGB or RGBA PNG files without interlace are read")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        pixels = [tuple(line[x * channels:x * channels + 3]) + ((line[x * channels + 3],) if channels == 4 else (255,))
                  for x in range(width)]
        rows.append(pixels)
        previous = line
    return width, height, rows


# The 16 colours every display can show, and a 6 x 6 x 6 cube for 256.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
       (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)] + [(0, 0, 0)] * 40


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour[:3])))


def dib(width, height, rows, bits, mask_rows):
    """A bottom-up DIB: header, palette, pixels, and for an icon the AND mask."""
    palette = VGA if bits == 4 else CUBE if bits == 8 else []
    pixels = b""
    for row in reversed(rows):
        if bits == 24:
            line = b"".join(bytes((b, g, r)) for r, g, b, _ in row)
        else:
            indices = [nearest(palette, colour) for colour in row]
            if bits == 4:
                indices += [0] * (len(indices) % 2)
                line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
            else:
                line = bytes(indices)
        pixels += line + b"\0" * (-len(line) % 4)
    mask = b""
    if mask_rows:
        for row in reversed(rows):
            line = bytearray((width + 31) // 32 * 4)
            for x, colour in enumerate(row):
                if colour[3] < 128:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(line)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * (2 if mask_rows else 1), 1, bits, 0,
                       len(pixels) + len(mask), 0, 0, len(palette), 0)
    return info + b"".join(bytes((b, g, r, 0)) for r, g, b in palette) + pixels + mask


def write_bmp(path, png):
    width, height, rows = read_png(png)
    body = dib(width, height, rows, 24, False)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, 14 + 40) + body)


def write_ico(path, pngs):
    images = []
    for png in pngs:
        width, height, rows = read_png(png)
        for bits in (4, 8, 24):
            images.append((width, height, bits, dib(width, height, rows, bits, True)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for width, height, bits, body in images:
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", width, height, colours, 0, 1, bits, len(body), offset)
        offset += len(body)
    with open(path, "wb") as f:
        f.write(out + b"".join(image[3] for image in images))


def main():
    if len(sys.argv) != 6:
        raise SystemExit(__doc__)
    logo, icon16, icon32, bmp, ico = sys.argv[1:]
    write_bmp(bmp, logo)
    write_ico(ico, [icon16, icon32])


if __name__ == "__main__":
    main()
