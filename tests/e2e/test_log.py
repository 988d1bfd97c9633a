"""The log as a user sees it: a raw log keeps every byte of a long stream
across cleared screens, a switched view and rotations; a text log of a bash
session has every line stamped in order, typed lines marked, no escape
bytes; a cut cable and a reopening show as markers in the same file; a
folder that cannot be written or a full disk gives one message while the
terminal goes on."""

import datetime
import os
import re
import threading
import time
import unittest

from harness import (LOST_DEVICE, MAIN_PORT, RELAID_PORT, App, Peer, Shell, Streamer, suite,
                     wait_until, write_rect)
from harness_settings import snapshot, win_path
from test_ports import com_set, wait_summary
from test_rxcheck import prbs15

LOG_COMMAND, CLEAR_SCREEN = 40030, 40022
LOG_TITLE = "Log"
FORMAT, STAMP, DIRS, PAUSE, PATTERN, APPEND, ROTATE, SIZE, ON_OPENING, STATE, START, STOP = range(1141, 1153)
TEXT, HEX, RAW = 0, 1, 2
ROTATE_NEVER, ROTATE_SIZE = 0, 1
SB_LOG = 1140
ENTER = 13
# typed at the far end's bash, and what its output holds
COMMANDS = (("echo hello", "hello"), (r"printf '\033[1mbold\033[0m\n'", "bold"),
            ("ls /nonexistent-dir", "No such file or directory"))
# stamp, separator, direction, text
LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})([ +]|\* )(< |> )?(.*)$")


