#!/usr/bin/env python3
"""Makes the user guide's pictures from the end-to-end run's screenshots
(`make screenshots` runs it after `make test`).

    screenshots.py SHOTS_DIR OUT_DIR

The end-to-end tests write full-screen PNGs to <build>/screenshots, each with
a NAME.rect.json beside it giving the screen rectangle of the window it is
about.  Each picture below is cropped to that window and written to OUT_DIR.
"""

import json
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zrig  # noqa: E402

# guide picture -> screenshot of the end-to-end run
PICTURES = {
    "main-closed.png": "main-closed.png",
    "main-open.png": "installed-example-loaded.png",
    "main-lines.png": "lines-open.png",
    "com-set.png": "dialog-118-com-set.png",
    "com-set-present.png": "com-set-present.png",
    "main-waiting.png": "main-waiting.png",
    "timeouts.png": "dialog-120-timeouts.png",
    "flow-control.png": "dialog-122-flow-control.png",
    "com-information.png": "dialog-123-com-information.png",
    "terminal-option.png": "dialog-124-terminal-option.png",
    "data-transfer.png": "dialog-125-data-transfer.png",
    "file-transfer.png": "dialog-127-file-transfer.png",
    "receive-check.png": "rxcheck-faults.png",
    "console.png": "console.png",
    "xfer-progress.png": "xfer-progress.png",
    "log.png": "log-beside-terminal.png",
    "plot.png": "plot.png",
}


def read_png(path):
    """(width, height, rows of RGB bytes) of a PNG as the rig and the
    end-to-end harness write them: 8-bit RGB, no interlace, no row filters."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("%s is not a PNG file" % path)
    at, idat, head = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            head = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = head
    raw = zlib.decompress(idat)
    stride = 3 * width + 1
    if (depth, colour, interlace) != (8, 2, 0) or any(raw[y * stride] for y in range(height)):
        raise ValueError("%s: not an unfiltered 8-bit RGB PNG" % path)
    return width, height, [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]


def crop(shot, rect, out):
    """Writes the part of PNG `shot` inside rect {x, y, w, h} to `out`."""
    width, height, rows = read_png(shot)
    x0, y0 = max(rect["x"], 0), max(rect["y"], 0)
    x1, y1 = min(rect["x"] + rect["w"], width), min(rect["y"] + rect["h"], height)
    if x1 <= x0 or y1 <= y0:
        raise ValueError("%s: window %r lies off the screen" % (shot, rect))
    raw = b"".join(b"\0" + row[3 * x0:3 * x1] for row in rows[y0:y1])
    zrig.write_png(out, x1 - x0, y1 - y0, raw)
    return x1 - x0, y1 - y0


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__.split("\n\n")[1] + "\n")
        return 2
    shots, out_dir = argv
    os.makedirs(out_dir, exist_ok=True)
    missing = [s for s in PICTURES.values()
               if not os.path.exists(os.path.join(shots, s + ".rect.json"))]
    if missing:
        sys.stderr.write("screenshots: %s lacks %s; run `make test` first\n" % (shots, ", ".join(missing)))
        return 1
    for picture, shot in sorted(PICTURES.items()):
        with open(os.path.join(shots, shot + ".rect.json")) as f:
            rect = json.load(f)
        out = os.path.join(out_dir, picture)
        w, h = crop(os.path.join(shots, shot), rect, out)
        print("%-40s %4dx%-4d %7d bytes" % (out, w, h, os.path.getsize(out)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
