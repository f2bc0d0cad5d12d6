#!/usr/bin/env python3
"""Draws the program's images as RGBA PNG files.

Every picture is a list of vector shapes described by signed distance
functions, so each one can be rendered natively at any pixel size: the
coverage of a pixel comes from its distance to the shape's edge, which gives
antialiased edges without supersampling and keeps thin strokes crisp at
16 pixels.  Only the standard library is used, so the images can be redrawn
on any machine that has python3.

    draw_icons.py [OUTPUT_DIR]          the six images of the window
    make_ico.py                         the Windows icon (uses draw_installer)
"""

import math
import os
import struct
import sys
import zlib


# --------------------------------------------------------------------------
# Colours and shapes

def rgb(hexstr, alpha=1.0):
    hexstr = hexstr.lstrip('#')
    return (int(hexstr[0:2], 16) / 255.0, int(hexstr[2:4], 16) / 255.0,
            int(hexstr[4:6], 16) / 255.0, alpha)


def linear(x0, y0, c0, x1, y1, c1):
    """A paint that blends c0 at (x0, y0) into c1 at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def paint(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / length2
        t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return paint


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    half = width / 2.0
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - half


def rounded_box(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return sdf


def _segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else ((x - ax) * dx + (y - ay) * dy) / length2
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    return math.hypot(x - ax - dx * t, y - ay - dy * t)


def stroke(points, width):
    """A polyline of the given width with round joins and caps."""
    half = width / 2.0
    pairs = list(zip(points, points[1:]))

    def sdf(x, y):
        return min(_segment_distance(x, y, a[0], a[1], b[0], b[1])
                   for a, b in pairs) - half
    return sdf


def polygon(points, radius=0.0):
    """A filled polygon; a radius grows it outwards with rounded corners."""
    edges = list(zip(points, points[1:] + points[:1]))

    def sdf(x, y):
        d = min(_segment_distance(x, y, a[0], a[1], b[0], b[1])
                for a, b in edges)
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return (-d if inside else d) - radius
    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def offset(shape, dx, dy):
    return lambda x, y: shape(x - dx, y - dy)


# --------------------------------------------------------------------------
# Canvas

class Canvas:
    """Premultiplied RGBA pixels addressed in design units.

    The design space is width_units x height_units; the pixel grid is fitted
    onto it, so one drawing serves every output size."""

    def __init__(self, width, height, width_units, height_units):
        self.width, self.height = width, height
        self.sx = width / float(width_units)
        self.sy = height / float(height_units)
        self.pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]

    def fill(self, shape, paint, soft=None, opacity=1.0):
        """Composites a shape over the canvas.

        Coverage falls from 1 to 0 across one pixel at the edge, or across
        `soft` design units for blurred shapes such as shadows."""
        scale = min(self.sx, self.sy)
        colour = paint if callable(paint) else (lambda x, y, c=paint: c)
        for py in range(self.height):
            y = (py + 0.5) / self.sy
            row = py * self.width
            for px in range(self.width):
                x = (px + 0.5) / self.sx
                d = shape(x, y)
                if soft:
                    cover = 0.5 - d / soft
                else:
                    cover = 0.5 - d * scale
                if cover <= 0.0:
                    continue
                if cover > 1.0:
                    cover = 1.0
                r, g, b, a = colour(x, y)
                a *= cover * opacity
                dst = self.pixels[row + px]
                keep = 1.0 - a
                dst[0] = r * a + dst[0] * keep
                dst[1] = g * a + dst[1] * keep
                dst[2] = b * a + dst[2] * keep
                dst[3] = a + dst[3] * keep

    def rgba_rows(self):
        """Straight (not premultiplied) 8-bit rows, as PNG and ICO store them."""
        rows = []
        for py in range(self.height):
            row = bytearray()
            for px in range(self.width):
                r, g, b, a = self.pixels[py * self.width + px]
                if a <= 0.0:
                    row += b'\0\0\0\0'
                    continue
                row += bytes(min(255, int(round(c / a * 255.0)))
                             for c in (r, g, b))
                row.append(min(255, int(round(a * 255.0))))
            rows.append(bytes(row))
        return rows


# --------------------------------------------------------------------------
# PNG output

def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filtered(row, prev, kind):
    out = bytearray(len(row))
    for i, value in enumerate(row):
        left = row[i - 4] if i >= 4 else 0
        up = prev[i]
        if kind == 0:
            pred = 0
        elif kind == 1:
            pred = left
        elif kind == 2:
            pred = up
        elif kind == 3:
            pred = (left + up) // 2
        else:
            pred = _paeth(left, up, prev[i - 4] if i >= 4 else 0)
        out[i] = (value - pred) & 0xFF
    return bytes(out)


def png_bytes(width, height, rows):
    """Encodes 8-bit RGBA rows: colour type 6, no interlacing.

    Each row takes the filter whose output has the smallest sum of signed
    bytes, the usual heuristic for smooth artwork."""
    raw = bytearray()
    prev = bytes(width * 4)
    for row in rows:
        candidates = [_filtered(row, prev, k) for k in range(5)]
        kind = min(range(5), key=lambda k: sum(
            v if v < 128 else 256 - v for v in candidates[k]))
        raw.append(kind)
        raw += candidates[kind]
        prev = row

    def chunk(tag, data):
        body = tag + data
        return (struct.pack('>I', len(data)) + body
                + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF))

    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9))
            + chunk(b'IEND', b''))


def canvas_png(canvas):
    return png_bytes(canvas.width, canvas.height, canvas.rgba_rows())


# --------------------------------------------------------------------------
# The pictures.  Each one draws into a 100 x 100 design space (the logo into
# its own 82 x 69) and takes the pixel size as parameters.

WHITE = rgb('FFFFFF')
SHADOW = rgb('000000', 0.35)


def draw_cancel(size):
    c = Canvas(size, size, 100, 100)
    c.fill(circle(50, 52, 44), SHADOW, soft=5)
    c.fill(circle(50, 50, 45),
           linear(50, 5, rgb('F47070'), 50, 95, rgb('B71C1C')))
    c.fill(ring(50, 50, 44, 2.5), rgb('8E1515'))
    c.fill(ring(50, 50, 39, 2.0), rgb('FFFFFF', 0.30))
    c.fill(stroke([(32, 32), (68, 68)], 12), WHITE)
    c.fill(stroke([(68, 32), (32, 68)], 12), WHITE)
    return c


def draw_cross_button(size):
    # Drawn for 16 pixels: fewer details and broader strokes than the cancel
    # symbol, so that the cross keeps two clear pixels of width.
    c = Canvas(size, size, 100, 100)
    c.fill(circle(50, 50, 47),
           linear(50, 3, rgb('F25C5C'), 50, 97, rgb('C62828')))
    c.fill(ring(50, 50, 45, 6), rgb('9A1A1A'))
    c.fill(stroke([(31, 31), (69, 69)], 15), WHITE)
    c.fill(stroke([(69, 31), (31, 69)], 15), WHITE)
    return c


def _down_arrow(top, bottom, half_shaft, half_head, head_height, cx=50):
    neck = bottom - head_height
    return [(cx - half_shaft, top), (cx + half_shaft, top),
            (cx + half_shaft, neck), (cx + half_head, neck),
            (cx, bottom), (cx - half_head, neck), (cx - half_shaft, neck)]


def draw_download(size):
    c = Canvas(size, size, 100, 100)
    arrow = polygon(_down_arrow(8, 70, 9, 26, 28), radius=2.5)
    tray = stroke([(12, 64), (12, 88), (88, 88), (88, 64)], 10)
    c.fill(offset(arrow, 0, 2), SHADOW, soft=4)
    c.fill(offset(tray, 0, 2), SHADOW, soft=4)
    c.fill(tray, linear(50, 60, rgb('607D8B'), 50, 94, rgb('37474F')))
    c.fill(arrow, linear(50, 6, rgb('4FB3F6'), 50, 72, rgb('1565C0')))
    return c


def draw_installer(size):
    """An open cardboard box with a green arrow going into it.

    Below 32 pixels the shadow, the arrow's light rim, the tape and the
    box's edge line would only smear into the neighbouring pixels, so they
    are left out and the arrow gets a dark outline instead."""
    small = size < 32
    c = Canvas(size, size, 100, 100)
    front = polygon([(15, 52), (85, 52), (85, 90), (15, 90)], radius=3)
    inside = polygon([(22, 40), (78, 40), (85, 52), (15, 52)], radius=1.5)
    left_flap = polygon([(15, 52), (22, 40), (9, 30), (3, 44)], radius=1.5)
    right_flap = polygon([(85, 52), (78, 40), (91, 30), (97, 44)], radius=1.5)
    arrow = polygon(_down_arrow(3, 62, 9, 24, 26), radius=2.5)

    if not small:
        c.fill(offset(union(front, left_flap, right_flap), 0, 3), SHADOW,
               soft=5)
    c.fill(inside, rgb('5D3A1A'))
    c.fill(left_flap, linear(3, 44, rgb('E3B477'), 22, 40, rgb('C08A4C')))
    c.fill(right_flap, linear(97, 44, rgb('E3B477'), 78, 40, rgb('C08A4C')))
    # The arrow is drawn before the front panel, so that its tip disappears
    # into the box.  A rim keeps it apart from the dark inside.
    rim = rgb('1B5E20') if small else rgb('E8F5E9')
    c.fill(lambda x, y: arrow(x, y) - 2.5, rim)
    c.fill(arrow, linear(50, 3, rgb('81C784'), 50, 60, rgb('2E7D32')))
    c.fill(front, linear(50, 52, rgb('DDA868'), 50, 92, rgb('A86E34')))
    if not small:
        c.fill(polygon([(44, 52), (56, 52), (56, 66), (44, 66)]),
               rgb('F3D9A8', 0.85))
        c.fill(stroke([(15.5, 52), (84.5, 52)], 2.5), rgb('8A5626'))
    return c


def draw_folder(size):
    c = Canvas(size, size, 100, 100)
    back = union(rounded_box(5, 20, 95, 86, 6), rounded_box(5, 13, 44, 30, 6))
    front = polygon([(9, 37), (95, 37), (91, 86), (5, 86)], radius=3)
    c.fill(offset(union(back, front), 0, 2), SHADOW, soft=4)
    c.fill(back, linear(50, 13, rgb('E2A522'), 50, 86, rgb('B7791A')))
    c.fill(rounded_box(13, 26, 87, 60, 2), rgb('FAFAFA'))
    c.fill(front, linear(50, 37, rgb('FFDA6A'), 50, 86, rgb('F4A81D')))
    c.fill(stroke([(10, 38.5), (93, 38.5)], 2.5), rgb('FFF1B8', 0.9))
    return c


def draw_logo(width, height):
    """A rounded blue badge: a "T" whose stem ends in a download arrow head,
    and "AIO" beneath it."""
    c = Canvas(width, height, 82, 69)
    badge = rounded_box(2, 2, 80, 66, 13)
    c.fill(offset(badge, 0, 1), SHADOW, soft=2.5)
    c.fill(badge, linear(8, 2, rgb('42A5F5'), 74, 66, rgb('0D3C8C')))
    c.fill(intersect(badge, rounded_box(2, 2, 80, 30, 13)),
           rgb('FFFFFF', 0.10))
    c.fill(subtract(badge, rounded_box(4.5, 4.5, 77.5, 63.5, 11)),
           rgb('FFFFFF', 0.35))

    tee = union(rounded_box(21, 10, 61, 19, 3),
                polygon(_down_arrow(14, 42, 4.5, 11, 10, cx=41), radius=1))
    c.fill(offset(tee, 0.8, 1.2), rgb('000000', 0.30), soft=1.5)
    c.fill(tee, WHITE)
    c.fill(polygon(_down_arrow(33.5, 41, 0, 9.5, 7.5, cx=41)),
           rgb('FFB74D'))

    letters = union(
        stroke([(20, 60), (26, 46.5), (32, 60)], 4),   # A
        stroke([(22.8, 55.5), (29.2, 55.5)], 3.5),
        stroke([(40.5, 47), (40.5, 59.5)], 4),         # I
        ring(54.5, 53.2, 5.6, 4),                      # O
    )
    c.fill(letters, WHITE)
    return c


IMAGES = [
    ('1452778310_Cancel.png', lambda: draw_cancel(128)),
    ('1498635164_download.png', lambda: draw_download(64)),
    ('1464966328_adept_installer.png', lambda: draw_installer(128)),
    ('1464039768_Folder.png', lambda: draw_folder(32)),
    ('TovikAIO.png', lambda: draw_logo(82, 69)),
    ('1452863351_cross-button.png', lambda: draw_cross_button(16)),
]


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, 'icons')
    os.makedirs(out_dir, exist_ok=True)
    for name, draw in IMAGES:
        data = canvas_png(draw())
        with open(os.path.join(out_dir, name), 'wb') as f:
            f.write(data)
        print('%-34s %6d bytes' % (name, len(data)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
