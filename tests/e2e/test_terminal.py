"""The open port: opening and closing, what the device sends as it shows in
the terminal, what typing sends to the device, volume and clearing."""

import time
import unittest

from harness import (MAIN_PORT, MANAGED_MENU, TOOLBAR_BUTTONS, TOOLBAR_DISABLED_OPEN,
                     WHITE, GREY, App, Peer, Streamer, wait_until)

WM_CLOSE = 0x0010
WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
OPEN_MENU_GREYED = {40001, 40007}


class OpeningTest(unittest.TestCase):
    """Opening, closing and leaving, in this order, on one app."""

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.peer = Peer(cls.app.suite.cables[MAIN_PORT])
        cls.peer.drain()
        cls.threads_closed = cls.app.process()["threads"]

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def assert_open_state(self):
        app = self.app
        self.assertEqual(app.summary(), "COM5, 9600, 8, None, 1")
        for command in MANAGED_MENU:
            with self.subTest(menu=command):
                self.assertEqual(app.menu(command)["grayed"], command in OPEN_MENU_GREYED)
        for button in TOOLBAR_BUTTONS:
            with self.subTest(button=button):
                self.assertEqual(app.control("tb", button)["enabled"], button not in TOOLBAR_DISABLED_OPEN)
        for ctl in (1016, 1017, 1018, 1019):
            with self.subTest(indicator=ctl):
                self.assertTrue(app.control("sb", ctl)["enabled"])
        self.assertEqual(app.control("tb", 1012)["check"], 1)

    def test_1_open_shows_the_open_state_without_a_message(self):
        app = self.app
        dlg = app.open_com_set()["hwnd"]
        app.call("select", dlg, 1020, 4)
        app.call("press", dlg, 1)
        app.wait_open(MAIN_PORT)
        self.peer.write(b"live")
        wait_until(lambda: app.terminal() == "live", 5, "received bytes")
        app.type_char(ord("k"))
        self.assertEqual(self.peer.read(1), b"k")
        self.assert_open_state()
        self.assertEqual(app.message_boxes(), [])
        self.assertEqual(app.pixel_of_terminal(), WHITE)
        app.screenshot("main-open.png")

    def test_2_close_empties_the_terminal_and_restores_the_closed_state(self):
        app = self.app
        self.peer.write(b"XYZ")
        wait_until(lambda: app.terminal().endswith("XYZ"), 5, "XYZ in the terminal")
        app.command(40008)
        wait_until(lambda: app.terminal() == "", 2, "the terminal to empty")
        self.assertEqual(app.summary(), "")
        for command in MANAGED_MENU:
            with self.subTest(menu=command):
                self.assertEqual(app.menu(command)["grayed"], command not in {40001, 40007})
        self.assertEqual(app.pixel_of_terminal(), GREY)
        wait_until(lambda: app.process()["threads"] == self.threads_closed, 5,
                   "the worker threads to end")
        app.type_char(ord("c"))
        app.type_char(13)
        app.settle()
        self.assertEqual(self.peer.read_quiet(), b"")

    def test_3_reopened_port_sends_only_new_keys(self):
        app = self.app
        app.open_port(MAIN_PORT)
        self.assert_open_state()
        app.type_char(ord("m"))
        self.assertEqual(self.peer.read(2, timeout=2), b"m")

    def test_4_close_box_answered_no_keeps_window_and_port(self):
        app = self.app
        app.call("post", "main", WM_SYSCOMMAND, SC_CLOSE, 0)
        box = app.wait_message_box("close")
        self.assertEqual(box["text"], "Do you want to close COM5 ?")
        self.assertEqual(box["caption"], "COM5")
        self.assertEqual(sorted(box["buttons"]), [6, 7])
        app.dismiss(box, 7)
        self.assertTrue(app.alive())
        self.assert_open_state()
        app.type_char(ord("n"))
        self.assertEqual(self.peer.read(1), b"n")

    def test_5_close_box_answered_yes_closes_the_port_and_ends(self):
        app = self.app
        app.call("post", "main", WM_CLOSE, 0, 0)
        box = app.wait_message_box("close")
        self.assertEqual((box["text"], box["caption"]), ("Do you want to close COM5 ?", "COM5"))
        app.dismiss(box, 6)
        wait_until(lambda: not app.alive(), 10, "the program to end")
        self.assertEqual(app.process()["exit_code"], 0)


