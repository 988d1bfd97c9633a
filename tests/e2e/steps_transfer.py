"""Steps of the transfer tests: filling in the Data Transfer dialog,
choosing files through the file dialogs, reading what the transfer hook
logged, and watching the far end of a cable with timestamps."""

import os
import re
import select
import threading
import time

from harness import wait_until

DATA_TITLE = "Data Transfer"
INFO_TITLE = "Data Transmit Information"
DIRECTION_TITLE = "File Transfer"
OPEN_TITLE = "Open Transmit File"
SAVE_TITLE = "Save Receive File"
SEND_TITLE = "File Transmit"
RECEIVE_TITLE = "File Receive"
TIMEOUTS_TITLE = "Timeouts Settings"

# Data Transfer dialog controls
ASCII_RADIO, HEX_RADIO, RANGE_RADIO = 1045, 1046, 1029
UNTIL_BREAK_RADIO, REPEAT_RADIO = 1030, 1031
ASCII_BOX, HEX_BOX, START_BOX, TO_BOX = 1047, 1003, 1004, 1005
REPEAT_BOX, INTERVAL_BOX = 1006, 1007
PATTERN_RADIOS = {"ascii": ASCII_RADIO, "hex": HEX_RADIO, "range": RANGE_RADIO}
COUNT_RADIOS = {0: UNTIL_BREAK_RADIO, 1: REPEAT_RADIO}
BOXES = {"ascii": ASCII_BOX, "hex": HEX_BOX, "start": START_BOX, "to": TO_BOX,
         "repeat": REPEAT_BOX, "interval": INTERVAL_BOX}

# The file dialogs' name box (cmb13) and the direction radios.
FILE_NAME_BOX = 0x47C
TRANSMIT_RADIO, RECEIVE_RADIO = 1027, 1028

# Timeouts dialog: its five boxes in COMMTIMEOUTS order, and its Default button.
TIMEOUT_BOXES = (1032, 1033, 1034, 1035, 1036)
TIMEOUTS_DEFAULT = 3

WM_KEYDOWN = 0x0100
VK_ESCAPE = 0x1B
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7

# Kinds of the transfer hook's events (zdhook_transfer.h).
EV_TEXT, EV_RANGE, EV_POS = 1, 2, 3


def win_path(path):
    """The path a program under Wine gives for a Linux path."""
    return "Z:" + path.replace("/", "\\")


def press_escape(app, target, check=True):
    """The Esc key on a dialog, as its modal loop receives it."""
    return app.call("post", target, WM_KEYDOWN, VK_ESCAPE, 0, check=check)


def click_radio(app, dlg, ctl):
    app.call("click", dlg, ctl)
    wait_until(lambda: app.control(dlg, ctl)["check"] == 1, 5, "radio %d to be checked" % ctl)


