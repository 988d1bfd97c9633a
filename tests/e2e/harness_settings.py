"""What the settings-file and settings-dialog tests share: csi images made
by the test, files in the rig's scratch folder, the file choosers, the COM
Set settings as the dialog shows them, and snapshots of dialogs.

Dialog snapshots are read through GDI by zdrive ("snap"): the X server of
Wine's virtual desktop leaves every window but the main one black.
"""

import os
import struct
import subprocess
import time
import zlib

from harness import write_rect


OPEN_TITLE = "Open COM Settings Information(csi) File"
SAVE_TITLE = "Save COM Settings Information(csi) File As"
FILE_NAME_BOX = 0x47C  # the file-name box of the common file dialog
IMAGE_SIZE = 4096
FIELDS_END = 1144

DWORD, FLAG, BYTE, BYTES = "dword", "flag", "byte", "bytes"
DEFAULT_PATTERN = b"Hello moRek!! "

# (field number, offset, encoding, value with every setting at its default)
FIELDS = (
    (1, 0, DWORD, 1), (2, 4, DWORD, 4096),
    (3, 8, DWORD, 0), (4, 12, DWORD, 11), (5, 16, DWORD, 3), (6, 20, DWORD, 0), (7, 24, DWORD, 0),
    (8, 28, DWORD, 9600),
    (9, 32, DWORD, 1), (10, 36, DWORD, 0), (11, 40, DWORD, 0), (12, 44, DWORD, 0), (13, 48, DWORD, 0),
    (14, 52, FLAG, 0), (15, 53, FLAG, 0), (16, 54, FLAG, 0), (17, 55, FLAG, 0), (18, 56, FLAG, 0),
    (19, 57, FLAG, 0),
    (20, 58, DWORD, 1), (21, 62, DWORD, 1), (22, 66, DWORD, 0), (23, 70, DWORD, 0),
    (24, 74, BYTE, 0x11), (25, 75, BYTE, 0x13),
    (26, 76, FLAG, 1), (27, 77, FLAG, 0),
    (28, 78, DWORD, 0), (29, 82, DWORD, 0), (30, 86, DWORD, 2), (31, 90, DWORD, 2),
    (32, 94, DWORD, 0), (33, 98, DWORD, 0),
    (34, 102, BYTES, DEFAULT_PATTERN), (35, 614, DWORD, 14),
    (36, 618, BYTES, DEFAULT_PATTERN), (37, 1130, DWORD, 14),
    (38, 1134, BYTE, 0x30), (39, 1135, BYTE, 0x39),
    (40, 1136, DWORD, 1), (41, 1140, DWORD, 1),
)
FIELD = {number: (offset, kind, default) for number, offset, kind, default in FIELDS}

# Field numbers by what they hold.
PORT, BAUD, DATA_BITS, PARITY, STOP_BITS = 3, 4, 5, 6, 7
DTR, RTS = 20, 21
DISPLAY = 29
PATTERN, COUNT_MODE, ASCII_LEN, REPEAT = 32, 33, 35, 40


def make_image(values=None, tail=None, raw=None):
    """A 4096-byte csi image: every field at its default but those in
    `values` ({field number: value}); `tail` fills the reserved bytes; `raw`
    ({offset: bytes}) is laid over the result as it is."""
    image = bytearray(IMAGE_SIZE)
    values = dict(values or {})
    for number, (offset, kind, default) in FIELD.items():
        value = values.pop(number, default)
        if kind == DWORD:
            struct.pack_into("<I", image, offset, value)
        elif kind == FLAG:
            image[offset] = 0xFF if value == 1 else 0
        elif kind == BYTE:
            image[offset] = value
        else:
            image[offset:offset + 512] = bytes(value).ljust(512, b"\0")
    if values:
        raise ValueError("no such fields: %r" % sorted(values))
    if tail is not None:
        image[FIELDS_END:] = tail
    for offset, data in (raw or {}).items():
        image[offset:offset + len(data)] = data
    return bytes(image)


def win_path(path):
    """The path under which Wine's programs see a file of this machine."""
    return "Z:" + path.replace("/", "\\")


def scratch_file(app, name, data=None, mode=0o644):
    """A file in the rig's scratch folder, which the app may read and write
    (the rig runs it as another user); `data` None removes it."""
    path = os.path.join(app.suite.rig.scratch, name)
    if os.path.exists(path):
        os.chmod(path, 0o644)
        os.remove(path)
    if data is not None:
        with open(path, "wb") as f:
            f.write(data)
        os.chown(path, *app.suite.rig.guard.owner)
        os.chmod(path, mode)
    return path


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def choose_file(app, title, path, button=1):
    """Types `path` into the file chooser named `title` and presses `button`."""
    dlg = app.wait_dialog(title)["hwnd"]
    if button == 1:
        app.call("settext", dlg, FILE_NAME_BOX, win_path(path))
    app.call("press", dlg, button)
    app.wait_no_dialog(title)


