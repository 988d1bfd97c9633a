"""Steps of the protocol transfer tests: File Transfer with XMODEM, YMODEM or
ZMODEM chosen, its Protocol Options, the progress dialog and its one end
message, and a far-end program (lrzsz's sx, sb, sz, rx, rb, rz, or any other)
run on the far pty of a cable."""

import os
import re
import subprocess
import time

import zrig
from harness import wait_until
import steps_transfer as st

PROTOCOLS = {"none": 0, "xmodem": 1, "ymodem": 2, "zmodem": 3}
NAMES = {1: "XMODEM", 2: "YMODEM", 3: "ZMODEM"}

# The File Transfer dialog's protocol row.
PROTOCOL_BOX, OPTIONS_BUTTON, FOLDER_BOX, BROWSE_BUTTON = 1200, 1201, 1202, 1203
# Protocol Options: XMODEM's block (0 checksum, 1 CRC, 2 1K), ZMODEM's three
# switches, the first wait in seconds, Default.
OPTIONS_TITLE = "Protocol Options"
XBLOCK_BOX, ESCAPE_CHECK, CRC32_CHECK, AUTOSTART_CHECK, WAIT_BOX, DEFAULT_BUTTON = range(1210, 1216)
CHECKS = {"escape": ESCAPE_CHECK, "crc32": CRC32_CHECK, "autostart": AUTOSTART_CHECK}
# The progress dialog's fields.
STATE, FILE, FILES, BYTES, BAR, BLOCKS, RETRIES, ERRORS, RATE, LEFT = range(1220, 1230)
PROGRESS_TITLE = re.compile(r"^(XMODEM|YMODEM|ZMODEM) (Send|Receive) - COM\d+$")
SEND_CHOOSER = {1: "Send a File with XMODEM", 2: "Send Files with YMODEM", 3: "Send Files with ZMODEM"}
SAVE_CHOOSER = "Receive a File with XMODEM"
SUB = b"\x1a"


def open_file_transfer(app, protocol, direction, folder=None):
    """File Transfer with the protocol ("none", "xmodem", ...) and direction
    ("send", "receive"), and the folder a batch is received into; returns the
    dialog, still up."""
    dlg = st.post_until(app, 40015, st.DIRECTION_TITLE)
    st.click_radio(app, dlg, st.TRANSMIT_RADIO if direction == "send" else st.RECEIVE_RADIO)
    app.call("select", dlg, PROTOCOL_BOX, PROTOCOLS[protocol])
    if folder is not None:
        app.call("settext", dlg, FOLDER_BOX, st.win_path(folder))
    return dlg


def choose(app, protocol, direction, folder=None):
    """The File Transfer dialog filled in and ended with OK."""
    dlg = open_file_transfer(app, protocol, direction, folder)
    app.call("press", dlg, st.IDOK)
    app.wait_no_dialog(st.DIRECTION_TITLE)


def set_options(app, xblock=None, wait=None, **checks):
    """Protocol Options from the File Transfer dialog: xblock (0 checksum,
    1 CRC, 2 1K), wait (seconds, a text), escape/crc32/autostart (0 or 1); OK,
    and File Transfer is cancelled."""
    dlg = st.post_until(app, 40015, st.DIRECTION_TITLE)
    app.call("click", dlg, OPTIONS_BUTTON)
    opts = app.wait_dialog(OPTIONS_TITLE)["hwnd"]
    if xblock is not None:
        app.call("select", opts, XBLOCK_BOX, xblock)
    if wait is not None:
        app.call("settext", opts, WAIT_BOX, wait)
    for name, value in checks.items():
        ctl = CHECKS[name]
        if app.control(opts, ctl)["check"] != value:
            app.call("click", opts, ctl)
            wait_until(lambda: app.control(opts, ctl)["check"] == value, 5, "%s to be %d" % (name, value))
    app.call("press", opts, st.IDOK)
    app.wait_no_dialog(OPTIONS_TITLE)
    app.call("press", dlg, st.IDCANCEL)
    app.wait_no_dialog(st.DIRECTION_TITLE)


def fill_send_chooser(app, protocol, paths):
    """The send chooser: one file by its path; several by going to their
    folder first (the name box empties once there), then their quoted names."""
    title = SEND_CHOOSER[PROTOCOLS[protocol]]
    if len(paths) == 1:
        st.fill_file_dialog(app, title, paths[0])
    else:
        dlg = app.wait_dialog(title)["hwnd"]
        _enter_folder(app, dlg, os.path.dirname(paths[0]))
        app.call("settext", dlg, st.FILE_NAME_BOX, " ".join('"%s"' % os.path.basename(p) for p in paths))
        app.call("press", dlg, st.IDOK)
    app.wait_no_dialog(title)


