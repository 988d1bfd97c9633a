"""The UI monkey: a seeded random walk through ZEVRIK's real windows while the
device at the far end of the cable echoes, streams, pauses or is cut.

Each step draws one action from ACTIONS among those the app's state allows
(menu commands and toolbar buttons, the dialogs with valid and invalid
input, typed keys, data jobs, file transfers, settings files, the port and
the device).  After every step the app must be alive, its main window must
answer within 1 s, and every message box up must be one the program defines;
each is answered.  Jobs and transfers are checked at the far end: a file sent
to its end arrives byte for byte, a counted job sends exactly its packets,
and nothing is sent once a job or transfer was stopped.  At the end, with the
port closed, the app's handles, threads, windows and GDI objects must be back
near their values after the warm-up's open/close, and its private bytes must
not have grown by more than a fixed amount.

The same seed draws the same actions; a failure names the seed and the last
20 actions.  A cut cable stays dead (the rig cannot re-map a port while the
app runs): the walk goes on with the next cable of its pool, as a user plugs
the device into another port.
"""

import collections
import os
import random
import re
import select
import struct
import threading
import time

import harness_settings as hs
import steps_transfer as st
from harness import UNMAPPED_PORT, wait_until

# The program's own message texts; anything else is a failure.
KNOWN_BOX = re.compile(
    r"^(INF\d{3}:.*"
    r"|Open COM\d+ Port Error!|GetCommState\(\) Error!|CreateFile\(\) Error!"
    r"|Loading csi File Success! |Xon Char Input Error!|Xoff Char Input Error!"
    r"|ASCII Box Must Input Content!|HEX Box Input String is (Too Long|illegal|Nothing)!"
    r"|Rang (Start|To) Box Input Error!|Repeat Count Box can not be 0 !"
    r"|Receive File Timeouts!|COM\d+ Tx File ok!|Do you want to close COM\d+ \?)$", re.S)
OK_BOX = re.compile(r"^COM\d+ Tx File ok!$")
DATA_INPUT_BOX = re.compile(r"^(ASCII Box|HEX Box|Rang |Repeat Count Box)")

# How far the end counts may stray from the warm-up's (see check_resources).
# Wine's file dialogs keep one registry key open for every dialog ended with
# OK (seen as one more handle of the type of the process's start-up registry
# keys per OK, with no registry call in the app), so the handle count may
# also grow by the number of such OKs.
MARGINS = {"handles": 4, "threads": 1, "windows": 2, "gdi": 12}
PRIVATE_GROWTH = 8 << 20
PING_MS = 1000
TRAIL = 20

COM_SET, FLOW, TIMEOUTS, COM_INFO = "COM Set", "Flow Control Settings", "Timeouts Settings", "COM Information"
TERM_OPT, FONT, ABOUT, USER_BAUD = "Terminal Option", "Font", "About ZEVRIK", "User Baudrate Seting"
TOOLBAR = {40007: 1004, 40008: 1005, 40009: 1006, 40022: 1007, 40015: 1008, 40016: 1009}
FLOW_BOXES = (1037, 1013, 1014, 1015, 1016, 1017)
FLOW_PRESETS = (1044, 4, 5, 6)
FLOW_DEFAULT = 6


class MonkeyFailure(AssertionError):
    pass


