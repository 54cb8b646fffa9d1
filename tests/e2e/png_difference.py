#!/usr/bin/env python3
"""Compares two 8-bit RGB or RGBA PNG files: prints the share of pixels whose channels differ by
more than a small tolerance, and exits 0 when that share is within the bound. The second picture
may also be looked for inside the first (a window's picture inside a screenshot)."""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + ": not a PNG file")
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(path + ": only 8-bit RGB or RGBA, not interlaced")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
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
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + pred) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def differing_share(a, b, width, height, dx=0, dy=0):
    """The share of pixels of b (width x height) that differ from a at offset (dx, dy)."""
    differing = sum(1 for y in range(height) for x in range(width)
                    if max(abs(p - q) for p, q in zip(a[y + dy][x + dx], b[y][x])) > 8)
    return differing / float(width * height)


def find_inside(screen, sw, sh, view, vw, vh, x0, x1, y0, y1):
    """The offset in the range at which the view's rows at a quarter, a half and three quarters of
    its height all appear in the screen, or None. One row alone can match at a wrong offset where
    it crosses only background."""
    rows = (vh // 4, vh // 2, 3 * vh // 4)
    for dy in range(y0, min(y1, sh - vh) + 1):
        for dx in range(x0, min(x1, sw - vw) + 1):
            if all(screen[dy + r][dx:dx + vw] == view[r] for r in rows):
                return dx, dy
    return None


def main():
    """png_difference.py A.png B.png BOUND: B against A of the same size.
    png_difference.py --inside SCREEN.png VIEW.png BOUND X0 X1 Y0 Y1: VIEW found inside SCREEN
    at an offset in the ranges, then compared there."""
    args = sys.argv[1:]
    inside = args[0] == "--inside"
    if inside:
        args = args[1:]
    first, second, bound = args[0], args[1], float(args[2])
    w1, h1, a = read_png(first)
    w2, h2, b = read_png(second)
    dx = dy = 0
    if inside:
        found = find_inside(a, w1, h1, b, w2, h2, *[int(v) for v in args[3:7]])
        if found is None:
            print("%s not found inside %s" % (second, first))
            return 1
        dx, dy = found
        print("found at %d, %d" % (dx, dy))
    elif (w1, h1) != (w2, h2):
        print("sizes differ: %dx%d and %dx%d" % (w1, h1, w2, h2))
        return 1
    share = differing_share(a, b, w2, h2, dx, dy)
    print("%.4f of %d pixels differ (bound %.4f)" % (share, w2 * h2, bound))
    return 0 if share <= bound else 1


if __name__ == "__main__":
    sys.exit(main())
