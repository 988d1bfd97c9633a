"""The receive check and the line counters as a user sees them: a PRBS-15
data job on a loopback plug checks clean; a far end that corrupts its stream
at known places is counted exactly; line errors and breaks injected at the
port are counted in the Receive Check window and COM Information; Send Break
reaches the far end for the chosen time."""

import time
import unittest

from harness import Peer, suite, wait_until
from steps_transfer import (IDCANCEL, IDOK, INFO_TITLE, SEND_TITLE, UNTIL_BREAK_RADIO, click_radio,
                            open_data_dialog, random_file, send_file)

LOOP_PORT = "COM14"
FAR_PORT = "COM15"
CHECK_TITLE = "Receive Check"
RX_CHECK, SEND_BREAK, COM_INFO = 40024, 40025, 40013
STREAM_LIST, START, STOP, RESET, FIGURES = 1070, 1071, 1072, 1073, 1075
PRBS_RADIO, PRBS_LIST = 1008, 1009
INFO_COUNT = 1051
BREAK_BOX = 1080
CI_LINE_ERRORS = 1032
PRBS15 = 2


def prbs15(count, skip=0):
    """x^15+x^14+1 from all ones, sent inverted, least significant bit first."""
    state, out = 0x7FFF, bytearray()
    for n in range(skip + count):
        byte = 0
        for bit in range(8):
            new = ((state >> 14) ^ (state >> 13)) & 1
            state = ((state << 1) | new) & 0x7FFF
            byte |= (new ^ 1) << bit
        if n >= skip:
            out.append(byte)
    return bytes(out)


def figures(text):
    """The window's "Name: value" lines as a dict of texts."""
    return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


class CheckWindow:
    """The Receive Check window of an app."""

    def __init__(self, app):
        self.app = app
        app.command(RX_CHECK)
        self.hwnd = app.wait_dialog(CHECK_TITLE)["hwnd"]

    def start(self, stream):
        self.app.call("select", self.hwnd, STREAM_LIST, stream)
        self.app.call("press", self.hwnd, START)

    def press(self, ctl):
        self.app.call("press", self.hwnd, ctl)

    def read(self):
        return figures(self.app.text(self.hwnd, FIGURES))

    def wait(self, what, predicate, timeout=20):
        seen = [None]

        def met():
            seen[0] = self.read()
            return predicate(seen[0])
        try:
            wait_until(met, timeout, what)
        except AssertionError as e:
            raise AssertionError("%s; last seen %r" % (e, seen[0])) from None
        return seen[0]


class ReceiveCheckTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        from harness import App
        rig = suite().rig
        rig.add_loopback(LOOP_PORT)
        cls.far = rig.add_cable(FAR_PORT)
        rig.map_ports()
        cls.app = App()

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def test_1_prbs15_job_on_a_loopback_plug_checks_clean(self):
        app = self.app
        app.open_port(LOOP_PORT)
        check = CheckWindow(app)
        check.start(PRBS15)
        dlg = open_data_dialog(app)
        click_radio(app, dlg, PRBS_RADIO)
        app.call("select", dlg, PRBS_LIST, 1)
        click_radio(app, dlg, UNTIL_BREAK_RADIO)
        app.call("press", dlg, IDOK)
        info = app.wait_dialog(INFO_TITLE)["hwnd"]
        time.sleep(10)
        packets = int(app.text(info, INFO_COUNT))
        app.call("press", info, IDOK)
        app.wait_no_dialog(INFO_TITLE)
        time.sleep(1)
        check.press(STOP)
        seen = check.read()
        got = int(seen["Bytes received"])
        # Every packet came back whole and was checked, the lock included.
        self.assertGreaterEqual(got, 512 * packets, seen)
        self.assertEqual(got % 512, 0, seen)
        self.assertEqual(seen["Bytes checked"], seen["Bytes received"], seen)
        self.assertEqual((seen["Bytes in error"], seen["Bits in error"], seen["Bytes lost"],
                          seen["Bytes inserted"], seen["Re-locks"]), ("0", "0", "0", "0", "0"), seen)
        self.assertTrue(seen["Bit error ratio"].startswith("< 1/"), seen)
        app.close_port()

    def test_2_far_end_faults_are_counted_exactly(self):
        """Every 10,000th byte with one bit flipped, 3 bytes dropped once and
        2 bytes inserted once, in a stream of 100,000."""
        app = self.app
        app.open_port(FAR_PORT)
        peer = Peer(self.far)
        check = CheckWindow(app)
        check.press(RESET)
        check.start(PRBS15)
        stream = bytearray(prbs15(100000, skip=777))
        for at in range(5000, 100000, 10000):
            stream[at] ^= 0x10
        del stream[33333:33336]
        stream[66666:66666] = b"\x00\xff"
        peer.write(bytes(stream))
        want = {"Bytes received": "99999", "Bytes checked": "99997", "Bytes not checked": "0",
                "Bytes in error": "10", "Bits in error": "10", "Bytes lost": "3", "Bytes inserted": "2",
                "Re-locks": "0"}
        seen = check.wait("the stream to be checked", lambda f: f["Bytes received"] == "99999"
                          and f["Bytes checked"] == "99997")
        check.press(STOP)
        seen = check.read()
        self.assertEqual({k: seen[k] for k in want}, want, seen)
        self.assertEqual(seen["Bit error ratio"], "1.3e-5", seen)
        app.settle()
        time.sleep(0.5)
        rect = app.call("rect", check.hwnd)
        suite().screenshot("rxcheck-faults.png", rect)
        peer.close()
        app.close_port()