class Device(threading.Thread):
    """The far end: records everything it reads and, by mode, echoes it
    ("echo"), streams numbered lines ("stream") or only listens ("quiet").
    A pause neither reads nor writes for a while."""

    STREAM_CHUNK, STREAM_EVERY = 1024, 0.02

    def __init__(self, peer):
        super().__init__(daemon=True)
        self.peer = peer
        self.mode = "echo"
        self.paused_until = 0.0
        self.received = bytearray()
        self.last_read = time.monotonic()
        self.lock = threading.Lock()
        self.halt = threading.Event()
        self.line = 0
        self.start()

    def run(self):
        next_chunk = 0.0
        while not self.halt.is_set():
            now = time.monotonic()
            if now < self.paused_until:
                time.sleep(0.01)
                continue
            try:
                if select.select([self.peer.fd], [], [], 0.01)[0]:
                    self._take(os.read(self.peer.fd, 65536))
                if self.mode == "stream" and now >= next_chunk:
                    self.peer.write(self._lines())
                    next_chunk = now + self.STREAM_EVERY
            except OSError:
                return

    def _take(self, data):
        with self.lock:
            self.received += data
            self.last_read = time.monotonic()
        if self.mode == "echo":
            self.peer.write(data)

    def _lines(self):
        out = b""
        while len(out) < self.STREAM_CHUNK:
            out += b"%08d\r\n" % self.line
            self.line += 1
        return out

    def size(self):
        with self.lock:
            return len(self.received)

    def since(self, start):
        with self.lock:
            return bytes(self.received[start:])

    def pause(self, seconds):
        self.paused_until = time.monotonic() + seconds

    def write(self, data):
        self.peer.write(data)

    def quiet_size(self, quiet=0.3, timeout=10):
        """What has arrived once nothing came for `quiet` s (a pause ends first)."""
        def settled():
            now = time.monotonic()
            return now >= self.paused_until and now - self.last_read >= quiet
        wait_until(settled, timeout + max(0.0, self.paused_until - time.monotonic()),
                   "the line to go quiet", interval=0.02)
        return self.size()

    def stop(self):
        self.halt.set()
        self.join(2)
        self.peer.close()