class TerminalTest(unittest.TestCase):
    """One app with COM5 open; each test starts from an empty terminal, the
    default terminal options and an idle line."""

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.peer = Peer(cls.app.suite.cables[MAIN_PORT])
        cls.peer.drain()
        cls.app.open_port(MAIN_PORT)

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def setUp(self):
        self.peer.drain()
        self.app.clear_terminal()
        self.restore_options = False

    def options(self, **choices):
        if not self.restore_options:
            self.restore_options = True
            self.addCleanup(self.app.set_terminal_options, keyboard=1, echo=0, enter=0, hex=0, cr=2, lf=2)
        self.app.set_terminal_options(**choices)

    def press_re(self):
        if self.app.control("tb", 1012)["check"] == 0:
            self.app.call("click", "tb", 1012)

    def shows(self, expected, timeout=5):
        wait_until(lambda: self.app.terminal() == expected, timeout,
                   "terminal text %r (it shows %r)" % (expected, self.app.terminal()))

    def received(self, data, expected):
        self.peer.write(data)
        self.shows(expected)

    # --- receiving -------------------------------------------------------

    def test_received_bytes_show_as_text(self):
        self.received(b"\x41\x0d\x0a\x42", "A\r\nB")

    def test_zero_byte_is_invisible(self):
        self.received(b"X\x00Y", "XY")

    def test_hex_button_turns_the_next_bytes_into_hex(self):
        app = self.app
        self.received(b"A\r\nB", "A\r\nB")
        app.call("click", "tb", 1011)
        self.addCleanup(app.call, "click", "tb", 1010)
        wait_until(lambda: app.control("tb", 1011)["check"] == 1, 5, "HEX to be chosen")
        self.assertEqual(app.control("tb", 1010)["check"], 0)
        self.received(b"\x41\x0d\x0a\x42", "A\r\nB41 0D 0A 42 ")
        self.received(b"\x00\x0d\xff", "A\r\nB41 0D 0A 42 00 0D FF ")
        app.call("click", "tb", 1010)
        wait_until(lambda: app.control("tb", 1010)["check"] == 1, 5, "ASCII to be chosen")
        self.received(b"C", "A\r\nB41 0D 0A 42 00 0D FF C")

    def test_cr_translations(self):
        for value, shown in ((0, "A\r\nB"), (1, "A\nB"), (2, "A\rB")):
            with self.subTest(cr=value):
                self.options(cr=value, lf=2)
                self.app.clear_terminal()
                self.received(b"A\rB", shown)

    def test_lf_translations(self):
        for value, shown in ((0, "A\r\nB"), (1, "A\rB"), (2, "A\nB")):
            with self.subTest(lf=value):
                self.options(cr=2, lf=value)
                self.app.clear_terminal()
                self.received(b"A\nB", shown)

    def test_cr_lf_both_translated_to_cr_lf(self):
        self.options(cr=0, lf=0)
        self.received(b"A\r\nB", "A\r\n\r\nB")

    def test_hex_display_ignores_translations(self):
        self.options(cr=0, lf=0, hex=1)
        self.assertEqual(self.app.control("tb", 1011)["check"], 1)
        self.received(b"A\r\nB", "41 0D 0A 42 ")

    def test_re_off_hides_received_bytes_but_not_the_echo(self):
        app = self.app
        self.options(echo=1)
        app.call("click", "tb", 1012)
        self.addCleanup(self.press_re)
        wait_until(lambda: app.control("tb", 1012)["check"] == 0, 5, "RE to be released")
        self.peer.write(b"HIDDEN")
        time.sleep(1.0)
        app.settle()
        self.assertEqual(app.terminal(), "")
        app.type_char(ord("e"))
        self.assertEqual(self.peer.read(1), b"e")
        self.shows("e")
        self.press_re()
        wait_until(lambda: app.control("tb", 1012)["check"] == 1, 5, "RE to be pressed")
        self.received(b"SEEN", "eSEEN")

    # --- typing ----------------------------------------------------------

    def test_keys_reach_the_device_from_the_window_and_the_pane(self):
        app = self.app
        for target, code, sent in (("main", ord("a"), b"a"), ("term", ord("b"), b"b"),
                                   ("main", 13, b"\r\n"), ("term", 13, b"\r\n"),
                                   ("term", 8, b"\x08"), ("main", 9, b"\t")):
            with self.subTest(target=target, code=code):
                app.type_char(code, target)
                self.assertEqual(self.peer.read(len(sent) + 1, timeout=1.0), sent)
        self.assertEqual(app.terminal(), "")

    def test_enter_sends_what_the_option_says(self):
        for value, sent in ((1, b"\r"), (2, b"\n"), (0, b"\r\n")):
            with self.subTest(enter=value):
                self.options(enter=value)
                self.app.type_char(13)
                self.assertEqual(self.peer.read(3, timeout=1.0), sent)

    def test_disabled_keyboard_sends_nothing(self):
        app = self.app
        self.options(keyboard=0)
        app.type_char(ord("q"))
        app.type_char(13)
        app.settle()
        app.set_terminal_options(keyboard=1)
        app.type_char(ord("r"))
        self.assertEqual(self.peer.read(3, timeout=1.0), b"r")

    def test_local_echo_in_hex(self):
        self.options(echo=1, hex=1)
        self.app.type_char(ord("A"))
        self.shows("41 ")
        self.app.type_char(13)
        self.shows("41 0D 0A ")
        self.assertEqual(self.peer.read(4, timeout=1.0), b"A\r\n")

    def test_quick_keys_are_each_echoed_once(self):
        self.options(echo=1)
        keys = "quick brown fox 0123456789"
        for ch in keys:
            self.app.type_char(ord(ch))
        self.assertEqual(self.peer.read(len(keys) + 1, timeout=3.0), keys.encode())
        self.shows(keys)
        time.sleep(0.5)
        self.assertEqual(self.app.terminal(), keys)

    # --- volume and clearing --------------------------------------------

    def test_one_mebibyte_stream(self):
        app = self.app
        data = b"".join(b"%014d\r\n" % n for n in range(65536))
        self.assertEqual(len(data), 1 << 20)
        # Paced to at least 2.5 s, so that a fast build is still sampled
        # enough times on the way.
        streamer = Streamer(self.peer, data, chunk=4096, pause=0.01)
        lengths, late_pings, broken = [], [], []
        streamer.start()
        deadline = time.monotonic() + 180
        text = ""
        while time.monotonic() < deadline:
            text = app.terminal()
            lengths.append(len(text))
            if data.find(text.encode("latin-1")) < 0:
                broken.append(text)
            ping = app.call("ping", 200)
            if not ping["answered"] or ping["us"] > 200000:
                late_pings.append(ping)
            if not streamer.is_alive() and data.endswith(text.encode("latin-1")) and len(text) >= 1987:
                break
            # Samples come close together to catch the text many times on
            # its way.
            time.sleep(0.02)
        streamer.join(5)
        self.assertFalse(streamer.is_alive(), "the device could not send its data")
        self.assertGreaterEqual(len(lengths), 20, "too few samples to judge")
        self.assertLessEqual(max(lengths), 2047)
        self.assertEqual(late_pings, [])
        self.assertEqual(broken[:1], [], "a sample was not a contiguous piece of the stream")
        self.assertTrue(data.endswith(text.encode("latin-1")), "the terminal does not end with the last bytes")
        self.assertGreaterEqual(len(text), 1987)

    def test_clear_screen_while_streaming(self):
        app = self.app
        self.received(b"a" * 1500, "a" * 1500)
        streamer = Streamer(self.peer, b"b" * 2000, chunk=8, pause=0.02)
        streamer.start()
        time.sleep(0.5)
        app.command(40022)
        asked = time.monotonic()
        wait_until(lambda: "a" not in app.terminal(), 2, "the old text to go", interval=0.01)
        took = time.monotonic() - asked
        self.assertLessEqual(took, 0.5)
        streamer.stop.set()
        streamer.join(10)
        self.peer.write(b"MARK")
        wait_until(lambda: app.terminal().endswith("MARK"), 5, "bytes after the clear")
        self.assertEqual(app.terminal().strip("b"), "MARK")


if __name__ == "__main__":
    unittest.main()
