#!/usr/bin/env python3
"""Draws ZEVRIK's toolbar bitmaps and icons and writes them into src/res.

The toolbar pictures are 19 by 19 pixels in the 16 standard colours,
drawn as character maps below, and written as icons whose button-face pixels
are transparent: a greyed button then shows the picture's outline (a plain
bitmap has no mask, and a greyed one is drawn as a filled square). The icons (program icon 102 and the ten
animation frames 141 to 150) are drawn from shapes at 32 by 32 and 16 by 16.
The outputs are committed, so building the program needs no Python; run this
again only after changing a picture:  python3 scripts/gen_resources.py
"""

import math
import os
import struct
import sys

# The 16 standard colours, in palette order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# Character of a pixel in the maps -> palette index. '.' is the button face;
# 's' is the same silver where it belongs to the picture.
COLOUR_OF = {
    'k': 0, 'r': 1, 'g': 2, 'o': 3, 'n': 4, 'p': 5, 't': 6, '.': 7, 's': 7,
    'd': 8, 'R': 9, 'G': 10, 'Y': 11, 'B': 12, 'M': 13, 'C': 14, 'W': 15,
}

BITMAP_SIZE = 19

# File name -> picture. Each row is 19 characters.
BITMAPS = {
    # 104: an open folder.
    'fileopen.bmp': [
        '...................',
        '...................',
        '...................',
        '.kkkkk.............',
        'kYWYWYk............',
        'kWYWYWYkkkkkkk.....',
        'kYWYWYWYWYWYWYk....',
        'kWYWYWYWYWYWYWk....',
        'kYWYWkkkkkkkkkkkkk.',
        'kWYWkooooooooooooYk',
        'kYWkoooooooooooook.',
        'kWYkoooooooooooook.',
        'kYkoooooooooooook..',
        'kWkoooooooooooook..',
        'kkoooooooooooook...',
        'kkkkkkkkkkkkkkkk...',
        '...................',
        '...................',
        '...................',
    ],
    # 106: a floppy disk with its label and metal shutter.
    'filesave.bmp': [
        '...................',
        '.kkkkkkkkkkkkkkkk..',
        '.knnWWWWWWWWWWnnk..',
        '.knnWWWWWWWWWWnnk..',
        '.knnWddddddddWnnk..',
        '.knnWWWWWWWWWWnnk..',
        '.knnWddddddddWnnk..',
        '.knnWWWWWWWWWWnnk..',
        '.knnnnnnnnnnnnnnk..',
        '.knnnnnnnnnnnnnnk..',
        '.knnnsssssssssnnk..',
        '.knnnssnnsssssnnk..',
        '.knnnssnnsssssnnk..',
        '.knnnssnnsssssnnk..',
        '.knnnsssssssssnnk..',
        '.kkkkkkkkkkkkkkkk..',
        '...................',
        '...................',
        '...................',
    ],
    # 108: an open door with an arrow leading out of it.
    'exit.bmp': [
        '...................',
        '..kkkkkkkkkk.......',
        '..kdrrrrrrrk.......',
        '..kdrrrrrrrk.......',
        '..kdrrrrrrrk.......',
        '..kdrrrrrrrk.......',
        '..kdrrrrrrrk...g...',
        '..kdrrrrrrrk...gg..',
        '..kdrrrrrYrkgggggg.',
        '..kdrrrrrYrkggggggg',
        '..kdrrrrrrrkgggggg.',
        '..kdrrrrrrrk...gg..',
        '..kdrrrrrrrk...g...',
        '..kdrrrrrrrk.......',
        '..kdrrrrrrrk.......',
        '..kdrrrrrrrk.......',
        '..kkkkkkkkkk.......',
        '.dddddddddddd......',
        '...................',
    ],
    # 109: a plug pushed into its socket, with a green light.
    'comopen.bmp': [
        '...................',
        '...................',
        '...................',
        '...................',
        '..........kkkkkkk..',
        '..........kdddddk..',
        '.......kkkkdGGGdk..',
        '......knnnnkdddk...',
        'kkkkkknnnnnkkkkk...',
        'dddddknnnnnkkkkk...',
        'kkkkkknnnnnkkkkk...',
        '......knnnnkdddk...',
        '.......kkkkdddddk..',
        '..........kdddddk..',
        '..........kkkkkkk..',
        '...................',
        '...................',
        '...................',
        '...................',
    ],
    # 110: the plug pulled out of the socket, with a red light.
    'comclose.bmp': [
        '...................',
        '...................',
        '...................',
        '...................',
        '..........kkkkkkk..',
        '..........kdddddk..',
        '....kkkk..kdRRRdk..',
        '...knnnnk..kdddk...',
        'kkknnnnnkk.kkkkk...',
        'dddnnnnnkk..kkkk...',
        'kkknnnnnkk.kkkkk...',
        '...knnnnk..kdddk...',
        '....kkkk..kdddddk..',
        '..........kdddddk..',
        '..........kkkkkkk..',
        '...................',
        '...................',
        '...................',
        '...................',
    ],
    # 111: a gear wheel.
    'comset.bmp': [
        '...................',
        '........kkk........',
        '...kk...kdk...kk...',
        '..kddk.kkdkk.kddk..',
        '..kdddkdddddkdddk..',
        '...kdddddddddddk...',
        '....kddddkddddk....',
        '..kkdddkk.kkdddkk..',
        '.kkdddk.....kdddkk.',
        '.kddddk.....kddddk.',
        '.kkdddk.....kdddkk.',
        '..kkdddkk.kkdddkk..',
        '....kddddkddddk....',
        '...kdddddddddddk...',
        '..kdddkdddddkdddk..',
        '..kddk.kkdkk.kddk..',
        '...kk...kdk...kk...',
        '........kkk........',
        '...................',
    ],
    # 112: an eraser rubbing out a line of text.
    'clear.bmp': [
        '...................',
        '...................',
        '...........kkkkk...',
        '..........kMMMMMk..',
        '.........kMMMMMMk..',
        '........kMMMMMMkk..',
        '.......kMMMMMMkWk..',
        '......kMMMMMMkWWk..',
        '.....kWkMMMMkWWk...',
        '....kWWWkMMkWWk....',
        '...kWWWWWkkWWk.....',
        '...kWWWWWWWWk......',
        '....kWWWWWWk.......',
        '.....kWWWWk........',
        '......kkkk.........',
        '.............kk.kk.',
        '...................',
        '.kkk.kkkk..........',
        '...................',
    ],
    # 113: a page of a file with an arrow carrying it away.
    'filetransfer.bmp': [
        '...................',
        '.kkkkkkkk..........',
        '.kWWWWWWkk.........',
        '.kWWWWWWkWk........',
        '.kWkkkkWkkkk.......',
        '.kWWWWWWWWWk.......',
        '.kWkkkkkkkWk.......',
        '.kWWWWWWWWWk..B....',
        '.kWkkkkkkkWk..BB...',
        '.kWWWWWWWBBBBBBBB..',
        '.kWkkkkkkBBBBBBBBB.',
        '.kWWWWWWWBBBBBBBB..',
        '.kWkkkkkkkWk..BB...',
        '.kWWWWWWWWWk..B....',
        '.kWkkkkkkkWk.......',
        '.kWWWWWWWWWk.......',
        '.kkkkkkkkkkk.......',
        '...................',
        '...................',
    ],
    # 114: data going both ways: bits over two opposite arrows.
    'datatransfer.bmp': [
        '...................',
        '..kk....k...kk.....',
        '.k..k..kk..k..k....',
        '.k..k...k..k..k....',
        '..kk...kkk..kk.....',
        '...................',
        '............g......',
        '............gg.....',
        '..gggggggggggggg...',
        '..ggggggggggggggg..',
        '..gggggggggggggg...',
        '............gg.....',
        '.....R......g......',
        '....RR.............',
        '...RRRRRRRRRRRRRR..',
        '..RRRRRRRRRRRRRRR..',
        '...RRRRRRRRRRRRRR..',
        '....RR.............',
        '.....R.............',
    ],
    # 115: a wave checked by a green tick (Receive Check).
    'rxcheck.bmp': [
        '...................',
        '...................',
        '..kk....kk....kk...',
        '.k..k..k..k..k..k..',
        'k....kk....kk....k.',
        '...................',
        '...................',
        '..............GG...',
        '.............GG....',
        '............GG.....',
        '...........GG......',
        '..GG......GG.......',
        '...GG....GG........',
        '....GG..GG.........',
        '.....GGGG..........',
        '......GG...........',
        '...................',
        '...................',
        '...................',
    ],
    # 120: a page of stamped lines with a red dot: a log being written.
    'log.bmp': [
        '...................',
        '..kkkkkkkkkkk......',
        '..kWWWWWWWWWkk.....',
        '..kWnnWkkkkWkWk....',
        '..kWWWWWWWWWkkkk...',
        '..kWnnWkkkkkkWWk...',
        '..kWWWWWWWWWWWWk...',
        '..kWnnWkkkkkkkWk...',
        '..kWWWWWWWWWWWWk...',
        '..kWnnWkkkkkkkWk...',
        '..kWWWWWWWWWWWWk...',
        '..kWnnWkkkkWRRR....',
        '..kWWWWWWWWRRRRR...',
        '..kWnnWkkkRRRRRRR..',
        '..kWWWWWWWRRRRRRR..',
        '..kkkkkkkkRRRRRRR..',
        '...........RRRRR...',
        '............RRR....',
        '...................',
    ],
    # 121: two lines over axes (Plot).
    'plot.bmp': [
        '...................',
        '.k.................',
        '.k...........RR....',
        '.k..........R..R...',
        '.k..RR.....R....R..',
        '.k.R..R...R......R.',
        '.kR....R.R.........',
        '.k......R..........',
        '.k.............BB..',
        '.k...........BB....',
        '.k.........BB......',
        '.k.......BB........',
        '.k.....BB..........',
        '.k...BB............',
        '.k.BB..............',
        '.kB................',
        '.kkkkkkkkkkkkkkkkk.',
        '...................',
        '...................',
    ],
}