class Walk:
    """One walk on one running app. `cables` is the pool of (COM name,
    cable) the walk may use; `scratch` a folder the app may read and write."""

    def __init__(self, app, cables, seed, scratch, peer_class, log=None):
        self.app = app
        self.pool = list(cables)
        self.seed = seed
        self.rng = random.Random(seed)
        self.scratch = scratch
        self.peer_class = peer_class
        self.log = log
        self.trail = collections.deque(maxlen=TRAIL)
        self.steps = 0
        self.counts = collections.Counter()
        self.dead = []
        self.device = self._new_device()
        self.chooser_oks = 0
        self.csi_files = []
        self.csi_current = False
        self.baseline = None

    # --- the walk --------------------------------------------------------

    def run(self, seconds):
        """Warm-up, `seconds` of random steps, then the closing checks."""
        started = time.monotonic()
        try:
            self._do("warm-up", self.warm_up)
            while time.monotonic() - started < seconds:
                self.step()
            self._do("finish", self.finish)
        except MonkeyFailure:
            raise
        except Exception as exc:  # noqa: BLE001 - every failure gets the seed and trail
            raise self.failure("%s: %s" % (type(exc).__name__, exc)) from exc
        finally:
            self.device.stop()
        return time.monotonic() - started

    def step(self):
        state = self.state()
        choices = [(name, weight) for name, weight, when, _ in ACTIONS if when(self, state)]
        name = self.rng.choices([n for n, _ in choices], [w for _, w in choices])[0]
        action = next(a for n, _, _, a in ACTIONS if n == name)
        self.steps += 1
        self.counts[name] += 1
        self._do(name, lambda: action(self, state))

    def _do(self, name, action):
        self.trail.append([name])
        try:
            action()
            self.check_alive()
            self.sweep_boxes()
        except MonkeyFailure:
            raise
        except Exception as exc:  # noqa: BLE001
            raise self.failure("%s: %s" % (type(exc).__name__, exc)) from exc
        finally:
            if self.log:
                self.log("step %d: %s" % (self.steps, " ".join(self.trail[-1])))

    def note(self, text):
        """Adds a detail to the current action in the trail."""
        self.trail[-1].append(str(text))

    def failure(self, what):
        trail = "\n".join("  " + " ".join(entry) for entry in self.trail)
        return MonkeyFailure("monkey seed %d failed at step %d: %s\nwindows up: %s\nlast %d actions:\n%s"
                             % (self.seed, self.steps, what, self.windows_up(), len(self.trail), trail))

    def windows_up(self):
        try:
            return [d.get("text", d["caption"]) for d in self.app.dialogs()]
        except Exception as exc:  # noqa: BLE001 - the app may be gone
            return "unreadable (%s)" % exc

    def expect(self, condition, what):
        if not condition:
            raise self.failure(what)

    # --- state and invariants -------------------------------------------

    def state(self):
        summary = self.app.summary()
        port = summary.split(",", 1)[0] if summary else None
        return {"port": port, "live": port == self.live_port(),
                "toolbar": self.app.control("tb", 0)["visible"]}

    def live_port(self):
        return self.pool[0][0]

    def check_alive(self):
        if not self.app.call("ping", PING_MS, timeout=10)["answered"]:
            raise self.failure("the app is gone" if not self.app.alive()
                               else "the main window did not answer within %d ms" % PING_MS)

    def sweep_boxes(self, settle=0.0):
        """Answers every message box up, and those that a worker raises
        meanwhile; each must be one the program defines."""
        if settle:
            time.sleep(settle)
        answered = set()
        deadline = time.monotonic() + 10
        while True:
            boxes = self.app.message_boxes()
            if not boxes:
                return
            self.expect(time.monotonic() < deadline, "message boxes stay up: %s" % boxes)
            for box in boxes:
                self.expect(KNOWN_BOX.match(box["text"]), "unknown message box %r" % box["text"])
                if box["hwnd"] not in answered:
                    self.note("box %r" % box["text"])
                    self.app.call("press", box["hwnd"], box["buttons"][0], check=False)
                    answered.add(box["hwnd"])
            time.sleep(0.05)

    def expect_box(self, pattern, timeout=10):
        """The message box matching `pattern`; failing, says which were up."""
        try:
            return self.app.wait_message_box(pattern, timeout)
        except AssertionError:
            raise self.failure("no message box %r; up: %s"
                               % (pattern, [b["text"] for b in self.app.message_boxes()])) from None

    def resources(self):
        info = self.app.process()
        out = {key: info[key] for key in MARGINS}
        out["private"] = self.app.private_bytes()
        return out

    def check_resources(self):
        """The end counts, polled for a while: closing threads and windows
        take a moment to go."""
        deadline = time.monotonic() + 10
        expected = dict(self.baseline, handles=self.baseline["handles"] + self.chooser_oks)
        while True:
            now = self.resources()
            over = {key: (expected[key], now[key]) for key, margin in MARGINS.items()
                    if abs(now[key] - expected[key]) > margin}
            if now["private"] - self.baseline["private"] > PRIVATE_GROWTH:
                over["private"] = (self.baseline["private"], now["private"])
            if not over or time.monotonic() > deadline:
                break
            time.sleep(0.5)
        self.end_resources = now
        self.expect(not over, "counts not back after the walk (expected, end): %s; %d file dialogs ended with OK"
                    % (over, self.chooser_oks))

    # --- device and cables -----------------------------------------------

    def _new_device(self):
        return Device(self.peer_class(self.pool[0][1]))

    def cut(self, state):
        """The device vanishes; the walk goes on with the next cable."""
        name, cable = self.pool.pop(0)
        self.note(name)
        self.device.stop()
        cable.kill()
        self.dead.append(name)
        self.device = self._new_device()
        self.note("next %s" % self.live_port())
        if state["port"] == name:
            # The loss is reported by the workers, one box per worker at most.
            self.sweep_boxes(settle=1.5)

    # --- helpers for the actions ----------------------------------------

    def command(self, command_id, state, post=True):
        """A menu command, or its toolbar button when the toolbar shows."""
        button = TOOLBAR.get(command_id)
        if button and state["toolbar"] and self.rng.random() < 0.5:
            self.note("button %d" % button)
            self.app.call("click", "tb", button)
        else:
            self.note("menu %d" % command_id)
            self.app.call("postcommand" if post else "command", "main", command_id)

    def dialog(self, command_id, title, state):
        self.command(command_id, state)
        return self.app.wait_dialog(title)["hwnd"]

    def end_dialog(self, dlg, title, button):
        self.note("press %d" % button)
        self.app.call("press", dlg, button)
        self.app.wait_no_dialog(title)

    def end_by_ok_or_escape(self, dlg, title):
        """A job's dialog ends by OK or by the Esc key, which must end it alike."""
        if self.rng.random() < 0.5:
            self.end_dialog(dlg, title, 1)
        else:
            self.note("escape")
            st.press_escape(self.app, dlg)
            self.app.wait_no_dialog(title)

    def pick_list(self, dlg, ctl):
        count = self.app.call("combo", dlg, ctl)["count"]
        if count > 0:
            index = self.rng.randrange(count)
            self.note("list %d=%d" % (ctl, index))
            self.app.call("select", dlg, ctl, index)

    def wait_port_result(self, port):
        """After a COM Set OK that opens: the port is open or a box is up."""
        wait_until(lambda: self.app.summary().startswith(port + ",") or self.app.message_boxes(), 10,
                   "%s to open or a message" % port)

    def random_bytes(self, size):
        return self.rng.randbytes(size)

    def scratch_file(self, stem, data):
        path = os.path.join(self.scratch, "monkey-%d-%d-%s" % (self.seed, self.steps, stem))
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, 0o666)
        return path

    def assert_no_sends_after(self, start):
        """Once stopped, nothing more arrives; returns what did since `start`."""
        stopped = time.monotonic()
        settled = self.device.quiet_size()
        time.sleep(0.7)
        late = self.device.since(settled)
        self.expect(not late, "%d bytes arrived %.2f s after the stop: %r; before them: %r"
                    % (len(late), self.device.last_read - stopped, late[:40],
                       self.device.since(start)[:settled - start][-40:]))
        return self.device.since(start)

    def warm_up(self):
        """Opens and closes the port and shows the dialogs whose first
        showing makes Wine keep resources for good; the counts after this
        are the walk's baseline."""
        app = self.app
        dlg = app.open_com_set()["hwnd"]
        app.call("select", dlg, 1020, int(self.live_port()[3:]) - 1)
        app.call("press", dlg, 1)
        self.wait_port_result(self.live_port())
        self.sweep_boxes(settle=0.5)
        st.choose_direction(app, st.TRANSMIT_RADIO)
        self.end_dialog(app.wait_dialog(st.OPEN_TITLE)["hwnd"], st.OPEN_TITLE, 2)
        for command_id, title in ((40006, FONT), (40003, hs.SAVE_TITLE), (40013, COM_INFO)):
            self.end_dialog(app.open_dialog(command_id, title)["hwnd"], title, 2 if title != COM_INFO else 1)
        app.close_port()
        time.sleep(1)
        self.baseline = self.resources()
        self.note(self.baseline)

    def finish(self):
        app = self.app
        self.device.mode = "quiet"
        for title in (st.INFO_TITLE, st.RECEIVE_TITLE):
            for d in app.dialogs():
                if d["caption"] == title:
                    app.call("press", d["hwnd"], 1)
        self.sweep_boxes(settle=0.3)
        self.expect(all(d["msgbox"] for d in app.dialogs()), "a dialog was left open: %s" % app.dialogs())
        if app.summary():
            app.close_port()
        self.sweep_boxes(settle=0.5)
        self.check_resources()
        self.note(self.end_resources)


