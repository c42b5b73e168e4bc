#!/usr/bin/env python3
"""Draws the client's skin images (PNG) into res/res with the standard library only.

Run from anywhere: python3 platform/skin/tools/draw_skin_images.py
Images are drawn at twice their layout size so they stay sharp at 150 % and 200 %.
"""
import math
import os
import struct
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..', '..', 'res', 'res'))
SS = 4  # supersampling per axis


def rgba(hexcolor, alpha=255):
    h = hexcolor.lstrip('#')
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16), alpha)


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]  # premultiplied floats

    def shape(self, inside, color, bbox=None):
        """Blends a shape given by inside(x, y) -> bool (sub-pixel samples)."""
        r, g, b, a = color
        a /= 255.0
        x0, y0, x1, y1 = bbox if bbox else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            hits += 1
                if not hits:
                    continue
                cov = a * hits / (SS * SS)
                p = self.px[y * self.w + x]
                p[0] = r / 255.0 * cov + p[0] * (1 - cov)
                p[1] = g / 255.0 * cov + p[1] * (1 - cov)
                p[2] = b / 255.0 * cov + p[2] * (1 - cov)
                p[3] = cov + p[3] * (1 - cov)

    def rrect(self, x0, y0, x1, y1, rad, color, top_only=False):
        def inside(x, y):
            if x < x0 or x > x1 or y < y0 or y > y1:
                return False
            cy_lim = y1 if top_only else y1 - rad
            for cx, cy in ((x0 + rad, y0 + rad), (x1 - rad, y0 + rad), (x0 + rad, y1 - rad), (x1 - rad, y1 - rad)):
                if top_only and cy > y0 + rad:
                    continue
                if (x < x0 + rad and cx == x0 + rad or x > x1 - rad and cx == x1 - rad) and \
                   (y < y0 + rad and cy == y0 + rad or y > cy_lim and cy == y1 - rad):
                    return (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad
            return True
        self.shape(inside, color, (x0, y0, x1, y1))

    def circle(self, cx, cy, rad, color):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad, color,
                   (cx - rad, cy - rad, cx + rad, cy + rad))

    def ring(self, cx, cy, rad, width, color, a0=0, a1=360):
        def inside(x, y):
            d = math.hypot(x - cx, y - cy)
            if abs(d - rad) > width / 2:
                return False
            ang = math.degrees(math.atan2(y - cy, x - cx)) % 360
            return a0 <= ang <= a1 if a0 <= a1 else (ang >= a0 or ang <= a1)
        self.shape(inside, color, (cx - rad - width, cy - rad - width, cx + rad + width, cy + rad + width))

    def line(self, xa, ya, xb, yb, width, color):
        dx, dy = xb - xa, yb - ya
        ln2 = dx * dx + dy * dy or 1e-9

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / ln2))
            px, py = xa + t * dx, ya + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
        pad = width
        self.shape(inside, color, (min(xa, xb) - pad, min(ya, yb) - pad, max(xa, xb) + pad, max(ya, yb) + pad))

    def poly(self, pts, color):
        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.shape(inside, color, (min(xs), min(ys), max(xs), max(ys)))

    def gradient(self, top, bottom):
        for y in range(self.h):
            t = y / max(1, self.h - 1)
            c = [(top[i] * (1 - t) + bottom[i] * t) / 255.0 for i in range(3)]
            for x in range(self.w):
                self.px[y * self.w + x] = [c[0], c[1], c[2], 1.0]

    def save(self, rel):
        path = os.path.join(ROOT, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                raw += bytes([min(255, int(round(v * 255))) for v in (r, g, b, a)])

        def chunk(tag, data):
            c = struct.pack('>I', len(data)) + tag + data
            return c + struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff)
        png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', self.w, self.h, 8, 6, 0, 0, 0))
        png += chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b'')
        with open(path, 'wb') as f:
            f.write(png)


ACCENT = '#2F7BEA'
WHITE = rgba('#FFFFFF')


def cross(c, cx, cy, r, w, color):
    c.line(cx - r, cy - r, cx + r, cy + r, w, color)
    c.line(cx - r, cy + r, cx + r, cy - r, w, color)


