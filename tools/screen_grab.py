"""Screenshots of the private X display as the server holds them: one plain GetImage on the
root window.

xwd is not used for this: with Wine's windows (each carries a colormap of Wine's own) xwd shows
a window lying wholly inside a larger one (a dialog or a menu over the normal-size main window)
as a black box, although the screen holds it drawn.

    python3 tools/screen_grab.py OUT.ppm [X Y W H]     (OUT "-" writes to stdout)
"""
import ctypes
import ctypes.util
import os
import sys


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


_ZPIXMAP = 2
_ALL_PLANES = 0xFFFFFFFF


def _xlib():
    name = ctypes.util.find_library("X11") or "libX11.so.6"
    x = ctypes.cdll.LoadLibrary(name)
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XGetImage.restype = ctypes.POINTER(_XImage)
    x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                            ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x.XGetPixel.restype = ctypes.c_ulong
    x.XGetPixel.argtypes = [ctypes.POINTER(_XImage), ctypes.c_int, ctypes.c_int]
    x.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
    return x


def _shift(mask):
    n = 0
    while mask and not mask & 1:
        mask >>= 1
        n += 1
    return n, mask


class Image:
    """RGB pixels of one screen rectangle; `pixel(x, y)` takes coordinates inside it."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def ppm(self):
        return b"P6\n%d %d\n255\n" % (self.width, self.height) + bytes(self.rgb)


def grab(x=0, y=0, width=None, height=None, display=None):
    """The rectangle (clipped to the screen) as an Image, or None when there is no display or
    the server refuses the request."""
    xlib = _xlib()
    name = display or os.environ.get("DISPLAY", "")
    dpy = xlib.XOpenDisplay(name.encode("ascii")) if name else None
    if not dpy:
        return None
    try:
        sw, sh = xlib.XDisplayWidth(dpy, 0), xlib.XDisplayHeight(dpy, 0)
        x, y = max(0, x), max(0, y)
        width = min(sw - x, sw if width is None else width)
        height = min(sh - y, sh if height is None else height)
        if width <= 0 or height <= 0:
            return None
        ptr = xlib.XGetImage(dpy, xlib.XDefaultRootWindow(dpy), x, y, width, height, _ALL_PLANES, _ZPIXMAP)
        if not ptr:
            return None
        try:
            return Image(width, height, _to_rgb(xlib, ptr))
        finally:
            xlib.XDestroyImage(ptr)
    finally:
        xlib.XCloseDisplay(dpy)


def _to_rgb(xlib, ptr):
    img = ptr.contents
    w, h = img.width, img.height
    standard = (img.bits_per_pixel == 32 and img.byte_order == 0 and img.red_mask == 0xFF0000
                and img.green_mask == 0xFF00 and img.blue_mask == 0xFF)
    out = bytearray(w * h * 3)
    if standard:
        # The usual 24-bit TrueColor layout: B, G, R, pad per pixel, rows padded to bytes_per_line.
        raw = ctypes.string_at(img.data, img.bytes_per_line * h)
        for row in range(h):
            line = raw[row * img.bytes_per_line: row * img.bytes_per_line + w * 4]
            base = row * w * 3
            out[base + 0: base + w * 3: 3] = line[2::4]
            out[base + 1: base + w * 3: 3] = line[1::4]
            out[base + 2: base + w * 3: 3] = line[0::4]
        return out
    shifts = [_shift(m) for m in (img.red_mask, img.green_mask, img.blue_mask)]
    i = 0
    for row in range(h):
        for col in range(w):
            value = xlib.XGetPixel(ptr, col, row)
            for shift, mask in shifts:
                out[i] = ((value >> shift) & mask) * 255 // mask if mask else 0
                i += 1
    return out


def main(argv):
    if len(argv) not in (2, 6):
        sys.stderr.write(__doc__)
        return 2
    box = [int(v) for v in argv[2:6]] if len(argv) == 6 else [0, 0, None, None]
    image = grab(*box)
    if image is None:
        sys.stderr.write("screen_grab: no picture from display %r\n" % os.environ.get("DISPLAY", ""))
        return 1
    if argv[1] == "-":
        sys.stdout.buffer.write(image.ppm())
    else:
        with open(argv[1], "wb") as f:
            f.write(image.ppm())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