# --- the actions -------------------------------------------------------------
# Each takes the walk and the state it was chosen in.

def open_port(w, state):
    app = w.app
    dlg = w.dialog(40007, COM_SET, state)
    # Never a cut cable's port: its pty number may since belong to another program.
    port = UNMAPPED_PORT if w.rng.random() < 0.1 else w.live_port()
    w.note(port)
    app.call("select", dlg, 1020, int(port[3:]) - 1)
    fiddle_line_settings(w, dlg)
    if w.rng.random() < 0.15:
        w.end_dialog(dlg, COM_SET, 2)
        return
    w.end_dialog(dlg, COM_SET, 1)
    w.wait_port_result(port)
    if port != w.live_port():
        w.expect_box(r"^Open %s Port Error!$" % port)


def fiddle_line_settings(w, dlg):
    for ctl in (1021, 1022, 1023, 1024):
        if w.rng.random() < 0.2:
            w.pick_list(dlg, ctl)
    if w.rng.random() < 0.15:
        app = w.app
        app.call("press", dlg, 1025)
        user = app.wait_dialog(USER_BAUD)["hwnd"]
        rate = w.rng.choice(["115200", "7200", "", "0", "4294967296", "300"])
        w.note("user baud %r" % rate)
        app.call("settext", user, 1029, rate or "\0")
        refuse_letters(w, user, 1029)
        w.end_dialog(user, USER_BAUD, w.rng.choice([1, 2]))


