#!/usr/bin/env python3
"""make_clip.py OUT: writes the clip the wait dialog plays while Setup searches (skvinst.dat).

The system's animation control plays only the simplest AVI files: one video stream, no sound, no
palette changes, frames uncompressed (or RLE8). So the clip is exactly that: an 8-bit BI_RGB
picture with a small palette, one '00db' chunk per frame and an 'idx1' index:

    RIFF 'AVI '
      LIST 'hdrl'
        'avih'  main header (56 bytes)
        LIST 'strl'
          'strh'  stream header, 'vids' (56 bytes)
          'strf'  BITMAPINFOHEADER (40 bytes) + colour table
      LIST 'movi'
        '00db'  frame 0 (rows bottom-up, each padded to 4 bytes) ... one per frame
      'idx1'  per frame: '00db', AVIIF_KEYFRAME, offset from the 'movi' type, size

A page flies from the left folder to the right one, leaving dots behind it, as files go from
Setup to the plug-ins folder.
"""
import struct
import sys

WIDTH, HEIGHT = 176, 40
FRAMES = 16
FPS = 10
AVIF_HASINDEX = 0x10
AVIIF_KEYFRAME = 0x10

# Index 0 is the background; the control (ACS_TRANSPARENT) shows the dialog through it.
PALETTE = [
    (0xC0, 0xC0, 0xC0),  # 0 background
    (0x00, 0x00, 0x00),  # 1 outline
    (0xF0, 0xC8, 0x40),  # 2 folder
    (0xFF, 0xFF, 0xFF),  # 3 page
    (0x20, 0x50, 0xC0),  # 4 dots and page lines
    (0xA0, 0x80, 0x20),  # 5 folder shade
]

FOLDER_W, FOLDER_H = 30, 22
LEFT_X, RIGHT_X = 4, WIDTH - 4 - FOLDER_W
FOLDER_Y = HEIGHT - FOLDER_H - 2


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def riff_list(kind, fourcc, body):
    return kind + struct.pack("<I", len(body) + 4) + fourcc + body


def folder(px, x0):
    for y in range(FOLDER_Y, FOLDER_Y + FOLDER_H):
        for x in range(x0, x0 + FOLDER_W):
            edge = y in (FOLDER_Y, FOLDER_Y + FOLDER_H - 1) or x in (x0, x0 + FOLDER_W - 1)
            px[y][x] = 1 if edge else (5 if y < FOLDER_Y + 4 else 2)
    for x in range(x0 + 2, x0 + 12):  # the tab
        px[FOLDER_Y - 2][x] = 1
        px[FOLDER_Y - 1][x] = 2 if x not in (x0 + 2, x0 + 11) else 1


def page(px, x0, y0):
    w, h = 12, 15
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            if not (0 <= x < WIDTH and 0 <= y < HEIGHT):
                continue
            edge = y in (y0, y0 + h - 1) or x in (x0, x0 + w - 1)
            line = (y - y0) % 3 == 0 and x0 + 2 < x < x0 + w - 3 and y0 < y < y0 + h - 1
            px[y][x] = 1 if edge else (4 if line else 3)


def frame(n):
    px = [[0] * WIDTH for _ in range(HEIGHT)]  # rows from the top
    folder(px, LEFT_X)
    folder(px, RIGHT_X)
    start, end = LEFT_X + FOLDER_W + 2, RIGHT_X - 14
    t = n / (FRAMES - 1)
    x = round(start + (end - start) * t)
    # An arc: the page rises in the middle of its way.
    y = round(FOLDER_Y - 4 - 10 * 4 * t * (1 - t))
    for k in range(1, 6):  # the trail
        tx = x - 7 * k
        if tx > start:
            tt = (tx - start) / (end - start)
            ty = round(FOLDER_Y + 2 - 10 * 4 * tt * (1 - tt))
            for dy in (0, 1):
                for dx in (0, 1):
                    px[ty + dy][tx + dx] = 4
    page(px, x, y)
    stride = (WIDTH + 3) & ~3
    rows = []
    for row in reversed(px):  # the bitmap is stored bottom-up
        rows.append(bytes(row) + b"\0" * (stride - WIDTH))
    return b"".join(rows)


def clip():
    frames = [frame(n) for n in range(FRAMES)]
    size = len(frames[0])
    avih = struct.pack(
        "<10I4I",
        1000000 // FPS,  # microseconds per frame
        size * FPS,  # maximum bytes per second
        0,  # padding granularity
        AVIF_HASINDEX,
        FRAMES,
        0,  # initial frames
        1,  # streams
        size,  # suggested buffer size
        WIDTH,
        HEIGHT,
        0, 0, 0, 0)
    strh = struct.pack(
        "<4s4sIHHIIIIIIIIhhhh",
        b"vids",
        b"DIB ",
        0,  # flags
        0, 0,  # priority, language
        0,  # initial frames
        1, FPS,  # scale, rate: FPS frames a second
        0, FRAMES,  # start, length
        size,
        0xFFFFFFFF,  # quality: the default
        0,  # sample size: varies (one frame a chunk)
        0, 0, WIDTH, HEIGHT)
    bih = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, size, 0, 0,
                      len(PALETTE), len(PALETTE))
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    strl = riff_list(b"LIST", b"strl", chunk(b"strh", strh) + chunk(b"strf", bih + colours))
    hdrl = riff_list(b"LIST", b"hdrl", chunk(b"avih", avih) + strl)

    movi_body = b""
    index = b""
    for data in frames:
        offset = 4 + len(movi_body)  # from the 'movi' type, as players expect
        movi_body += chunk(b"00db", data)
        index += struct.pack("<4sIII", b"00db", AVIIF_KEYFRAME, offset, len(data))
    movi = riff_list(b"LIST", b"movi", movi_body)
    return riff_list(b"RIFF", b"AVI ", hdrl + movi + chunk(b"idx1", index))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_clip.py OUT")
    with open(sys.argv[1], "wb") as out:
        out.write(clip())


if __name__ == "__main__":
    main()