def _row_bytes_4bpp(indices):
    """Packs palette indices two to a byte and pads the row to 4 bytes."""
    padded = list(indices) + [0] * (len(indices) % 2)
    data = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
    return data + b'\0' * (-len(data) % 4)


def _row_bytes_1bpp(bits):
    """Packs bits eight to a byte, first pixel in the high bit, padded to 4 bytes."""
    padded = list(bits) + [0] * (-len(bits) % 8)
    data = bytes(sum(padded[i + j] << (7 - j) for j in range(8)) for i in range(0, len(padded), 8))
    return data + b'\0' * (-len(data) % 4)


def _palette_bytes():
    return b''.join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE)


def _info_header(width, height, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 16)


def check_bitmap(name, rows):
    if len(rows) != BITMAP_SIZE or any(len(r) != BITMAP_SIZE for r in rows):
        sys.exit('%s: every map must be %d by %d' % (name, BITMAP_SIZE, BITMAP_SIZE))
    unknown = {c for r in rows for c in r} - set(COLOUR_OF)
    if unknown:
        sys.exit('%s: unknown colour characters %s' % (name, sorted(unknown)))


# Icons are drawn on a canvas of palette indices where None is transparent.
# Shapes take coordinates in a 32-unit square, so the same drawing serves the
# 32 and the 16 pixel image; a pixel belongs to a shape if its centre does.