def close_port(w, state):
    w.command(40008, state, post=False)
    wait_until(lambda: w.app.summary() == "", 10, "the summary to empty")


def com_set(w, state):
    dlg = w.dialog(40009, COM_SET, state)
    fiddle_line_settings(w, dlg)
    w.end_dialog(dlg, COM_SET, w.rng.choice([1, 1, 2]))


def flow_control(w, state):
    """Random changes, the refusals of bad XON/XOFF characters, then Cancel
    or the defaults committed: flow control that the device cannot honour
    would stall the line for good."""
    app, rng = w.app, w.rng
    dlg = w.dialog(40011, FLOW, state)
    bad = {}
    for _ in range(rng.randint(1, 4)):
        kind = rng.choice(["box", "list", "preset", "char"])
        if kind == "box":
            ctl = rng.choice(FLOW_BOXES)
            w.note("click %d" % ctl)
            app.call("click", dlg, ctl)
        elif kind == "list":
            w.pick_list(dlg, rng.choice([1038, 1039]))
        elif kind == "preset":
            ctl = rng.choice(FLOW_PRESETS)
            w.note("preset %d" % ctl)
            app.call("press", dlg, ctl)
            app.settle()
            bad = {}
        else:
            ctl = rng.choice([1042, 1043])
            text = rng.choice(["11", "13", " 1b ", "", "G1", "1", "1122"])
            w.note("char %d=%r" % (ctl, text))
            app.call("settext", dlg, ctl, text or "\0")
            bad[ctl] = text.strip().upper() not in ("11", "13", "1B")
    if any(bad.values()):
        w.note("press 1")
        app.call("press", dlg, 1)
        which = "Xon" if bad.get(1042) else "Xoff"
        app.dismiss(w.expect_box(r"^%s Char Input Error!$" % which))
        w.expect(app.wait_dialog(FLOW), "the Flow Control dialog closed on a bad character")
    if rng.random() < 0.5:
        w.end_dialog(dlg, FLOW, 2)
    else:
        app.call("press", dlg, FLOW_DEFAULT)
        app.settle()
        w.end_dialog(dlg, FLOW, 1)


def timeouts(w, state):
    """Read time-outs of every useful kind; write time-outs stay off (an
    empty or overflowing box gives 0), since a write that times out ends a
    transfer."""
    app, rng = w.app, w.rng
    dlg = w.dialog(40012, TIMEOUTS, state)
    if rng.random() < 0.3:
        w.note("default")
        app.call("press", dlg, st.TIMEOUTS_DEFAULT)
    else:
        values = [rng.choice(["1", "2", "10", "50", "4294967295"]), rng.choice(["0", "1"]),
                  rng.choice(["0", "10", "100"]), rng.choice(["0", "", "4294967296"]),
                  rng.choice(["0", "", "4294967296"])]
        if values[0] == "4294967295":
            values[1:3] = ["0", "0"]
        w.note(values)
        for ctl, value in zip(st.TIMEOUT_BOXES, values):
            app.call("settext", dlg, ctl, value or "\0")
    if rng.random() < 0.3:
        refuse_letters(w, dlg, rng.choice(st.TIMEOUT_BOXES))
    w.end_dialog(dlg, TIMEOUTS, rng.choice([1, 1, 2]))


def refuse_letters(w, dlg, ctl):
    """Typed letters do not reach a digits-only box. A 0 typed after them
    is taken (and changes no value that matters here), which shows that the
    letters before it have been handled."""
    box = w.app.control(dlg, ctl)
    letters = "".join(w.rng.choice("aZ.-x ") for _ in range(3))
    w.note("type %d %r" % (ctl, letters))
    for key in letters + "0":
        w.app.type_char(ord(key), target=box["hwnd"])

    def grown():
        text = w.app.control(dlg, ctl)["text"]
        return text if len(text) > len(box["text"]) else None

    text = wait_until(grown, 5, "the 0 typed into box %d" % ctl)
    w.expect(text.isdigit() and len(text) == len(box["text"]) + 1,
             "box %d shows %r after %r was typed into %r" % (ctl, text, letters + "0", box["text"]))


