#!/usr/bin/env python3
"""Looks at a rectangle of the X screen (grabbed with ffmpeg's x11grab, every second pixel) and
prints one number or word about it:
  stock   pixels in the shades of the work colour (grey with a little blue, lit or shaded)
  ink     pixels that differ from the rectangle's most common colour (text, lines, shapes)
  sum     a checksum of the pixels, to see whether the picture changed
  corner  the colour of the top-left pixel as R,G,B
  phases  16 grabs over 2 s, each as 1 when it has at least 30 pixels of ink, else 0 (a blink
          shows as both digits, whatever the time each grab takes to start)
Counts are of the grabbed pixels (a quarter of the screen's).
Usage: screen_probe.py DISPLAY X Y WIDTH HEIGHT stock|ink|sum|corner|phases"""
import collections
import hashlib
import subprocess
import sys


def grab(display, x, y, width, height, frames=1):
    out = subprocess.run(
        ["ffmpeg", "-loglevel", "error", "-f", "x11grab", "-framerate", "8",
         "-video_size", "%dx%d" % (width, height), "-i", "%s+%d,%d" % (display, x, y),
         "-frames:v", str(frames), "-vf", "scale=iw/2:ih/2:flags=neighbor", "-f", "rawvideo",
         "-pix_fmt", "rgb24", "-"],
        check=True, stdout=subprocess.PIPE).stdout
    return [out[i:i + 3] for i in range(0, len(out), 3)]


def ink(pixels):
    common = collections.Counter(pixels).most_common(1)[0][0]
    return sum(1 for p in pixels
               if abs(p[0] - common[0]) + abs(p[1] - common[1]) + abs(p[2] - common[2]) > 60)


def main():
    display, x, y, width, height, mode = sys.argv[1:7]
    if mode == "phases":
        pixels = grab(display, int(x), int(y), int(width), int(height), 16)
        size = len(pixels) // 16
        print("".join("1" if ink(pixels[i * size:(i + 1) * size]) >= 30 else "0" for i in range(16)))
        return
    pixels = grab(display, int(x), int(y), int(width), int(height))
    if mode == "sum":
        print(hashlib.md5(b"".join(pixels)).hexdigest())
    elif mode == "corner":
        print("%d,%d,%d" % tuple(pixels[0]))
    elif mode == "ink":
        print(ink(pixels))
    elif mode == "stock":
        print(sum(1 for r, g, b in pixels if r > 70 and abs(r - g) < 16 and b >= r and b - r < 80))
    else:
        sys.exit("unknown mode " + mode)


main()