class Canvas:
    def __init__(self, size):
        self.size = size
        self.scale = size / 32.0
        self.pixels = [[None] * size for _ in range(size)]

    def _fill(self, inside, colour):
        for y in range(self.size):
            for x in range(self.size):
                ux = (x + 0.5) / self.scale
                uy = (y + 0.5) / self.scale
                if inside(ux, uy):
                    self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        self._fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, colour)

    def disc(self, cx, cy, r, colour):
        self._fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def ring(self, cx, cy, r_in, r_out, colour):
        self._fill(lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out,
                   colour)

    def polygon(self, points, colour):
        def inside(x, y):
            result = False
            j = len(points) - 1
            for i, (xi, yi) in enumerate(points):
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    result = not result
                j = i
            return result
        self._fill(inside, colour)

    def frame(self, x0, y0, x1, y1, width, colour):
        """The outline of a rectangle, at least one pixel wide at any size."""
        w = max(width, 1.0 / self.scale)
        self.rect(x0, y0, x1, y0 + w, colour)
        self.rect(x0, y1 - w, x1, y1, colour)
        self.rect(x0, y0, x0 + w, y1, colour)
        self.rect(x1 - w, y0, x1, y1, colour)


def draw_program_icon(c):
    """A terminal screen with a prompt, and the serial cable with its connector."""
    c.rect(2, 3, 28, 22, 8)          # monitor case
    c.frame(2, 3, 28, 22, 1, 0)
    c.rect(5, 6, 25, 19, 4)          # screen
    c.rect(7, 8, 10, 10, 10)         # prompt ">" and text lines in green
    c.rect(10, 10, 12, 12, 10)
    c.rect(7, 12, 10, 14, 10)
    c.rect(14, 12, 22, 14, 10)
    c.rect(7, 16, 18, 17, 2)
    c.rect(12, 22, 18, 25, 8)        # stand
    c.rect(8, 25, 22, 27, 0)
    c.rect(22, 26, 30, 28, 0)        # cable
    c.polygon([(24, 20), (31, 20), (30, 26), (25, 26)], 12)   # connector shell
    c.rect(26, 22, 27, 23, 15)
    c.rect(28, 22, 29, 23, 15)


