#!/usr/bin/env python3
"""make_icon.py OUT: writes Setup's icon (resource 101), a .ico with a 32 x 32 and a 16 x 16
picture: a blue disc with a white play mark.

Each picture is a BITMAPINFOHEADER of twice the height (colour rows, then the mask), 32-bit BGRA
rows bottom-up, then the 1-bit AND mask (rows padded to 4 bytes; 1 where the picture is clear),
so that systems that ignore the alpha channel still cut the disc out.
"""
import struct
import sys


def picture(size):
    c = (size - 1) / 2
    radius = size / 2 - 0.5
    pixels = []  # rows from the top, (b, g, r, a)
    for y in range(size):
        row = []
        for x in range(size):
            d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
            if d > radius:
                row.append((0, 0, 0, 0))
                continue
            # The play mark: a triangle pointing right, a little right of the centre.
            u, v = (x - c) / radius, (y - c) / radius
            inside = -0.35 <= u <= 0.55 and abs(v) <= (0.55 - u) * 0.62
            if inside:
                row.append((255, 255, 255, 255))
            else:
                shade = int(60 * (y / size))
                row.append((200 - shade, 100 - shade // 2, 20, 255))
        pixels.append(row)
    colour = b"".join(bytes(p) for row in reversed(pixels) for p in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        out = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + colour + mask


def icon(sizes):
    images = [picture(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUT")
    with open(sys.argv[1], "wb") as out:
        out.write(icon([32, 16]))


if __name__ == "__main__":
    main()