def load(app, path):
    """"Open csi File" with `path`; returns the message box that answers."""
    app.call("postcommand", "main", 40001)
    choose_file(app, OPEN_TITLE, path)
    return app.wait_message_box(".")


def load_and_open(app, path, port="COM5"):
    """A load that must succeed: its message, then the port it opens."""
    box = load(app, path)
    if box["text"] != "Loading csi File Success! ":
        raise AssertionError("load of %s answered %r" % (path, box["text"]))
    app.dismiss(box)
    app.wait_open(port)


def save_as(app, path):
    app.call("postcommand", "main", 40003)
    choose_file(app, SAVE_TITLE, path)


def quiet(app, seconds=0.5):
    """No dialog or message box of the app for `seconds` after the UI thread
    has handled what was posted before."""
    app.settle()
    time.sleep(seconds)
    return app.dialogs()


def com_set_state(app):
    """(port, baud, data bits, parity, stop bits) as the COM Set dialog shows
    them; the dialog is left with Cancel."""
    command = 40009 if app.summary() else 40007
    dlg = app.open_com_set(command)["hwnd"]
    try:
        return tuple(app.call("combo", dlg, ctl)["seltext"] for ctl in (1020, 1021, 1022, 1023, 1024))
    finally:
        app.call("press", dlg, 2)
        app.wait_no_dialog("COM Set")


COMINFO = "COM Information"


def info_text(app, sel):
    """One text of the COM Information dialog (0 DCB, 1 COMMTIMEOUTS,
    2 COMMPROP), which is opened and closed for it."""
    dlg = app.open_dialog(40013, COMINFO)["hwnd"]
    try:
        app.call("select", dlg, 1030, sel)
        return app.text(dlg, 1031)
    finally:
        app.call("press", dlg, 1)
        app.wait_no_dialog(COMINFO)


def info_lines(text):
    """The lines of a COM Information text; each must end in a blank, CR, LF."""
    if not text.endswith(" \r\n"):
        raise AssertionError("text does not end with a blank and CR LF: %r" % text[-20:])
    return [line + " \r\n" for line in text[:-3].split(" \r\n")]


def checks(app, dlg, ids):
    return tuple(app.control(dlg, ctl)["check"] for ctl in ids)


# --- snapshots ---------------------------------------------------------

def _png_chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def _bmp_rows(bmp):
    """(width, height, rows top-down as RGB bytes) of a 24-bit bottom-up BMP,
    as zdrive's snap makes it."""
    offset, = struct.unpack_from("<I", bmp, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", bmp, 18)
    if bits != 24 or height <= 0:
        raise ValueError("not a bottom-up 24-bit BMP")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bmp[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(bytes(rgb))
    return width, height, rows


def _write_png(path, width, height, rows):
    png = (b"\x89PNG\r\n\x1a\n" +
           _png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
           _png_chunk(b"IDAT", zlib.compress(b"".join(b"\0" + row for row in rows), 6)) +
           _png_chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def _colours(rows, rect):
    x, y, w, h = rect["x"], rect["y"], rect["w"], rect["h"]
    seen = set()
    for row in rows[max(y, 0):y + h]:
        part = row[3 * max(x, 0):3 * (x + w)]
        seen.update(part[i:i + 3] for i in range(0, len(part), 3))
    return len(seen)


def snapshot(app, name, window=None, settle=0.4):
    """The screen as the app draws it, written to <build>/screenshots/name.
    With `window`, that window must show in it as more than a blank area."""
    app.settle()
    time.sleep(settle)
    bmp_path = scratch_file(app, "snap.bmp")
    app.call("snap", win_path(bmp_path))
    width, height, rows = _bmp_rows(read_file(bmp_path))
    os.remove(bmp_path)
    target = os.path.join(app.suite.screenshots, name)
    _write_png(target, width, height, rows)
    if window is not None:
        rect = app.call("rect", window)
        if _colours(rows, rect) < 3:
            raise AssertionError("%s shows window %s as a blank area" % (name, window))
        write_rect(target, rect)
    return target


def set_immutable(path, on):
    """chattr +i / -i; False when this machine does not allow it."""
    try:
        return subprocess.run(["chattr", "+i" if on else "-i", path], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
    except OSError:
        return False

