"""Adapters that come and go, with COM Set's two choices on: the port list
marks the ports that exist, the summary says when the driver set another
line than asked, and a lost port is reopened when its device returns."""

import re
import time
import unittest

from harness import INF033, MAIN_PORT, RELAID_PORT, LOST_DEVICE, App, Peer, Streamer, wait_until
from harness_settings import snapshot
from test_lifecycle import settled_counts, wait_counts

import zrig

PORT_CHECK, REOPEN = 1066, 1067


def set_choice(app, dlg, ctl, on):
    if app.control(dlg, ctl)["check"] != on:
        app.call("click", dlg, ctl)
        wait_until(lambda: app.control(dlg, ctl)["check"] == on, 5, "choice %d to become %d" % (ctl, on))


def wait_summary(app, text, timeout=5):
    wait_until(lambda: app.summary() == text, timeout, "summary %r (seen %r)" % (text, app.summary()))


def com_set(app, command=40009, port=None, baud=None, user_rate=None, **choices):
    """COM Set (or COM Open: 40007) with the given choices, OK."""
    dlg = app.open_com_set(command)["hwnd"]
    for ctl, on in choices.items():
        set_choice(app, dlg, {"check": PORT_CHECK, "reopen": REOPEN}[ctl], on)
    if port is not None:
        app.call("select", dlg, 1020, int(port[3:]) - 1)
    if baud is not None:
        app.call("select", dlg, 1021, baud)
    if user_rate is not None:
        app.call("click", dlg, 1025)
        user = app.wait_dialog("User Baudrate Seting")["hwnd"]
        app.call("settext", user, 1029, user_rate)
        app.call("press", user, 1)
        app.wait_no_dialog("User Baudrate Seting")
    app.call("press", dlg, 1)
    app.wait_no_dialog("COM Set")


class PresentPortsTest(unittest.TestCase):

    def test_present_ports_are_marked_in_place(self):
        app = App()
        try:
            dlg = app.open_com_set()["hwnd"]
            plain = ["COM%d" % n for n in range(1, 257)]
            self.assertEqual(app.call("combo", dlg, 1020, "items")["items"], plain)
            set_choice(app, dlg, PORT_CHECK, 1)
            present = set(app.suite.rig.mapping)  # Wine lists every port it maps
            marked = [p + " (present)" if p in present else p for p in plain]
            self.assertEqual(app.call("combo", dlg, 1020, "items")["items"], marked)
            app.call("select", dlg, 1020, int(MAIN_PORT[3:]) - 1)
            snapshot(app, "com-set-present.png", dlg)
            app.call("press", dlg, 1)
            app.wait_open(MAIN_PORT)
            # The choice is kept and the open port shows with its mark.
            dlg = app.open_com_set(40009)["hwnd"]
            self.assertEqual(app.control(dlg, PORT_CHECK)["check"], 1)
            self.assertEqual(app.control(dlg, 1020)["text"], MAIN_PORT + " (present)")
            app.call("press", dlg, 2)
            app.wait_no_dialog("COM Set")
        finally:
            app.quit()


class RateSetTest(unittest.TestCase):

    def test_summary_names_the_rate_the_driver_set(self):
        app = App()
        cable = app.suite.cables[MAIN_PORT]
        # Wine sets a pty to 38400 for any rate termios does not know.
        cases = [
            (dict(command=40007, port=MAIN_PORT, baud=26, user_rate="250000", check=1),
             "COM5, 250000 asked, 38400 set, 8, None, 1", 38400),
            (dict(baud=15), "COM5, 115200, 8, None, 1", 115200),
            (dict(baud=26, user_rate="14400"), "COM5, 14400 asked, 38400 set, 8, None, 1", 38400),
            (dict(check=0), "COM5, 14400, 8, None, 1", 38400),
        ]
        try:
            for choices, summary, pty_rate in cases:
                com_set(app, **choices)
                wait_summary(app, summary)
                self.assertEqual(zrig.tcgetattr_speed(cable.app_path), pty_rate)
                self.assertEqual(app.message_boxes(), [])
        finally:
            app.quit()