def com_info(w, state):
    dlg = w.dialog(40013, COM_INFO, state)
    for _ in range(w.rng.randint(0, 3)):
        w.pick_list(dlg, 1030)
    w.end_dialog(dlg, COM_INFO, 1)


def terminal_option(w, state):
    app, rng = w.app, w.rng
    dlg = w.dialog(40014, TERM_OPT, state)
    for _ in range(rng.randint(0, 4)):
        kind = rng.choice(["keyboard", "echo", "list", "display"])
        if kind == "list":
            w.pick_list(dlg, rng.choice([1020, 1021, 1022]))
        else:
            ctl = {"keyboard": 1013, "echo": 1012, "display": rng.choice([1027, 1028])}[kind]
            w.note("click %d" % ctl)
            app.call("click", dlg, ctl)
    app.settle()
    w.end_dialog(dlg, TERM_OPT, rng.choice([1, 1, 2]))


def data_pattern(rng):
    """A pattern for the Data Transfer dialog: (fields, packet or None when
    the dialog must refuse it)."""
    kind = rng.choice(["ascii", "hex", "range"])
    if kind == "ascii":
        text = rng.choice(["", "Hello", "A", "  ", "0123456789abcdef"])
        fields, packet = {"ascii": text}, text.encode() or None
    elif kind == "hex":
        text, packet = rng.choice([("0A0B0C", b"\n\x0b\x0c"), ("41 42 43 ", b"ABC"), ("7E", b"~"),
                                   ("0A B", None), ("   ", None), ("ZZ", None)])
        fields = {"hex": text}
    else:
        start, end = rng.choice([(0x41, 0x45), (0x30, 0x39), (0x20, 0x7E), (0x00, 0xFF), (0x41, 0x40),
                                 (None, None)])
        fields = {"start": "%02X" % start if start is not None else "",
                  "to": "%02X" % end if end is not None else ""}
        packet = bytes(range(start, end + 1)) if start is not None and end >= start else None
    count = rng.choice([0, 1])
    repeat = rng.choice(["1", "3", "5", "0", ""])
    if count == 1 and repeat in ("0", ""):
        packet = None
    fields.update(pattern=kind, count=count, repeat=repeat, interval=rng.choice(["0", "1", "5", "20"]))
    return fields, packet


def data_job(w, state):
    app, rng = w.app, w.rng
    fields, packet = data_pattern(rng)
    w.note(fields)
    start = w.device.quiet_size()
    w.command(40016, state)
    dlg = app.wait_dialog(st.DATA_TITLE)["hwnd"]
    st.fill_data_dialog(app, dlg, **fields)
    if rng.random() < 0.1:
        w.end_dialog(dlg, st.DATA_TITLE, 2)
        return
    w.note("press 1")
    app.call("press", dlg, 1)
    if packet is None:
        refuse_data_job(w, dlg)
        return
    if fields["count"] == 1:
        app.wait_no_dialog(st.DATA_TITLE)
        repeat = int(fields["repeat"])
        # The information dialog closes itself after the last packet.
        wait_until(lambda: w.device.size() >= start + repeat * len(packet), 20, "the counted packets")
        app.wait_no_dialog(st.INFO_TITLE)
        sent = w.assert_no_sends_after(start)
        w.expect(sent == packet * repeat, "counted job: %d bytes for %d x %d" % (len(sent), repeat, len(packet)))
        return
    info = app.wait_dialog(st.INFO_TITLE)["hwnd"]
    time.sleep(rng.uniform(0.1, 1.0))
    w.end_by_ok_or_escape(info, st.INFO_TITLE)
    sent = w.assert_no_sends_after(start)
    w.expect(st.packets_of(sent, packet) is not None,
             "stopped job: %d bytes are not whole packets of %d" % (len(sent), len(packet)))


def refuse_data_job(w, dlg):
    """The dialog refuses: one or more of its messages, and it stays."""
    app = w.app
    seen = []
    box = w.expect_box(DATA_INPUT_BOX.pattern)
    while box:
        seen.append(box["text"])
        app.dismiss(box)
        time.sleep(0.2)
        box = next((b for b in app.message_boxes() if DATA_INPUT_BOX.match(b["text"])), None)
    w.note(seen)
    w.expect(any(d["caption"] == st.DATA_TITLE for d in app.dialogs()), "the dialog closed on bad input")
    w.expect(all(d["caption"] != st.INFO_TITLE for d in app.dialogs()), "a refused job started")
    w.end_dialog(dlg, st.DATA_TITLE, 2)


