#!/usr/bin/env python3
"""Draws the product's icons (32x32 and 16x16, 32-bit) into .ico files.

usage: make_icon.py OUT.ico STYLE   (STYLE: app, window, tray)
"""
import struct
import sys

STYLES = {
    # background, ring, core
    "app": ((0x1f, 0x6f, 0xd1), (0xff, 0xff, 0xff), (0x38, 0xc1, 0x72)),
    "window": ((0x17, 0x5a, 0xab), (0xff, 0xff, 0xff), (0xf5, 0xa6, 0x23)),
    "tray": ((0x1f, 0x6f, 0xd1), (0xff, 0xff, 0xff), (0xff, 0xff, 0xff)),
}


def pixel(x, y, n, style):
    bg, ring, core = STYLES[style]
    c = (n - 1) / 2.0
    r = n / 2.0
    dx, dy = x - c, y - c
    # rounded square
    corner = n * 0.22
    ax, ay = abs(dx) - (r - corner), abs(dy) - (r - corner)
    if ax > 0 and ay > 0 and ax * ax + ay * ay > corner * corner:
        return None
    d = (dx * dx + dy * dy) ** 0.5
    if n * 0.24 <= d <= n * 0.36:
        return ring
    # the tail of the letter, towards the lower right
    if dx > 0 and dy > 0 and abs(dx - dy) < n * 0.07 and d < n * 0.46:
        return ring
    if d < n * 0.14:
        return core
    return bg


def image(n, style):
    xor = bytearray()
    mask = bytearray()
    row_bytes = ((n + 31) // 32) * 4
    for y in range(n - 1, -1, -1):  # bottom-up
        bits = 0
        mrow = bytearray(row_bytes)
        for x in range(n):
            p = pixel(x, y, n, style)
            if p is None:
                xor += bytes((0, 0, 0, 0))
                mrow[x // 8] |= 0x80 >> (x % 8)
            else:
                xor += bytes((p[2], p[1], p[0], 255))
        mask += mrow
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def main():
    out, style = sys.argv[1], sys.argv[2]
    images = [image(32, style), image(16, style)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for img, n in zip(images, (32, 16)):
        entries += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + entries + b"".join(images))


if __name__ == "__main__":
    main()
