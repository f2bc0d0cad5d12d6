#!/usr/bin/env python3
"""Draws the program's icon, the installer picture, at each size it is
shown at, and writes

    Tovik_All_In_One.ico                      for the Windows resource script
    hicolor/<N>x<N>/apps/vn.tovik.AllInOne.png  for the Linux icon theme

Every size is rendered from the vector drawing itself, not scaled down from
a large bitmap, so the small sizes stay sharp.  The .ico keeps the sizes up
to 192 as 32-bit bitmaps with alpha, which every Windows version reads, and
the 256 size as PNG, which keeps the file small.

    make_ico.py [OUTPUT_DIR]
"""

import os
import struct
import sys

from draw_icons import canvas_png, draw_installer

SIZES = (16, 24, 32, 48, 64, 96, 128, 192, 256)
PNG_FROM = 256
APP_ID = 'vn.tovik.AllInOne'


def bitmap_entry(size, rows):
    """A BITMAPINFOHEADER, the BGRA pixels bottom-up, then the 1-bit AND
    mask (set where the pixel is fully transparent) for readers that
    ignore alpha.  The header's height counts both the colour and the mask
    rows, as icon bitmaps require."""
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            colour += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[4 * x + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def ico_bytes(images):
    """images: list of (size, data) in the order they go into the file."""
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b''
    for size, data in images:
        side = 0 if size >= 256 else size      # 0 stands for 256
        entries += struct.pack('<BBBBHHII', side, side, 0, 0, 1, 32,
                               len(data), offset)
        offset += len(data)
    return directory + entries + b''.join(data for _, data in images)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else here
    images = []
    for size in SIZES:
        canvas = draw_installer(size)
        png = canvas_png(canvas)
        theme_dir = os.path.join(out_dir, 'hicolor', '%dx%d' % (size, size),
                                 'apps')
        os.makedirs(theme_dir, exist_ok=True)
        with open(os.path.join(theme_dir, APP_ID + '.png'), 'wb') as f:
            f.write(png)
        if size >= PNG_FROM:
            images.append((size, png))
        else:
            images.append((size, bitmap_entry(size, canvas.rgba_rows())))
    data = ico_bytes(images)
    with open(os.path.join(out_dir, 'Tovik_All_In_One.ico'), 'wb') as f:
        f.write(data)
    print('Tovik_All_In_One.ico %d bytes, sizes %s'
          % (len(data), ' '.join(str(s) for s in SIZES)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