# A port of its own: COM16 is the suite's relaid cable, which later tests use.
LINE_PORT = "COM17"
COUNTERS = ("Framing errors", "Parity errors", "Overruns", "Buffer overflows", "Breaks",
            "Other line errors")


class LineErrorsAndBreakTest(unittest.TestCase):
    """Errors injected at the app end's port (the rig answers TIOCGICOUNT).
    Wine 8 turns frame, parity and overrun counts into EV_ERR and break counts
    into EV_BREAK, never says which error it was (ClearCommError's flags stay
    0) and reports no buffer overrun at all: the counts below are Wine's."""

    @classmethod
    def setUpClass(cls):
        from harness import App
        rig = suite().rig
        cls.cable = rig.add_cable(LINE_PORT)
        rig.map_ports()
        cls.app = App()

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def test_1_injected_errors_are_counted_per_opening(self):
        app = self.app
        app.open_port(LINE_PORT)
        check = CheckWindow(app)
        # Wine compares with the counts of when its wait was armed: a change
        # before the status worker's first wait would never be reported.
        time.sleep(1)
        # injected, then the counters in COUNTERS order
        steps = (("frame", (0, 0, 0, 0, 0, 1)), ("parity", (0, 0, 0, 0, 0, 2)),
                 ("overrun", (0, 0, 0, 0, 0, 3)), ("brk", (0, 0, 0, 0, 1, 3)),
                 ("buf_overrun", (0, 0, 0, 0, 1, 3)), ("brk", (0, 0, 0, 0, 2, 3)))
        for kind, want in steps:
            self.cable.inject_errors(**{kind: 1})
            check.wait("%s to be counted as %r" % (kind, want),
                       lambda f: tuple(int(f[k]) for k in COUNTERS) == want, timeout=5)
            time.sleep(0.5)
        app.call("postcommand", "main", COM_INFO)
        info = app.wait_dialog("COM Information")["hwnd"]
        shown = figures(app.text(info, CI_LINE_ERRORS))
        self.assertEqual(tuple(int(shown[k]) for k in COUNTERS), (0, 0, 0, 0, 2, 3), shown)
        app.call("press", info, IDOK)
        app.wait_no_dialog("COM Information")
        check.press(RESET)
        self.assertEqual([check.read()[k] for k in COUNTERS], ["0"] * 6)
        self.cable.inject_errors(frame=1)
        check.wait("a new opening to start from 0", lambda f: f["Other line errors"] == "1", timeout=5)
        app.close_port()
        app.open_port(LINE_PORT)
        check.wait("a new opening to start from 0", lambda f: f["Other line errors"] == "0", timeout=5)

    def test_2_send_break_holds_the_line_for_the_chosen_time(self):
        app = self.app
        before = self.cable.far_breaks()
        app.call("postcommand", "main", SEND_BREAK)
        dlg = app.wait_dialog("Send Break")["hwnd"]
        self.assertEqual(app.text(dlg, BREAK_BOX), "250")
        for refused in ("5", "5001"):
            app.call("settext", dlg, BREAK_BOX, refused)
            app.call("postcommand", dlg, IDOK)
            app.dismiss(app.wait_message_box("must be 10 to 5000 ms"))
        app.call("settext", dlg, BREAK_BOX, "400")
        app.call("postcommand", dlg, IDOK)
        app.wait_no_dialog("Send Break")
        after = self.cable.far_breaks()
        self.assertEqual((after["received"] - before["received"], after["sent"] - before["sent"]), (1, 1))
        self.assertTrue(400 <= after["last_ms"] < 800, after)
        self.assertEqual(app.message_boxes(), [])

    def test_3_send_break_is_refused_while_a_file_is_sent(self):
        """Nobody reads the far end, so the send stalls with its job on."""
        app = self.app
        before = self.cable.far_breaks()
        path, _ = random_file(app.suite.rig.scratch, "break-refused.bin", 4 << 20)
        send_file(app, path)
        dlg = app.wait_dialog(SEND_TITLE)["hwnd"]
        app.call("postcommand", "main", SEND_BREAK)
        app.dismiss(app.wait_message_box("A file is being sent"))
        self.assertEqual(self.cable.far_breaks(), before)
        app.call("press", dlg, IDCANCEL)
        app.wait_no_dialog(SEND_TITLE)