class ReopenTest(unittest.TestCase):

    def cut(self, app, cable):
        cable.kill()
        app.dismiss(app.wait_message_box(LOST_DEVICE.pattern, timeout=5))
        wait_summary(app, RELAID_PORT + ": waiting for the device")

    def test_lost_port_reopens_with_its_settings(self):
        app = App()
        rig = app.suite.rig
        cable = app.suite.cables[RELAID_PORT]
        try:
            com_set(app, 40007, port="COM9")  # Wine keeps a few handles after the first box
            app.dismiss(app.wait_message_box("Port Error"))
            com_set(app, 40007, port=RELAID_PORT, baud=14, reopen=1)
            app.wait_open(RELAID_PORT)
            app.call("click", "sb", 1012)  # DTR off; RTS stays on
            wait_until(lambda: cable.far_lines()["dsr"] is False, 5, "DTR to drop")
            streamer = Streamer(Peer(cable), b"streaming text " * 4000, chunk=64, pause=0.01)
            streamer.start()
            wait_until(lambda: "streaming" in app.terminal(), 5, "the stream")
            self.assertEqual(app.menu(40008)["grayed"], False)
            self.cut(app, cable)
            streamer.stop.set()
            streamer.join()
            streamer.peer.close()
            self.assertIn("streaming text", app.terminal(), "the text before the loss is kept")
            snapshot(app, "main-waiting.png", "main")
            self.assertEqual(app.menu(40008)["grayed"], False)
            time.sleep(3)
            cable = rig.lay_again(cable)
            wait_summary(app, RELAID_PORT + ", 57600, 8, None, 1")
            wait_until(lambda: zrig.tcgetattr_speed(cable.app_path) == 57600, 5, "the pty at 57600")
            self.assertEqual(cable.far_lines(), {"dsr": False, "cts": True, "dcd": False, "ri": False})
            peer = Peer(cable)
            peer.write(b"back again")
            wait_until(lambda: "back again" in app.terminal(), 5, "text after the reopening")
            self.assertIn("streaming text", app.terminal(), "the text before the loss is kept")
            self.assertEqual(app.message_boxes(), [])
            # A second loss and return, counted in the same state (text
            # received), leaves no handle or thread behind; the first one's
            # box may make Wine keep one for good.
            before = settled_counts(app)
            peer.close()
            self.cut(app, cable)
            cable = rig.lay_again(cable)
            wait_summary(app, RELAID_PORT + ", 57600, 8, None, 1")
            peer = Peer(cable)
            peer.write(b"and again")
            wait_until(lambda: "and again" in app.terminal(), 5, "text after the second reopening")
            self.assertEqual(wait_counts(app, before["handles"], before["threads"]),
                             (before["handles"], before["threads"]))
            peer.close()
            # COM Close ends a wait at once: the next cable is not opened.
            self.cut(app, cable)
            app.close_port()
            cable = rig.lay_again(cable)
            time.sleep(2.5)
            self.assertEqual(app.summary(), "")
            self.assertEqual(app.message_boxes(), [])
        finally:
            app.suite.cables[RELAID_PORT] = cable
            app.quit()

    def test_close_while_waiting_empties_either_view(self):
        """COM Close while the port waits for its device empties what the
        terminal shows, in the classic text and in the history view."""
        app = App()
        rig = app.suite.rig
        cable = app.suite.cables[RELAID_PORT]
        try:
            for history in (0, 1):
                com_set(app, 40007, port=RELAID_PORT, reopen=1)
                app.wait_open(RELAID_PORT)
                app.set_terminal_options(history=history)
                peer = Peer(cable)
                peer.write(b"last words\r\n")
                wait_until(lambda: "last words" in app.terminal(), 5, "the text before the loss")
                peer.close()
                self.cut(app, cable)
                app.close_port()
                self.assertEqual(app.terminal(), "", "history %d, view %d" % (history, app.terminal_id()))
                cable = rig.lay_again(cable)
        finally:
            app.suite.cables[RELAID_PORT] = cable
            app.quit()

    def test_device_in_a_reset_loop(self):
        """A device without control lines that goes and comes back three
        times while nobody touches the screen: one box at most, no line-event
        box after the user's own opening, the text of every session kept."""
        app = App()
        rig = app.suite.rig
        cable = app.suite.cables[RELAID_PORT]
        try:
            cable.kill()
            cable = rig.lay_again(cable, lines=False)
            com_set(app, 40007, port=RELAID_PORT, reopen=1)
            app.dismiss(app.wait_message_box(re.escape(INF033)))
            app.wait_open(RELAID_PORT)
            peer = Peer(cable)
            peer.write(b"boot 0\r\n")
            wait_until(lambda: "boot 0" in app.terminal(), 5, "the first session's text")
            before = settled_counts(app)
            for n in range(1, 4):
                peer.close()
                cable.kill()
                wait_summary(app, RELAID_PORT + ": waiting for the device")
                cable = rig.lay_again(cable, lines=False)
                app.wait_open(RELAID_PORT)
                peer = Peer(cable)
                peer.write(b"boot %d\r\n" % n)
                wait_until(lambda: "boot %d" % n in app.terminal(), 5, "text of session %d" % n)
            time.sleep(1)
            boxes = app.message_boxes()
            self.assertLessEqual(len(boxes), 1, [b["text"] for b in boxes])
            self.assertTrue(all(LOST_DEVICE.search(b["text"]) and b["text"] != INF033 for b in boxes),
                            [b["text"] for b in boxes])
            self.assertTrue(all("boot %d" % n in app.terminal() for n in range(4)), app.terminal())
            for box in boxes:
                app.dismiss(box)
            self.assertEqual(wait_counts(app, before["handles"], before["threads"]),
                             (before["handles"], before["threads"]))
            peer.close()
        finally:
            cable.kill()
            app.suite.cables[RELAID_PORT] = rig.lay_again(cable)
            app.quit()


if __name__ == "__main__":
    unittest.main()