def tab_images():
    c = Canvas(362, 48)
    c.save('newicon/mainfram/bg_header_normal.png')
    c = Canvas(362, 48)
    c.rrect(1, 2, 360, 48, 12, rgba('#FFFFFF', 150), top_only=True)
    c.save('newicon/mainfram/bg_header_hover.png')
    c = Canvas(362, 48)
    c.rrect(1, 0, 360, 48, 12, WHITE, top_only=True)
    c.rrect(1, 0, 360, 5, 2, rgba(ACCENT))
    c.save('newicon/mainfram/bg_header_Click.png')
    c = Canvas(32, 32)
    cross(c, 16, 16, 5.5, 2.6, rgba('#8A94A6'))
    c.save('newicon/mainfram/icon_header_close_normal.png')
    for name, bg in (('hover', '#E5484D'), ('Click', '#C2303A')):
        c = Canvas(32, 32)
        c.circle(16, 16, 13, rgba(bg))
        cross(c, 16, 16, 5.5, 2.6, WHITE)
        c.save('newicon/mainfram/icon_header_close_%s.png' % name)


def caption_icons(prefix, color):
    col = rgba(color)
    c = Canvas(80, 80)
    for y in (31, 40, 49):
        c.line(31, y, 49, y, 2.6, col)
    c.save(prefix + 'sysmenu.png')
    c = Canvas(80, 80)
    c.line(31, 40, 49, 40, 2.6, col)
    c.save(prefix + 'min.png')
    c = Canvas(80, 80)
    c.rrect(31, 31, 49, 49, 2, col)
    c.rrect(33.6, 33.6, 46.4, 46.4, 1, (0, 0, 0, 0))
    c = Canvas(80, 80)
    for x0, y0, x1, y1 in ((31, 31, 49, 31), (31, 49, 49, 49), (31, 31, 31, 49), (49, 31, 49, 49)):
        c.line(x0, y0, x1, y1, 2.6, col)
    c.save(prefix + 'max.png')
    c = Canvas(80, 80)
    for x0, y0, x1, y1 in ((30, 35, 45, 35), (30, 50, 45, 50), (30, 35, 30, 50), (45, 35, 45, 50),
                           (35, 30, 50, 30), (50, 30, 50, 45), (35, 30, 35, 35), (45, 45, 50, 45)):
        c.line(x0, y0, x1, y1, 2.4, col)
    c.save(prefix + 'restore.png')
    c = Canvas(80, 80)
    cross(c, 40, 40, 9, 2.6, col)
    c.save(prefix + 'close.png')


def nav_icons():
    col = rgba('#4A5568')
    c = Canvas(56, 48)
    c.line(31, 15, 23, 24, 3, col)
    c.line(23, 24, 31, 33, 3, col)
    c.save('newicon/mainfram/nav_back.png')
    c = Canvas(56, 48)
    c.line(25, 15, 33, 24, 3, col)
    c.line(33, 24, 25, 33, 3, col)
    c.save('newicon/mainfram/nav_forward.png')
    c = Canvas(56, 48)
    c.ring(28, 24, 9, 3, col, 320, 250)
    c.poly([(35.5, 10.5), (37.5, 20.5), (28.5, 18.5)], col)
    c.save('newicon/mainfram/nav_refresh.png')


def misc():
    c = Canvas(56, 56)
    c.rrect(2, 2, 54, 54, 12, rgba('#1FA971'))
    c.poly([(28, 10), (42, 30), (34, 30), (44, 44), (12, 44), (22, 30), (14, 30)], WHITE)
    c.rrect(25.5, 42, 30.5, 50, 1, WHITE)
    c.save('newicon/common/logo.png')
    c = Canvas(32, 32)
    c.circle(16, 16, 13, rgba('#E5484D'))
    c.line(16, 9.5, 16, 18.5, 3, WHITE)
    c.circle(16, 23, 1.9, WHITE)
    c.save('newicon/common/icon_error.png')
    c = Canvas(64, 64)
    c.circle(32, 32, 28, rgba('#F5A524'))
    c.line(32, 18, 32, 37, 5.5, WHITE)
    c.circle(32, 46, 3.4, WHITE)
    c.save('newicon/common/icon_warning.png')
    for name, color in (('normal', '#8A94A6'), ('hover', ACCENT)):
        c = Canvas(32, 32)
        c.line(10, 13, 16, 19, 2.6, rgba(color))
        c.line(16, 19, 22, 13, 2.6, rgba(color))
        c.save('newicon/common/combo_arrow_%s.png' % name)
    # Brand panel of the login dialog.
    c = Canvas(262, 442)
    c.gradient(rgba('#1B4DA6'), rgba('#2F8AF0'))
    c.circle(230, 60, 90, rgba('#FFFFFF', 22))
    c.circle(20, 400, 120, rgba('#FFFFFF', 18))
    c.circle(200, 360, 40, rgba('#FFFFFF', 24))
    c.save('newicon/login/login_side.png')


if __name__ == '__main__':
    tab_images()
    caption_icons('newicon/mainfram/caption_', '#FFFFFF')
    caption_icons('newicon/common/dark_', '#5B6475')
    nav_icons()
    misc()
    print('images written to', ROOT)
