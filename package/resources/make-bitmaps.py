#!/usr/bin/env python3
"""Draws the two 24 x 24 palette bitmaps (8 bits per pixel, indexed) and writes them as PNG files.

Run once after changing a picture; the PNG files are kept in the repository and embedded as resources.
"""
import struct
import sys
import zlib
from pathlib import Path

SIZE = 24
PALETTE = [
    (192, 192, 192),  # 0 background (the palette's face colour, shown as transparent)
    (0, 0, 0),        # 1 outline
    (255, 255, 255),  # 2 paper
    (0, 0, 128),      # 3 navy header
    (128, 128, 128),  # 4 grid lines
    (200, 40, 40),    # 5 red bar
    (40, 140, 60),    # 6 green bar
    (40, 80, 200),    # 7 blue bar
    (255, 255, 160),  # 8 query paper
]


def blank():
    return [[0] * SIZE for _ in range(SIZE)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        img[y0][x] = img[y1][x] = colour
    for y in range(y0, y1 + 1):
        img[y][x0] = img[y][x1] = colour


def bars(img):
    # Three bars of a histogram standing on a base line, lower right.
    rect(img, 11, 21, 22, 21, 1)
    rect(img, 12, 15, 14, 20, 7)
    rect(img, 15, 10, 17, 20, 5)
    rect(img, 18, 13, 20, 20, 6)
    for x0, top in ((12, 15), (15, 10), (18, 13)):
        frame(img, x0, top, x0 + 2, 20, 1)


def table():
    img = blank()
    rect(img, 1, 1, 14, 14, 2)
    rect(img, 1, 1, 14, 4, 3)
    for y in (7, 10):
        rect(img, 2, y, 13, y, 4)
    for x in (5, 9):
        rect(img, x, 5, x, 13, 4)
    frame(img, 1, 1, 14, 14, 1)
    bars(img)
    return img


def query():
    img = blank()
    rect(img, 1, 1, 13, 16, 8)
    frame(img, 1, 1, 13, 16, 1)
    for y, length in ((4, 9), (7, 7), (10, 9), (13, 5)):
        rect(img, 3, y, 3 + length - 1, y, 1)
    # A question mark standing for the query's SQL text.
    for x, y in ((18, 1), (19, 1), (20, 1), (21, 2), (21, 3), (20, 4), (19, 5), (19, 6), (19, 8)):
        img[y][x] = 3
    bars(img)
    return img


def png(img):
    raw = b"".join(b"\x00" + bytes(row) for row in img)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 3, 0, 0, 0)  # 8-bit indexed colour
    plte = b"".join(bytes(c) for c in PALETTE)
    trns = b"\x00"  # index 0 is transparent
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", plte) + chunk(b"tRNS", trns)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    (out / "TSUMORATABLE.png").write_bytes(png(table()))
    (out / "TSUMORAQUERY.png").write_bytes(png(query()))


if __name__ == "__main__":
    main()