FRAMES = 10
BLADES = 3


def draw_animation_frame(c, frame):
    """A fan wheel in a ring; each frame turns the blades a tenth of their spacing."""
    c.disc(16, 16, 15, 6)
    c.ring(16, 16, 14, 15, 0)
    c.disc(16, 16, 12.5, 15)
    spacing = 2 * math.pi / BLADES
    start = frame * spacing / FRAMES
    for blade in range(BLADES):
        a = start + blade * spacing
        tip_l = a - 0.35
        tip_r = a + 0.35
        c.polygon([(16 + 3 * math.cos(a - 1.2), 16 + 3 * math.sin(a - 1.2)),
                   (16 + 12 * math.cos(tip_l), 16 + 12 * math.sin(tip_l)),
                   (16 + 12 * math.cos(tip_r), 16 + 12 * math.sin(tip_r)),
                   (16 + 3 * math.cos(a + 1.2), 16 + 3 * math.sin(a + 1.2))],
                  12 if blade == 0 else 4)
    c.disc(16, 16, 3, 9)
    c.disc(16, 16, 1.2, 0)


def icon_image(canvas):
    """One icon image: header, palette, colour bits, then the transparency mask."""
    size = canvas.size
    rows = list(reversed(canvas.pixels))
    xor = b''.join(_row_bytes_4bpp([p if p is not None else 0 for p in row]) for row in rows)
    mask = b''.join(_row_bytes_1bpp([1 if p is None else 0 for p in row]) for row in rows)
    return _info_header(size, 2 * size, len(xor) + len(mask)) + _palette_bytes() + xor + mask


def icon_file(draw):
    images = []
    for size in (32, 16):
        canvas = Canvas(size)
        draw(canvas)
        images.append((size, icon_image(canvas)))
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, data in images:
        entries += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return header + entries + b''.join(data for _, data in images)


def toolbar_icon_file(rows):
    """A one-image icon of the character map; the button face is transparent."""
    canvas = Canvas(len(rows))
    canvas.pixels = [[None if c == '.' else COLOUR_OF[c] for c in row] for row in rows]
    size = canvas.size
    data = icon_image(canvas)
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), 22) + data


def outputs():
    files = {}
    for name, rows in BITMAPS.items():
        check_bitmap(name, rows)
        files[name.replace('.bmp', '.ico')] = toolbar_icon_file(rows)
    files['zevrik.ico'] = icon_file(draw_program_icon)
    for frame in range(FRAMES):
        files['frame%02d.ico' % (frame + 1)] = icon_file(
            lambda c, f=frame: draw_animation_frame(c, f))
    return files


def main():
    out_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src', 'res')
    if len(sys.argv) > 1:
        out_dir = sys.argv[1]
    for name, data in outputs().items():
        with open(os.path.join(out_dir, name), 'wb') as f:
            f.write(data)
        print(os.path.join(out_dir, name))


if __name__ == '__main__':
    main()