def file_send(w, state):
    app, rng = w.app, w.rng
    size = rng.choice([0, 1, 511, 512, 513, rng.randint(1, 65536)])
    data = w.random_bytes(size)
    path = w.scratch_file("tx.bin", data)
    w.note(size)
    start = w.device.quiet_size()
    if rng.random() < 0.1:
        w.note("chooser cancelled")
        st.choose_direction(app, st.TRANSMIT_RADIO)
        w.end_dialog(app.wait_dialog(st.OPEN_TITLE)["hwnd"], st.OPEN_TITLE, 2)
        return
    st.send_file(app, path)
    w.chooser_oks += 1
    if rng.random() < 0.3:
        # The transfer starts with its dialog; a short file may be done by then.
        wait_until(lambda: any(d["caption"] == st.SEND_TITLE or OK_BOX.match(d.get("text", ""))
                               for d in app.dialogs()), 10, "the File Transmit dialog")
        time.sleep(rng.uniform(0.0, 0.3))
        w.note("cancel")
        app.call("press", "dlg:" + st.SEND_TITLE, 2, check=False)
        app.wait_no_dialog(st.SEND_TITLE)
        sent = w.assert_no_sends_after(start)
        w.expect(data.startswith(sent), "cancelled send: %d bytes are not the file's start" % len(sent))
        return
    app.dismiss(w.expect_box(OK_BOX.pattern, timeout=60))
    app.wait_no_dialog(st.SEND_TITLE)
    sent = w.assert_no_sends_after(start)
    w.expect(sent == data, "file of %d bytes arrived as %d bytes%s"
             % (size, len(sent), "" if len(sent) != size else " that differ"))


def file_receive(w, state):
    app, rng = w.app, w.rng
    mode, w.device.mode = w.device.mode, "quiet"
    try:
        w.device.quiet_size()
        path = os.path.join(w.scratch, "monkey-%d-%d-rx.bin" % (w.seed, w.steps))
        dlg, _ = st.receive_file(app, path)
        w.chooser_oks += 1
        burst = w.random_bytes(rng.randint(1, 8000))
        w.note(len(burst))
        w.device.write(burst)
        try:
            wait_until(lambda: app.text(dlg, 1058) == str(len(burst)), 20, "the capture to count the burst")
        except AssertionError:
            raise w.failure("the capture counts %s of a %d-byte burst" % (app.text(dlg, 1058), len(burst)))
        w.end_by_ok_or_escape(dlg, st.RECEIVE_TITLE)
        with open(path, "rb") as f:
            got = f.read()
        w.expect(got == burst, "captured %d bytes of a %d-byte burst" % (len(got), len(burst)))
    finally:
        w.device.mode = mode


def type_keys(w, state):
    keys = [w.rng.choice([13, 10, 8, 9, 27, 0x7F, 0xE9] + list(range(0x20, 0x7F)))
            for _ in range(w.rng.randint(1, 12))]
    w.note(keys)
    for key in keys:
        w.app.type_char(key)
    w.app.settle()


def clear_screen(w, state):
    w.command(40022, state, post=False)


def copy_text(w, state):
    w.command(40005, state, post=False)


def display_buttons(w, state):
    button = w.rng.choice([1010, 1011, 1012])
    w.note(button)
    w.app.call("click", "tb", button)
    w.app.settle()


def toggle_toolbar(w, state):
    w.command(40019, state, post=False)


def font(w, state):
    dlg = w.dialog(40006, FONT, state)
    w.end_dialog(dlg, FONT, w.rng.choice([1, 2, 2]))


def about(w, state):
    w.end_dialog(w.dialog(40023, ABOUT, state), ABOUT, 1)