def _enter_folder(app, dlg, folder, tries=4):
    """Goes to `folder` by way of its parent: the name box empties each time
    the chooser changes folders, and it may start in either. A chooser just
    opened may not act on its first OK yet, so this is tried again."""
    for _ in range(tries):
        for step in (os.path.dirname(folder), folder):
            app.call("settext", dlg, st.FILE_NAME_BOX, st.win_path(step) + "\\")
            app.call("press", dlg, st.IDOK)
            app.settle()
        try:
            wait_until(lambda: app.text(dlg, st.FILE_NAME_BOX) == "", 3, "the chooser to enter the folder")
            return
        except AssertionError:
            continue
    raise AssertionError("the chooser never went to %s" % folder)


def start_send(app, protocol, paths):
    """File Transfer, Transmit, the protocol, the files: the progress dialog
    is up (the port's bytes go to the transfer from then on) and the send
    waits for its receiver."""
    choose(app, protocol, "send")
    fill_send_chooser(app, protocol, paths)
    progress_dialog(app)


def start_receive(app, protocol, target):
    """File Transfer, Receive, the protocol: XMODEM into the file `target`
    (any question of the chooser answered Yes), YMODEM and ZMODEM into the
    folder `target`; returns once the progress dialog is up."""
    if protocol == "xmodem":
        choose(app, protocol, "receive")
        st.fill_file_dialog(app, SAVE_CHOOSER, target)
        wait_until(lambda: _answer_questions(app), 10, "the progress dialog")
    else:
        choose(app, protocol, "receive", target)
        progress_dialog(app)


def _answer_questions(app):
    for d in app.dialogs():
        if not d["msgbox"] and PROGRESS_TITLE.match(d["caption"]):
            return True
        if d["msgbox"] and st.IDYES in d["buttons"]:
            app.dismiss(d, st.IDYES)
    return False


def progress_dialog(app, timeout=10):
    """The progress dialog's window once it is up."""
    seen = []

    def up():
        seen[:] = app.dialogs()
        return next((d["hwnd"] for d in seen if not d["msgbox"] and PROGRESS_TITLE.match(d["caption"])), None)
    try:
        return wait_until(up, timeout, "the progress dialog")
    except AssertionError as e:
        raise AssertionError("%s; up instead: %r" % (e, [(d["caption"], d.get("text")) for d in seen])) from None


def wait_end(app, timeout=120):
    """The one message at the end of a transfer, dismissed; its text. Checks
    that the progress dialog is gone and no other box came."""
    box = app.wait_message_box(r"(complete|failed)", timeout=timeout)
    app.dismiss(box)
    app.settle()
    extra = [d["caption"] for d in app.dialogs()]
    if extra:
        raise AssertionError("left up after the end message: %r" % extra)
    return box["text"]


class FarProgram:
    """A program whose stdin and stdout are the far pty of a cable, in the
    folder `cwd`; its stderr goes to `log`."""

    def __init__(self, cable, argv, cwd, log):
        self.fd = zrig.open_far(cable.far_path)
        self.log = open(log, "wb")
        self.proc = subprocess.Popen(argv, stdin=self.fd, stdout=self.fd, stderr=self.log, cwd=cwd)

    def write(self, data):
        os.write(self.fd, data)

    def wait(self, timeout=60):
        """Its exit code; killed after `timeout` seconds."""
        try:
            return self.proc.wait(timeout * zrig.TIME_FACTOR)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(5)
            return None
        finally:
            self.close()

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(5)
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None
            self.log.close()


def close_everything(app, timeout=30):
    """Whatever a failed test left up: a transfer is cancelled, its message
    and any other box dismissed, a dialog cancelled."""
    def closed():
        for d in app.dialogs():
            if d["msgbox"]:
                app.call("press", d["hwnd"], st.IDOK if st.IDOK in d["buttons"] else d["buttons"][0])
            else:
                app.call("press", d["hwnd"], st.IDCANCEL, check=False)
        time.sleep(0.3)
        return not app.dialogs()
    wait_until(closed, timeout, "every dialog to close")


def xmodem_padded(got, original, block):
    """What an XMODEM receiver writes: the file, then fewer than `block` SUBs
    (the rest of its last block)."""
    rest = got[len(original):]
    return got[:len(original)] == original and rest == SUB * len(rest) and len(rest) < block