def now_ms():
    """The test's own clock, to the millisecond a log stamp shows."""
    now = datetime.datetime.now()
    return now.replace(microsecond=now.microsecond // 1000 * 1000)


def folder(name, mode=0o755):
    """An empty folder in the rig's scratch folder, the app's to write when
    `mode` lets its user."""
    path = os.path.join(suite().rig.scratch, name)
    os.makedirs(path, exist_ok=True)
    for entry in os.listdir(path):
        os.remove(os.path.join(path, entry))
    os.chown(path, *suite().rig.guard.owner)
    os.chmod(path, mode)
    return path


def files(path):
    return sorted(os.path.join(path, f) for f in os.listdir(path))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def log_lines(path):
    """(stamp as datetime, separator, direction, text) of each line of a text log."""
    rows = []
    for line in read(path).decode("latin-1").split("\r\n")[:-1]:
        match = LINE.match(line)
        if match is None:
            raise AssertionError("not a log line: %r" % line)
        stamp = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S.%f")
        rows.append((stamp, match.group(2)[0], (match.group(3) or "").strip(), match.group(4)))
    return rows


def received_lines(rows):
    """The received text with lines written at a pause joined to their rest."""
    lines = []
    for _, sep, way, text in rows:
        if way != "<":
            continue
        if sep == "+":
            lines[-1] += text
        else:
            lines.append(text)
    return lines


class LogWindow:
    """The Log window of an app."""

    def __init__(self, app):
        self.app = app
        app.command(LOG_COMMAND)
        self.hwnd = app.wait_dialog(LOG_TITLE)["hwnd"]

    def set(self, fmt=TEXT, dirs=0, pattern="", append=0, rotate=ROTATE_NEVER, size_kib=None, on_opening=0):
        app, hwnd = self.app, self.hwnd
        for ctl, pos in ((FORMAT, fmt), (DIRS, dirs), (APPEND, append), (ROTATE, rotate)):
            app.call("select", hwnd, ctl, pos)
        app.call("settext", hwnd, PATTERN, pattern)
        if size_kib is not None:
            app.call("settext", hwnd, SIZE, size_kib)
        if app.control(hwnd, ON_OPENING)["check"] != on_opening:
            app.call("click", hwnd, ON_OPENING)

    def press(self, ctl):
        self.app.call("press", self.hwnd, ctl)
        self.app.settle()

    def state(self):
        return self.app.text(self.hwnd, STATE)

    def wait_state(self, prefix):
        wait_until(lambda: self.state().startswith(prefix), 5, "the Log window to say %r" % prefix)


class LogTest(unittest.TestCase):

    def setUp(self):
        self.app = App()
        self.log = LogWindow(self.app)

    def tearDown(self):
        self.app.quit()

    def assert_one_box(self, match):
        """Exactly one message box comes, matching `match`; it is dismissed."""
        box = self.app.wait_message_box(match)
        time.sleep(1.5)  # a second box would come within the status bar's pace
        self.assertEqual([b["text"] for b in self.app.message_boxes()], [box["text"]])
        self.app.dismiss(box)

    def test_1_raw_log_keeps_every_byte_across_clears_views_and_rotations(self):
        app, log = self.app, self.log
        out = folder("log-raw")
        app.open_port(MAIN_PORT)
        peer = Peer(app.suite.cables[MAIN_PORT])
        log.set(fmt=RAW, pattern=win_path(out) + "\\%P-%N.bin", rotate=ROTATE_SIZE, size_kib=1024)
        log.press(START)
        log.wait_state("Logging to")
        data = (prbs15(32767) * 257)[:8 << 20]  # the sequence's period is 32767 bytes
        streamer = Streamer(peer, data, chunk=32768, pause=0.05)  # some 15 s
        streamer.start()
        wait_until(lambda: app.terminal() != "", 10, "the stream on the screen")
        app.command(CLEAR_SCREEN)
        app.set_terminal_options(console=1, history=1)
        app.command(CLEAR_SCREEN)
        app.set_terminal_options(console=0, history=0, hex=1)
        app.command(CLEAR_SCREEN)
        self.assertTrue(streamer.is_alive(), "the stream ended before the screen was cleared and switched")
        self.assertRegex(app.text("sb", SB_LOG), r"^Log [\d.]+ (bytes|KiB|MiB) COM5-\d{3}\.bin$")
        wait_until(lambda: sum(os.path.getsize(f) for f in files(out)) >= len(data), 120,
                   "the log to hold the whole stream")
        log.press(STOP)
        log.wait_state("Not logging")
        self.assertFalse(app.control("sb", SB_LOG)["visible"])
        names = files(out)
        self.assertEqual([os.path.basename(f) for f in names], ["COM5-%03d.bin" % n for n in range(1, 9)])
        self.assertEqual([os.path.getsize(f) for f in names], [1 << 20] * 8)
        joined = b"".join(read(f) for f in names)
        self.assertTrue(joined == data, "the files differ from the stream from byte %d"
                        % next((i for i, (a, b) in enumerate(zip(joined, data)) if a != b), len(data)))
        self.assertEqual(app.message_boxes(), [])
        app.close_port()
        peer.close()

    def test_2_text_log_of_a_bash_session(self):
        app, log = self.app, self.log
        out = folder("log-text")
        path = os.path.join(out, "session.log")
        shell = Shell(app.suite.cables[MAIN_PORT])
        try:
            app.set_terminal_options(console=1, history=1)
            log.set(fmt=TEXT, dirs=1, pattern=win_path(path), on_opening=1)
            log.press(2)  # Close keeps the settings; the opening starts the log
            app.wait_no_dialog(LOG_TITLE)
            began = now_ms()
            app.open_port(MAIN_PORT)
            app.type_char(ENTER)  # the prompt bash wrote before the opening is gone
            wait_until(lambda: app.terminal().endswith("$ "), 10, "the prompt")
            for command, output in COMMANDS:
                app.type_text(command)
                app.type_char(ENTER)
                wait_until(lambda: self.answered(output), 10, "%r and the prompt" % output)
            time.sleep(1.5)  # the prompt, an open line, is written after its pause
            self.assertRegex(app.text("sb", SB_LOG), r"^Log \d+ bytes session.log$")
            screen = [line.rstrip() for line in app.terminal().split("\r\n") if line.strip()]
            self.show_beside_notepad(path)
            LogWindow(app).press(STOP)
            ended = now_ms()
            app.close_port()
        finally:
            shell.close()
        self.assertNotIn(b"\x1b", read(path))
        rows = log_lines(path)
        self.assertRegex(rows[0][3], r"^log started: COM5, \d+, 8, None, 1$")
        self.assertRegex(rows[1][3], r"^port opened: COM5, ")
        self.assertEqual((rows[1][1], rows[-1][1:]), ("*", ("*", "", "log stopped")))
        received = [stamp for stamp, _, way, _ in rows if way == "<"]
        self.assertEqual(received, sorted(received), "received lines out of order")
        self.assertTrue(all(began <= stamp <= ended for stamp, _, _, _ in rows),
                        "stamps outside %s .. %s" % (began, ended))
        self.assertEqual([text for _, _, way, text in rows if way == ">"], [""] + [c for c, _ in COMMANDS])
        # Every line the screen showed was received, in the same order.
        lines = [line.rstrip() for line in received_lines(rows)]
        at = 0
        for shown in screen:
            self.assertIn(shown, lines[at:], "screen line %r missing from the log" % shown)
            at = lines.index(shown, at) + 1
        self.assertIn("bold", lines)

    def answered(self, output):
        """The line before the prompt holds `output`."""
        lines = self.app.terminal().split("\r\n")
        return len(lines) >= 2 and output in lines[-2] and lines[-1] == "$ "

    def show_beside_notepad(self, path):
        """The guide's picture: the terminal and its running log, read by Notepad
        side by side."""
        app = self.app
        app.call("setpos", "main", 0, 0, 600, 420)
        notepad = app.suite.rig.start("notepad", (win_path(path),), desktop=(app.desktop, "1024x768"))
        try:
            wait_until(lambda: app.call("window", "top:session", check=False).get("ok"), 20, "Notepad")
            app.call("setpos", "top:session", 600, 0, 424, 420)
            shot = snapshot(app, "log-beside-terminal.png", "top:session")
            write_rect(shot, {"x": 0, "y": 0, "w": 1024, "h": 420})
        finally:
            notepad.terminate()
            notepad.wait(10)

    def test_3_loss_and_reopening_are_marked_in_the_same_file(self):
        """Into a file named after a taken one, which stays as it was."""
        app, log = self.app, self.log
        rig = app.suite.rig
        cable = app.suite.cables[RELAID_PORT]
        out = folder("log-reopen")
        taken = os.path.join(out, "reopen.log")
        with open(taken, "wb") as f:
            f.write(b"an earlier log\r\n")
        log.set(fmt=TEXT, pattern=win_path(taken))  # a new file never replaces one that exists
        log.press(START)
        try:
            com_set(app, 40007, port=RELAID_PORT, reopen=1)
            app.wait_open(RELAID_PORT)
            peer = Peer(cable)
            peer.write(b"before the cut\r\n")
            wait_until(lambda: "before the cut" in app.terminal(), 5, "text before the cut")
            peer.close()
            cable.kill()
            app.dismiss(app.wait_message_box(LOST_DEVICE.pattern, timeout=5))
            wait_summary(app, RELAID_PORT + ": waiting for the device")
            cable = rig.lay_again(cable)
            app.wait_open(RELAID_PORT)
            peer = Peer(cable)
            peer.write(b"after the return\r\n")
            wait_until(lambda: "after the return" in app.terminal(), 5, "text after the return")
            peer.close()
            log.press(STOP)
            app.close_port()
        finally:
            app.suite.cables[RELAID_PORT] = cable
        self.assertEqual(files(out), [os.path.join(out, "reopen-2.log"), taken])
        self.assertEqual(read(taken), b"an earlier log\r\n")
        texts = [text for _, sep, _, text in log_lines(files(out)[0])]
        self.assertEqual([t.split(":")[0] for t in texts],
                         ["log started", "port opened", "before the cut", "port lost", "port reopened",
                          "after the return", "log stopped"])
        self.assertEqual(texts[3], "port lost: COM16")
        self.assertRegex(texts[4], r"^port reopened: COM16, \d+, 8, None, 1$")

    def test_4_unwritable_folder_and_full_disk_give_one_message(self):
        app, log = self.app, self.log
        app.open_port(MAIN_PORT)
        peer = Peer(app.suite.cables[MAIN_PORT])
        locked = folder("log-locked", 0o555)
        os.chown(locked, 0, 0)
        cases = ((win_path(locked) + "\\%P-locked.log", 0, "^The log could not create .*COM5-locked.log: "),
                 ("Z:\\dev\\full", 1, r"^The log has stopped: it could not write to Z:\\dev\\full: .*\(112\)"))
        for n, (pattern, append, message) in enumerate(cases):
            with self.subTest(pattern=pattern):
                log.set(fmt=TEXT, pattern=pattern, append=append)
                log.press(START)
                self.assert_one_box(message)
                log.wait_state("Not logging")
                self.assertFalse(app.control("sb", SB_LOG)["visible"])
                peer.write(b"still receiving %d\r\n" % n)
                wait_until(lambda: "still receiving %d" % n in app.terminal(), 5, "the terminal to go on")
        self.assertEqual(os.listdir(locked), [])
        app.close_port()
        peer.close()

    def test_5_a_disk_that_falls_behind_stops_the_log_with_all_before(self):
        """The log writes into a pipe nobody reads yet, as into a disk that
        has stalled: the terminal takes the whole stream meanwhile; read at
        last, the pipe holds the stream's start, whole, up to where the log
        could hold no more, and one message says the log stopped."""
        app, log = self.app, self.log
        pipe = os.path.join(folder("log-stalled"), "stalled.log")
        os.mkfifo(pipe)
        os.chown(pipe, *suite().rig.guard.owner)
        app.open_port(MAIN_PORT)
        peer = Peer(app.suite.cables[MAIN_PORT])
        log.set(fmt=RAW, pattern=win_path(pipe), append=1)
        log.press(START)
        log.wait_state("Logging to")
        data = b"".join(b"%014d\r\n" % n for n in range((6 << 20) // 16))
        peer.write(data)
        wait_until(lambda: app.terminal().endswith(data[-16:].decode()), 60, "the whole stream on the screen")
        self.assertEqual(app.message_boxes(), [])
        got = []
        reader = threading.Thread(target=lambda: got.append(read(pipe)), daemon=True)
        reader.start()
        self.assert_one_box(r"^The log has stopped: the disk fell more than 4 MiB behind the port\.")
        reader.join(10)
        self.assertTrue(3 << 20 < len(got[0]) < len(data) and data.startswith(got[0]),
                        "the pipe got %d bytes, a prefix: %s" % (len(got[0]), data.startswith(got[0])))
        peer.write(b"still receiving\r\n")
        wait_until(lambda: "still receiving" in app.terminal(), 5, "the terminal to go on")
        app.close_port()
        peer.close()


if __name__ == "__main__":
    unittest.main()
