#!/usr/bin/env python3
"""Looks at a rectangle of the X screen (grabbed with ffmpeg's x11grab, every second pixel) and
prints one number or word about it:
  stock   pixels in the shades of the work colour (grey with a little blue, lit or shaded)
  ink     pixels that differ from the rectangle's most common colour (text, lines, shapes)
  sum     a checksum of the pixels, to see whether the picture changed
  corner  the colour of the top-left pixel as R,G,B
Counts are of the grabbed pixels (a quarter of the screen's).
Usage: screen_probe.py DISPLAY X Y WIDTH HEIGHT stock|ink|sum|corner"""
import collections
import hashlib
import subprocess
import sys


def grab(display, x, y, width, height):
    out = subprocess.run(
        ["ffmpeg", "-loglevel", "error", "-f", "x11grab", "-video_size", "%dx%d" % (width, height),
         "-i", "%s+%d,%d" % (display, x, y), "-frames:v", "1",
         "-vf", "scale=iw/2:ih/2:flags=neighbor", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
        check=True, stdout=subprocess.PIPE).stdout
    return [out[i:i + 3] for i in range(0, len(out), 3)]


def main():
    display, x, y, width, height, mode = sys.argv[1:7]
    pixels = grab(display, int(x), int(y), int(width), int(height))
    if mode == "sum":
        print(hashlib.md5(b"".join(pixels)).hexdigest())
    elif mode == "corner":
        print("%d,%d,%d" % tuple(pixels[0]))
    elif mode == "ink":
        common = collections.Counter(pixels).most_common(1)[0][0]
        print(sum(1 for p in pixels
                  if abs(p[0] - common[0]) + abs(p[1] - common[1]) + abs(p[2] - common[2]) > 60))
    elif mode == "stock":
        print(sum(1 for r, g, b in pixels if r > 70 and abs(r - g) < 16 and b >= r and b - r < 80))
    else:
        sys.exit("unknown mode " + mode)


main()
