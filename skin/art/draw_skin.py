#!/usr/bin/env python3
"""Draws the skin's artwork and the program icons as PNG files.

Every picture is built from anti-aliased shapes (signed distances) in plain
Python, so the art can be redrawn anywhere:  python3 skin/art/draw_skin.py
It writes skin/DefaultSkin/img/*.png, skin/icons/*.png, the Windows
program's icon resources skin/icons/*.ico and the desktop's menu icon at the
usual sizes, skin/icons/hicolor/<size>.png.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
IMG = os.path.join(HERE, "..", "DefaultSkin", "img")
ICONS = os.path.join(HERE, "..", "icons")
# The sizes Windows picks from for the window (107) and the tray (108) icons.
ICO_SIZES_107 = (16, 20, 24, 32, 40, 48, 64)
ICO_SIZES_108 = (16, 20, 24, 32)
# The sizes desktops look for in the hicolor icon theme.
HICOLOR_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

ACCENT = (0xFC, 0x95, 0x05)
ACCENT_HOT = (0xFF, 0xA9, 0x2E)
ACCENT_PUSHED = (0xE3, 0x85, 0x0A)
ACCENT_DEEP = (0xF0, 0x5A, 0x28)
GLYPH = (0xC3, 0xC7, 0xD0)
WHITE = (0xFF, 0xFF, 0xFF)


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]  # premultiplied RGBA, 0..1

    def paint(self, distance, color, alpha=1.0):
        """Composites `color` where the signed distance (pixels, negative
        inside) says a pixel is covered; `color` may be a function of x, y."""
        for y in range(self.h):
            for x in range(self.w):
                d = distance(x + 0.5, y + 0.5)
                cover = min(1.0, max(0.0, 0.5 - d)) * alpha
                if cover <= 0.0:
                    continue
                c = color(x + 0.5, y + 0.5) if callable(color) else color
                a = cover * (c[3] / 255.0 if len(c) > 3 else 1.0)
                p = self.px[y * self.w + x]
                for i in range(3):
                    p[i] = c[i] / 255.0 * a + p[i] * (1.0 - a)
                p[3] = a + p[3] * (1.0 - a)

    def save(self, path):
        rows = bytearray()
        for y in range(self.h):
            rows.append(0)
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                rows += bytes(int(round(min(1.0, max(0.0, v)) * 255)) for v in (r, g, b, a))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)

    def dib(self):
        """The picture as an icon image: a 32-bit bottom-up bitmap with
        straight alpha, then an all-zero AND mask (the alpha decides)."""
        header = struct.pack("<IiiHHIIiiII", 40, self.w, self.h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = bytearray()
        for y in reversed(range(self.h)):
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                pixels += bytes(int(round(min(1.0, max(0.0, v)) * 255)) for v in (b, g, r, a))
        mask = bytes(((self.w + 31) // 32 * 4) * self.h)
        return header + bytes(pixels) + mask


def save_ico(canvases, path):
    """Writes an .ico file holding `canvases`, one image per size."""
    images = [c.dib() for c in canvases]
    offset = 6 + 16 * len(images)
    data = struct.pack("<HHH", 0, 1, len(images))
    for c, image in zip(canvases, images):
        data += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(data + b"".join(images))


# --- Signed distances ------------------------------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def round_rect(x0, y0, x1, y1, r):
    cx, cy, hw, hh = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def d(x, y):
        qx, qy = abs(x - cx) - hw + r, abs(y - cy) - hh + r
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return d


def segment(ax, ay, bx, by, width):
    def d(x, y):
        px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
        t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
        return math.hypot(px - vx * t, py - vy * t) - width / 2
    return d


def polygon(points, rounding=0.0):
    """Convex polygon (clockwise on screen), corners softened by `rounding`."""
    edges = []
    n = len(points)
    for i in range(n):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
        nx, ny = by - ay, -(bx - ax)
        length = math.hypot(nx, ny)
        edges.append((ax, ay, nx / length, ny / length))

    def d(x, y):
        return max((x - ax) * nx + (y - ay) * ny for ax, ay, nx, ny in edges) - rounding
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


def vertical_gradient(top, bottom, y0, y1):
    def color(x, y):
        t = max(0.0, min(1.0, (y - y0) / max(1e-6, y1 - y0)))
        return tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,)
    return color


def diagonal_gradient(a, b, size):
    def color(x, y):
        t = max(0.0, min(1.0, (x + y) / (2 * size)))
        return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3)) + (255,)
    return color


# --- Pictures -------------------------------------------------------------------

def note(scale, ox=0.0, oy=0.0):
    """A beamed pair of eighth notes in a 1x1 box."""
    s = lambda v: v * scale
    heads = union(circle(ox + s(0.30), oy + s(0.74), s(0.12)), circle(ox + s(0.74), oy + s(0.66), s(0.12)))
    stems = union(segment(ox + s(0.40), oy + s(0.74), ox + s(0.40), oy + s(0.22), s(0.07)),
                  segment(ox + s(0.84), oy + s(0.66), ox + s(0.84), oy + s(0.14), s(0.07)))
    beam = polygon([(ox + s(0.365), oy + s(0.20)), (ox + s(0.875), oy + s(0.08)),
                    (ox + s(0.875), oy + s(0.22)), (ox + s(0.365), oy + s(0.34))])
    return union(heads, stems, beam)


def app_icon(size):
    c = Canvas(size, size)
    r = size * 0.22
    c.paint(round_rect(0.5, 0.5, size - 0.5, size - 0.5, r), diagonal_gradient(ACCENT_HOT, ACCENT_DEEP, size))
    c.paint(note(size * 0.62, size * 0.17, size * 0.19), WHITE)
    return c


def round_button(size, disc, glyph, glyph_color):
    c = Canvas(size, size)
    h = size / 2
    if disc:
        c.paint(circle(h, h + size * 0.02, h - 1), (0, 0, 0, 60))
        c.paint(circle(h, h, h - 1.5), disc)
    c.paint(glyph, glyph_color)
    return c


def play_glyph(size):
    h = size / 2
    return polygon([(h - size * 0.12, h - size * 0.19), (h + size * 0.22, h), (h - size * 0.12, h + size * 0.19)],
                   rounding=size * 0.02)


def pause_glyph(size):
    h = size / 2
    return union(round_rect(h - size * 0.17, h - size * 0.18, h - size * 0.05, h + size * 0.18, size * 0.03),
                 round_rect(h + size * 0.05, h - size * 0.18, h + size * 0.17, h + size * 0.18, size * 0.03))


def skip_glyph(size, forward):
    h = size / 2
    sign = 1 if forward else -1
    tip = h + sign * size * 0.16
    back = h - sign * size * 0.20
    tri = polygon([(back, h - size * 0.20), (tip, h), (back, h + size * 0.20)] if forward
                  else [(back, h + size * 0.20), (tip, h), (back, h - size * 0.20)], rounding=size * 0.02)
    bar_x = tip + sign * size * 0.04
    return union(tri, segment(bar_x, h - size * 0.19, bar_x, h + size * 0.19, size * 0.08))


def close_glyph(size):
    h, a = size / 2, size * 0.16
    return union(segment(h - a, h - a, h + a, h + a, 1.8), segment(h - a, h + a, h + a, h - a, 1.8))


def min_glyph(size):
    h, a = size / 2, size * 0.17
    return segment(h - a, h, h + a, h, 1.8)


def thumb(size, hot):
    c = Canvas(size, size)
    h = size / 2
    c.paint(circle(h, h + 0.6, h - 0.6), (0, 0, 0, 70))
    c.paint(circle(h, h, h - 1.2), WHITE)
    c.paint(circle(h, h, size * 0.17), ACCENT if hot else (0xD0, 0xD3, 0xD9))
    return c


def volume_icon(size):
    c = Canvas(size, size)
    s = size / 20.0
    body = union(round_rect(2 * s, 7 * s, 6 * s, 13 * s, 0.8 * s),
                 polygon([(5 * s, 7 * s), (10.5 * s, 3 * s), (10.5 * s, 17 * s), (5 * s, 13 * s)], 0.4 * s))
    waves = union(subtract(ring(10 * s, 10 * s, 4.2 * s, 1.5 * s), polygon([(0, 0), (13 * s, 0), (13 * s, 20 * s), (0, 20 * s)])),
                  subtract(ring(10 * s, 10 * s, 7.4 * s, 1.5 * s), polygon([(0, 0), (13.5 * s, 0), (13.5 * s, 20 * s), (0, 20 * s)])))
    c.paint(union(body, waves), GLYPH)
    return c


def cover(size):
    c = Canvas(size, size)
    c.paint(round_rect(0.5, 0.5, size - 0.5, size - 0.5, size * 0.1),
            diagonal_gradient((0x2A, 0x2E, 0x38), (0x15, 0x17, 0x1C), size))
    h = size / 2
    c.paint(circle(h, h, size * 0.36), (0x0E, 0x0F, 0x12, 255))
    for r in (0.33, 0.29, 0.25, 0.21):
        c.paint(ring(h, h, size * r, 0.8), (0x34, 0x37, 0x40, 255))
    c.paint(circle(h, h, size * 0.13), diagonal_gradient(ACCENT_HOT, ACCENT_DEEP, size))
    c.paint(circle(h, h, size * 0.025), (0x0E, 0x0F, 0x12, 255))
    # A light sheen across the record.
    c.paint(subtract(circle(h, h, size * 0.36), circle(h + size * 0.2, h + size * 0.2, size * 0.42)), (255, 255, 255, 18))
    return c


def small_glyph(size, glyph, color):
    c = Canvas(size, size)
    c.paint(glyph, color)
    return c


def info_glyph(size):
    h = size / 2
    return union(subtract(circle(h, h, h - 1), circle(h, h, h - 2.6)),
                 segment(h, h - 0.5, h, h + 3.5, 1.8), circle(h, h - 3.6, 1.1))


def power_glyph(size):
    h = size / 2
    arc = subtract(ring(h, h + 0.5, h - 2.5, 1.7), polygon([(h - 3.2, 0), (h + 3.2, 0), (h + 1.5, h), (h - 1.5, h)]))
    return union(arc, segment(h, 1.8, h, h + 0.5, 1.7))


def main():
    os.makedirs(IMG, exist_ok=True)
    os.makedirs(ICONS, exist_ok=True)
    out = lambda name: os.path.join(IMG, name)

    app_icon(32).save(out("logo.png"))
    app_icon(64).save(os.path.join(ICONS, "tarvoni_107.png"))
    app_icon(32).save(os.path.join(ICONS, "tarvoni_108.png"))
    save_ico([app_icon(size) for size in ICO_SIZES_107], os.path.join(ICONS, "tarvoni_107.ico"))
    save_ico([app_icon(size) for size in ICO_SIZES_108], os.path.join(ICONS, "tarvoni_108.ico"))
    os.makedirs(os.path.join(ICONS, "hicolor"), exist_ok=True)
    for size in HICOLOR_SIZES:
        app_icon(size).save(os.path.join(ICONS, "hicolor", "%d.png" % size))

    for suffix, disc in (("", ACCENT), ("_hot", ACCENT_HOT), ("_pushed", ACCENT_PUSHED)):
        round_button(48, disc, play_glyph(48), WHITE).save(out("btn_play%s.png" % suffix))
        round_button(48, disc, pause_glyph(48), WHITE).save(out("btn_pause%s.png" % suffix))
    for suffix, disc, color in (("", None, GLYPH), ("_hot", (0x2E, 0x32, 0x3B, 255), WHITE),
                                ("_pushed", (0x26, 0x29, 0x30, 255), ACCENT)):
        round_button(36, disc, skip_glyph(36, False), color).save(out("btn_prev%s.png" % suffix))
        round_button(36, disc, skip_glyph(36, True), color).save(out("btn_next%s.png" % suffix))
    for suffix, disc, color in (("", None, (0x9A, 0x9F, 0xAA)), ("_hot", (0xE8, 0x36, 0x36, 255), WHITE),
                                ("_pushed", (0xC4, 0x2B, 0x2B, 255), WHITE)):
        round_button(36, disc, close_glyph(36), color).save(out("btn_close%s.png" % suffix))
    for suffix, disc, color in (("", None, (0x9A, 0x9F, 0xAA)), ("_hot", (0x34, 0x38, 0x42, 255), WHITE),
                                ("_pushed", (0x2A, 0x2D, 0x35, 255), WHITE)):
        round_button(36, disc, min_glyph(36), color).save(out("btn_min%s.png" % suffix))

    thumb(14, False).save(out("thumb.png"))
    thumb(14, True).save(out("thumb_hot.png"))
    thumb(12, False).save(out("thumb_small.png"))
    thumb(12, True).save(out("thumb_small_hot.png"))
    volume_icon(20).save(out("volume.png"))
    cover(112).save(out("cover.png"))
    small_glyph(18, note(18), (0x80, 0x86, 0x93)).save(out("tab_note.png"))
    small_glyph(18, note(18), WHITE).save(out("tab_note_on.png"))
    small_glyph(14, play_glyph(14), WHITE).save(out("playall.png"))
    small_glyph(16, info_glyph(16), (0xB4, 0xB9, 0xC4)).save(out("menu_about.png"))
    small_glyph(16, power_glyph(16), (0xB4, 0xB9, 0xC4)).save(out("menu_exit.png"))


if __name__ == "__main__":
    main()