def post_until(app, command, title, retry=0.3, timeout=10):
    """Posts a menu command until its dialog `title` is up; returns it. The
    dialog of a finished transfer may be gone before the transfer has quite
    ended, and a transfer command arriving meanwhile is dropped, so posting
    again is safe: once a transfer runs, further posts are dropped too."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        app.call("postcommand", "main", command)
        try:
            return wait_dialog_state(app, title, True, timeout=retry)
        except AssertionError:
            continue
    raise AssertionError("command %d never opened %r" % (command, title))


def open_data_dialog(app, retry=0.3):
    return post_until(app, 40016, DATA_TITLE, retry)


def fill_data_dialog(app, dlg, pattern=None, count=None, **boxes):
    """Chooses the pattern ("ascii", "hex", "range") and count mode (0, 1)
    and writes the named boxes (ascii, hex, start, to, repeat, interval)."""
    if pattern is not None:
        click_radio(app, dlg, PATTERN_RADIOS[pattern])
    if count is not None:
        click_radio(app, dlg, COUNT_RADIOS[count])
    for name, value in boxes.items():
        # An empty argument does not survive zdrive's command line; a lone
        # zero byte gives the same empty text.
        app.call("settext", dlg, BOXES[name], value or "\0")


def start_data_job(app, wait_info=True, **fields):
    """Data Transfer with the given fields, OK; returns the information
    dialog's window (the job runs from its opening). A counted job may end
    before the dialog could be seen: with wait_info False this returns once
    the Data Transfer dialog has gone."""
    dlg = open_data_dialog(app)
    fill_data_dialog(app, dlg, **fields)
    app.call("press", dlg, IDOK)
    if not wait_info:
        app.wait_no_dialog(DATA_TITLE)
        return None
    return app.wait_dialog(INFO_TITLE)["hwnd"]


def data_dialog_state(app, dlg):
    """Texts, checks and enabled states of the Data Transfer dialog."""
    state = {}
    for name, ctl in BOXES.items():
        info = app.control(dlg, ctl)
        state[name] = (info["text"], info["enabled"])
    for name, ctl in list(PATTERN_RADIOS.items()) + [("until", UNTIL_BREAK_RADIO),
                                                     ("repeatcount", REPEAT_RADIO)]:
        state[name + "_checked"] = app.control(dlg, ctl)["check"]
    return state


def collect_boxes(app, count, timeout=10):
    """Reads and dismisses `count` message boxes that come one after the
    other; returns (text, caption) of each, then checks that no other is up."""
    seen = []
    for _ in range(count):
        box = wait_until(lambda: next(iter(app.message_boxes()), None), timeout,
                         "message box %d of %d" % (len(seen) + 1, count))
        seen.append((box["text"], box["caption"]))
        app.dismiss(box)
    app.settle()
    extra = [b["text"] for b in app.message_boxes()]
    return seen, extra


def wait_dialog_state(app, title, present, timeout=10):
    """Waits, polling quickly, until the dialog `title` is up (returns its
    window) or gone."""
    def check():
        found = [d for d in app.dialogs() if d["caption"] == title and not d["msgbox"]]
        if present:
            return found[0]["hwnd"] if found else None
        return not found
    return wait_until(check, timeout, "dialog %r %s" % (title, "up" if present else "gone"),
                      interval=0.005)


def set_timeouts(app, values=None):
    """Commits five time-outs through the Timeouts dialog, or its defaults
    when `values` is None; with the port open they apply at once."""
    dlg = app.open_dialog(40012, TIMEOUTS_TITLE)["hwnd"]
    if values is None:
        app.call("press", dlg, TIMEOUTS_DEFAULT)
    else:
        for ctl, value in zip(TIMEOUT_BOXES, values):
            app.call("settext", dlg, ctl, value)
    app.call("press", dlg, IDOK)
    app.wait_no_dialog(TIMEOUTS_TITLE)


def choose_direction(app, radio):
    dlg = post_until(app, 40015, DIRECTION_TITLE)
    click_radio(app, dlg, radio)
    app.call("press", dlg, IDOK)
    app.wait_no_dialog(DIRECTION_TITLE)


def fill_file_dialog(app, title, path):
    """Writes `path` into the file dialog `title` and presses its OK."""
    dlg = app.wait_dialog(title)["hwnd"]
    app.call("settext", dlg, FILE_NAME_BOX, win_path(path))
    app.call("press", dlg, IDOK)
    return dlg


def send_file(app, path):
    """File Transfer, Transmit, `path`: the job starts."""
    choose_direction(app, TRANSMIT_RADIO)
    fill_file_dialog(app, OPEN_TITLE, path)


def receive_file(app, path):
    """File Transfer, Receive, `path`, answering Yes to every question the
    save dialog asks; returns the File Receive dialog and the questions."""
    choose_direction(app, RECEIVE_RADIO)
    fill_file_dialog(app, SAVE_TITLE, path)
    questions = []

    def progressed():
        for d in app.dialogs():
            if d["caption"] == RECEIVE_TITLE and not d["msgbox"]:
                return d
            if d["msgbox"] and IDYES in d["buttons"]:
                questions.append(d["text"])
                app.dismiss(d, IDYES)
        return None

    return wait_until(progressed, 10, "the File Receive dialog")["hwnd"], questions


def hook_events(app, kind=None, ctl=None):
    """Everything the transfer hook logged since `txwatch`, as
    (kind, control id, value, tick) tuples, optionally filtered."""
    events, start = [], 0
    while True:
        answer = app.call("txlog", start)
        events.extend(tuple(e) for e in answer["events"])
        start = answer["end"]
        if start >= answer["count"]:
            break
    return [e for e in events if (kind is None or e[0] == kind) and (ctl is None or e[1] == ctl)]


def values(events):
    return [e[2] for e in events]


def cpu_share(app, seconds):
    """Share of one core that the app used over `seconds`."""
    cpu, at = app.cpu_seconds(), time.monotonic()
    time.sleep(seconds)
    return (app.cpu_seconds() - cpu) / (time.monotonic() - at)


def random_file(directory, name, size):
    """A file of `size` random bytes that the app may read; returns (path,
    bytes)."""
    data = os.urandom(size)
    path = os.path.join(directory, name)
    if os.path.exists(path):
        os.remove(path)
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, 0o644)
    return path, data


class Recorder(threading.Thread):
    """Reads the far end of a cable in the background and keeps every chunk
    with the time it was read."""

    def __init__(self, peer):
        super().__init__(daemon=True)
        self.peer = peer
        self.chunks = []
        self.lock = threading.Lock()
        self.halt = threading.Event()
        self.start()

    def run(self):
        while not self.halt.is_set():
            try:
                ready = select.select([self.peer.fd], [], [], 0.05)[0]
            except (OSError, ValueError):
                return
            if ready:
                try:
                    data = os.read(self.peer.fd, 65536)
                except OSError:
                    return
                with self.lock:
                    self.chunks.append((time.monotonic(), data))

    def data(self):
        with self.lock:
            return b"".join(d for _, d in self.chunks)

    def size(self):
        with self.lock:
            return sum(len(d) for _, d in self.chunks)

    def first_time(self):
        with self.lock:
            return self.chunks[0][0] if self.chunks else None

    def last_time(self):
        with self.lock:
            return self.chunks[-1][0] if self.chunks else None

    def arrivals(self, packet):
        """Time at which each whole `packet` had arrived, in order."""
        times, total = [], 0
        with self.lock:
            for at, data in self.chunks:
                total += len(data)
                while (len(times) + 1) * len(packet) <= total:
                    times.append(at)
        return times

    def stop(self):
        self.halt.set()
        self.join(2)


def packets_of(data, packet):
    """How many times `packet` repeats to make `data` exactly, or None."""
    count, rest = divmod(len(data), len(packet))
    return count if rest == 0 and data == packet * count else None


def only_digits(text):
    return int(text) if re.fullmatch(r"\d+", text) else None