def save_settings(w, state):
    app, rng = w.app, w.rng
    save_as = not w.csi_current or rng.random() < 0.5
    w.command(40003 if save_as else 40002, state, post=True)
    if not save_as:
        # Without a current file Save asks for a name as Save As does.
        app.settle()
        time.sleep(0.3)
        if all(d["caption"] != hs.SAVE_TITLE for d in app.dialogs()):
            return
        w.note("asked for a name")
    dlg = app.wait_dialog(hs.SAVE_TITLE)["hwnd"]
    if rng.random() < 0.1:
        w.end_dialog(dlg, hs.SAVE_TITLE, 2)
        return
    path = os.path.join(w.scratch, "monkey-%d-%d.csi" % (w.seed, w.steps))
    app.call("settext", dlg, hs.FILE_NAME_BOX, hs.win_path(path))
    w.end_dialog(dlg, hs.SAVE_TITLE, 1)
    w.chooser_oks += 1
    wait_until(lambda: os.path.exists(path) and os.path.getsize(path) == hs.IMAGE_SIZE, 10,
               "the settings file to be written")
    w.csi_files.append(path)
    w.csi_current = True


def load_settings(w, state):
    """A saved file loads and opens its port; a damaged one is refused."""
    app, rng = w.app, w.rng
    # Only files that name the live cable's port: loading opens it.
    saved = [path for path in w.csi_files if saved_port(path) == w.live_port()]
    damaged = not saved or rng.random() < 0.3
    if damaged:
        path = w.scratch_file("bad.csi", w.random_bytes(rng.choice([0, 100, hs.IMAGE_SIZE])))
    else:
        path = rng.choice(saved)
    w.note(os.path.basename(path))
    dlg = app.open_dialog(40001, hs.OPEN_TITLE)["hwnd"]
    app.call("settext", dlg, hs.FILE_NAME_BOX, hs.win_path(path))
    w.end_dialog(dlg, hs.OPEN_TITLE, 1)
    w.chooser_oks += 1
    if damaged:
        box = w.expect_box(r"^(INF03[56]:|Loading csi File Success! $)")
        w.note("box %r" % box["text"])
        app.dismiss(box)
        return
    app.dismiss(w.expect_box(r"^Loading csi File Success! $"))
    w.csi_current = True
    wait_until(lambda: app.summary() or app.message_boxes(), 10, "the loaded port to open or a message")


def saved_port(path):
    with open(path, "rb") as f:
        image = f.read()
    offset = hs.FIELD[hs.PORT][0]
    return "COM%d" % (struct.unpack_from("<I", image, offset)[0] + 1) if len(image) == hs.IMAGE_SIZE else None


def device_mode(w, state):
    w.device.mode = w.rng.choice(["echo", "stream", "quiet"])
    w.note(w.device.mode)


def device_pause(w, state):
    seconds = round(w.rng.uniform(0.2, 1.5), 2)
    w.note(seconds)
    w.device.pause(seconds)


def cut_cable(w, state):
    w.cut(state)


def always(w, s):
    return True


def closed(w, s):
    return s["port"] is None


def open_any(w, s):
    return s["port"] is not None


def open_live(w, s):
    return s["live"]


def spare_cable(w, s):
    return len(w.pool) > 1


def toolbar_shown(w, s):
    return s["port"] is not None and s["toolbar"]


# (name, weight, when, action)
ACTIONS = (
    ("open port", 8, closed, open_port),
    ("load settings", 2, closed, load_settings),
    ("close port", 3, open_any, close_port),
    ("com set", 3, open_any, com_set),
    ("flow control", 2, open_any, flow_control),
    ("timeouts", 2, open_any, timeouts),
    ("com info", 2, open_any, com_info),
    ("terminal option", 2, open_any, terminal_option),
    ("data job", 6, open_live, data_job),
    ("file send", 4, open_live, file_send),
    ("file receive", 2, open_live, file_receive),
    ("type keys", 4, always, type_keys),
    ("clear screen", 2, open_any, clear_screen),
    ("copy", 1, open_any, copy_text),
    ("display buttons", 2, toolbar_shown, display_buttons),
    ("toolbar", 1, always, toggle_toolbar),
    ("font", 1, open_any, font),
    ("about", 1, always, about),
    ("save settings", 2, open_any, save_settings),
    ("device mode", 4, always, device_mode),
    ("device pause", 1, always, device_pause),
    ("cut cable", 1, spare_cable, cut_cable),
)
