"""The settings dialogs on the open port (Flow Control, Timeouts, Terminal
Option, COM Information), the About box, and a snapshot of every dialog of
the program in <build>/screenshots."""

import os
import time
import unittest

from harness import MAIN_PORT, App, Peer, wait_until
from harness_settings import COMINFO, checks, info_lines, info_text, scratch_file, snapshot
import steps_transfer as transfer

WM_KEYDOWN = 0x0100
WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
VK_ESCAPE = 0x1B
IDOK, IDCANCEL = 1, 2

FLOW = "Flow Control Settings"
TIMEOUTS = "Timeouts Settings"
TERMOPT = "Terminal Option"
ABOUT = "About ZEVRIK"

FLOW_CHECKS = (1037, 1013, 1014, 1015, 1016, 1017)
TIMEOUT_BOXES = (1032, 1033, 1034, 1035, 1036)


def set_text(app, dlg, ctl, text):
    # An empty argument does not survive zdrive's command line; a lone zero
    # byte gives the same empty text.
    app.call("settext", dlg, ctl, text or "\0")


class OpenPortCase(unittest.TestCase):
    """One app with COM5 open at the default settings."""

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.app.open_port()

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def open(self, command, title):
        return self.app.open_dialog(command, title)["hwnd"]

    def finish(self, dlg, title, button):
        self.app.call("press", dlg, button)
        self.app.wait_no_dialog(title)
        self.assertEqual(self.app.message_boxes(), [])


class FlowControlTest(OpenPortCase):

    def state(self, dlg):
        app = self.app
        return (checks(app, dlg, FLOW_CHECKS),
                app.call("combo", dlg, 1038)["seltext"], app.call("combo", dlg, 1039)["seltext"],
                tuple(app.text(dlg, ctl) for ctl in (1040, 1041, 1042, 1043)))

    def test_1_first_opening_shows_the_defaults_and_ok_commits_them(self):
        app = self.app
        dlg = self.open(40011, FLOW)
        defaults = ((0, 0, 0, 0, 0, 0), "Enable", "Enable", ("0", "0", "11", "13"))
        self.assertEqual(self.state(dlg), defaults)
        self.assertEqual(app.call("combo", dlg, 1038, "items")["items"], ["Disable", "Enable", "Handshake"])
        self.assertEqual(app.call("combo", dlg, 1039, "items")["items"],
                         ["Disable", "Enable", "Handshake", "Toggle"])
        snapshot(app, "dialog-122-flow-control.png", dlg)
        self.finish(dlg, FLOW, IDOK)
        self.assertEqual(self.state(self.open(40011, FLOW)), defaults)
        self.finish(app.wait_dialog(FLOW)["hwnd"], FLOW, IDCANCEL)
        dcb = info_lines(info_text(app, 0))
        for line in ("fOutxCtsFlow=0 \r\n", "fDtrControl=1 \r\n", "fRtsControl=1 \r\n", "XonLim=0 \r\n",
                     "XonChar=0x11 \r\n", "XoffChar=0x13 \r\n"):
            self.assertIn(line, dcb)

    def test_2_each_preset_sets_exactly_its_row(self):
        app = self.app
        rows = {
            1044: ((1, 0, 0, 0, 0, 0), "Enable", "Handshake"),
            4: ((0, 1, 0, 0, 0, 0), "Handshake", "Enable"),
            5: ((0, 0, 0, 1, 1, 0), "Enable", "Enable"),
            6: ((0, 0, 0, 0, 0, 0), "Enable", "Enable"),
        }
        for button, row in rows.items():
            with self.subTest(preset=button):
                dlg = self.open(40011, FLOW)
                try:
                    # Start from the opposite of the row, with typed limits
                    # and characters that the preset must put back.
                    for ctl, want in zip(FLOW_CHECKS, row[0]):
                        if want == 0:
                            app.call("click", dlg, ctl)
                            wait_until(lambda: app.control(dlg, ctl)["check"] == 1, 5, "box %d" % ctl)
                    app.call("select", dlg, 1038, 0)
                    app.call("select", dlg, 1039, 3)
                    for ctl, text in ((1040, "500"), (1041, "600"), (1042, "AA"), (1043, "BB")):
                        set_text(app, dlg, ctl, text)
                    app.call("command", dlg, button)
                    self.assertEqual(self.state(dlg), row + (("0", "0", "11", "13"),))
                finally:
                    self.finish(dlg, FLOW, IDCANCEL)

    def xon_error_case(self, xon, xoff, message):
        app = self.app
        dlg = self.open(40011, FLOW)
        try:
            set_text(app, dlg, 1042, xon)
            set_text(app, dlg, 1043, xoff)
            app.call("press", dlg, IDOK)
            box = app.wait_message_box(".")
            self.assertEqual((box["text"], box["caption"]), (message, "COM5"))
            if xon == "G1":
                snapshot(app, "flow-control-xon-error.png", box["hwnd"])
            app.dismiss(box)
            app.settle()
            self.assertEqual(app.message_boxes(), [], "one message only")
            self.assertEqual(app.text(dlg, 1042), xon, "the entries stay")
            return dlg
        except BaseException:
            self.finish(dlg, FLOW, IDCANCEL)
            raise

    def test_3_bad_xon_characters_keep_the_dialog_open(self):
        for text in ("1", "", "1122", "G1"):
            with self.subTest(xon=text):
                dlg = self.xon_error_case(text, "13", "Xon Char Input Error!")
                self.finish(dlg, FLOW, IDCANCEL)

    def test_4_both_characters_bad_shows_the_xon_message_first(self):
        app = self.app
        dlg = self.xon_error_case("zz", "zz", "Xon Char Input Error!")
        set_text(app, dlg, 1042, "11")
        app.call("press", dlg, IDOK)
        box = app.wait_message_box(".")
        self.assertEqual((box["text"], box["caption"]), ("Xoff Char Input Error!", "COM5"))
        app.dismiss(box)
        self.finish(dlg, FLOW, IDCANCEL)

    def test_5_blanks_around_1b_give_0x1b_and_a_large_limit_is_cut_to_16_bits(self):
        app = self.app
        dlg = self.open(40011, FLOW)
        set_text(app, dlg, 1042, " 1b ")
        set_text(app, dlg, 1040, "70000")
        self.finish(dlg, FLOW, IDOK)
        dlg = self.open(40011, FLOW)
        self.assertEqual((app.text(dlg, 1040), app.text(dlg, 1042)), ("70000", "1B"))
        self.finish(dlg, FLOW, IDCANCEL)
        dcb = info_lines(info_text(app, 0))
        self.assertIn("XonLim=4464 \r\n", dcb)
        self.assertIn("XonChar=0x1B \r\n", dcb)

    def test_6_dtr_handshake_disables_the_dtr_button(self):
        app = self.app
        self.assertTrue(app.control("sb", 1012)["enabled"])
        dlg = self.open(40011, FLOW)
        app.call("select", dlg, 1038, 2)
        self.finish(dlg, FLOW, IDOK)
        wait_until(lambda: not app.control("sb", 1012)["enabled"], 5, "the DTR button to be disabled")
        self.assertTrue(app.control("sb", 1013)["enabled"])
        self.assertIn("fDtrControl=2 \r\n", info_lines(info_text(app, 0)))
        dlg = self.open(40011, FLOW)
        app.call("select", dlg, 1038, 1)
        self.finish(dlg, FLOW, IDOK)
        wait_until(lambda: app.control("sb", 1012)["enabled"], 5, "the DTR button to be enabled")
        self.assertEqual(app.control("sb", 1012)["check"], 1)

    def test_7_default_then_cancel_changes_nothing(self):
        app = self.app
        dlg = self.open(40011, FLOW)
        app.call("command", dlg, 5)
        set_text(app, dlg, 1041, "77")
        self.finish(dlg, FLOW, IDOK)
        committed = ((0, 0, 0, 1, 1, 0), "Enable", "Enable", ("70000", "77", "1B", "13"))
        dlg = self.open(40011, FLOW)
        self.assertEqual(self.state(dlg), committed)
        app.call("command", dlg, 6)
        self.assertEqual(self.state(dlg), ((0, 0, 0, 0, 0, 0), "Enable", "Enable", ("0", "0", "11", "13")))
        self.finish(dlg, FLOW, IDCANCEL)
        dlg = self.open(40011, FLOW)
        self.assertEqual(self.state(dlg), committed)
        self.finish(dlg, FLOW, IDCANCEL)


class TimeoutsTest(OpenPortCase):

    def boxes(self, dlg):
        return tuple(self.app.text(dlg, ctl) for ctl in TIMEOUT_BOXES)

    def commit(self, **texts):
        """Writes the boxes (by index, "b0" to "b4") and presses OK."""
        dlg = self.open(40012, TIMEOUTS)
        for name, text in texts.items():
            set_text(self.app, dlg, TIMEOUT_BOXES[int(name[1])], text)
        self.finish(dlg, TIMEOUTS, IDOK)

    def committed(self):
        dlg = self.open(40012, TIMEOUTS)
        try:
            return self.boxes(dlg)
        finally:
            self.finish(dlg, TIMEOUTS, IDCANCEL)

    def test_1_first_opening_shows_the_defaults(self):
        dlg = self.open(40012, TIMEOUTS)
        self.assertEqual(self.boxes(dlg), ("1", "0", "0", "0", "0"))
        snapshot(self.app, "dialog-120-timeouts.png", dlg)
        self.finish(dlg, TIMEOUTS, IDCANCEL)

    def test_2_an_emptied_box_commits_0(self):
        self.commit(b0="")
        self.assertEqual(self.committed(), ("0", "0", "0", "0", "0"))
        self.assertIn("ReadIntervalTimeout=0 \r\n", info_lines(info_text(self.app, 1)))

    def test_3_the_largest_value_is_committed_and_shown_as_minus_1(self):
        self.commit(b4="4294967295")
        self.assertEqual(self.committed()[4], "4294967295")
        self.assertIn("WriteTotalTimeoutConstant=-1 \r\n", info_lines(info_text(self.app, 1)))

    def test_4_a_value_beyond_32_bits_commits_0(self):
        self.commit(b4="4294967296")
        self.assertEqual(self.committed()[4], "0")

    def test_4b_a_long_text_is_read_whole(self):
        for text, shown in (("0" * 30 + "12", "12"), (" " * 40 + "7", "7"), ("0" * 300 + "5", "0")):
            with self.subTest(length=len(text)):
                self.commit(b4=text)
                self.assertEqual(self.committed()[4], shown)

    def test_5_default_then_cancel_keeps_and_default_then_ok_commits_the_defaults(self):
        app = self.app
        self.commit(b1="5", b3="9")
        dlg = self.open(40012, TIMEOUTS)
        app.call("command", dlg, 3)
        self.assertEqual(self.boxes(dlg), ("1", "0", "0", "0", "0"))
        self.finish(dlg, TIMEOUTS, IDCANCEL)
        self.assertEqual(self.committed(), ("0", "5", "0", "9", "0"))
        dlg = self.open(40012, TIMEOUTS)
        app.call("command", dlg, 3)
        self.finish(dlg, TIMEOUTS, IDOK)
        self.assertEqual(self.committed(), ("1", "0", "0", "0", "0"))
        lines = info_lines(info_text(app, 1))
        self.assertEqual(lines, ["ReadIntervalTimeout=1 \r\n", "ReadTotalTimeoutMultiplier=0 \r\n",
                                 "ReadTotalTimeoutConstant=0 \r\n", "WriteTotalTimeoutMultiplier=0 \r\n",
                                 "WriteTotalTimeoutConstant=0 \r\n"])

    def test_6_the_largest_value_still_commits_after_one_beyond_32_bits(self):
        # Wine's GetDlgItemInt gives 0 for it once an earlier conversion overflowed.
        self.commit(b3="4294967296")
        self.commit(b0="4294967295", b3="0")
        self.assertEqual(self.committed()[0], "4294967295")
        self.assertIn("ReadIntervalTimeout=-1 \r\n", info_lines(info_text(self.app, 1)))


class TerminalOptionTest(OpenPortCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.peer = Peer(cls.app.suite.cables[MAIN_PORT])
        cls.peer.drain()

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        super().tearDownClass()

    def state(self, dlg):
        app = self.app
        return {
            "checks": checks(app, dlg, (1013, 1012, 1027, 1028)),
            "lists": tuple(app.call("combo", dlg, ctl)["seltext"] for ctl in (1020, 1021, 1022)),
            "enabled": tuple(app.control(dlg, ctl)["enabled"] for ctl in (1012, 1020, 1021, 1022)),
        }

    def click(self, dlg, ctl, check):
        self.app.call("click", dlg, ctl)
        wait_until(lambda: self.app.control(dlg, ctl)["check"] == check, 5, "control %d at %d" % (ctl, check))

    def test_1_first_opening_shows_the_defaults(self):
        dlg = self.open(40014, TERMOPT)
        self.assertEqual(self.state(dlg), {"checks": (1, 0, 1, 0), "lists": ("CR-LF", "No Changed", "No Changed"),
                                           "enabled": (True, True, True, True)})
        self.assertEqual(self.app.call("combo", dlg, 1020, "items")["items"], ["CR-LF", "CR", "LF"])
        self.assertEqual(self.app.call("combo", dlg, 1021, "items")["items"], ["CR-LF", "LF", "No Changed"])
        self.assertEqual(self.app.call("combo", dlg, 1022, "items")["items"], ["CR-LF", "CR", "No Changed"])
        snapshot(self.app, "dialog-124-terminal-option.png", dlg)
        follow = self.app.control(dlg, 1105)
        self.assertEqual((follow["check"], follow["enabled"]), (0, False), "Follow Window Size, clear and greyed")
        self.click(dlg, 1101, 1)
        wait_until(lambda: self.app.control(dlg, 1105)["enabled"], 5, "Follow Window Size enabled with Console Mode")
        self.finish(dlg, TERMOPT, IDCANCEL)

    def test_2_keyboard_off_greys_echo_and_enter_and_ok_commits_them(self):
        app = self.app
        dlg = self.open(40014, TERMOPT)
        self.click(dlg, 1012, 1)
        app.call("select", dlg, 1020, 1)
        self.click(dlg, 1013, 0)
        wait_until(lambda: self.state(dlg)["enabled"][:2] == (False, False), 5, "echo and Enter greyed")
        self.finish(dlg, TERMOPT, IDOK)
        dlg = self.open(40014, TERMOPT)
        state = self.state(dlg)
        self.assertEqual(state["checks"][:2], (0, 1))
        self.assertEqual(state["lists"][0], "CR")
        self.assertEqual(state["enabled"][:2], (False, False))
        self.click(dlg, 1013, 1)
        wait_until(lambda: self.state(dlg)["enabled"][:2] == (True, True), 5, "echo and Enter enabled")
        self.finish(dlg, TERMOPT, IDOK)

    def test_3_hex_greys_the_translations_and_moves_the_toolbar(self):
        app = self.app
        self.assertEqual((app.control("tb", 1010)["check"], app.control("tb", 1011)["check"]), (1, 0))
        dlg = self.open(40014, TERMOPT)
        app.call("select", dlg, 1021, 0)
        self.click(dlg, 1028, 1)
        wait_until(lambda: self.state(dlg)["enabled"][2:] == (False, False), 5, "translations greyed")
        self.assertEqual(self.state(dlg)["checks"][2:], (0, 1))
        self.finish(dlg, TERMOPT, IDOK)
        wait_until(lambda: (app.control("tb", 1010)["check"], app.control("tb", 1011)["check"]) == (0, 1), 5,
                   "the toolbar to show HEX")
        dlg = self.open(40014, TERMOPT)
        self.assertEqual(self.state(dlg)["lists"][1], "CR-LF", "the greyed list is committed as it stood")
        self.finish(dlg, TERMOPT, IDCANCEL)

    def test_4_local_echo_in_hex_shows_the_typed_key_in_hex(self):
        app = self.app
        app.clear_terminal()
        app.type_char(ord("A"))
        self.assertEqual(self.peer.read(1), b"A")
        wait_until(lambda: app.terminal() == "41 ", 5, "the echo in hex")

    def test_5_enter_cr_sends_one_byte(self):
        app = self.app
        self.peer.drain()
        app.type_char(13)
        self.assertEqual(self.peer.read_quiet(), b"\r")

    def test_6_default_then_cancel_changes_nothing(self):
        app = self.app
        dlg = self.open(40014, TERMOPT)
        before = self.state(dlg)
        app.call("command", dlg, 3)
        self.assertEqual(self.state(dlg), {"checks": (1, 0, 1, 0), "lists": ("CR-LF", "No Changed", "No Changed"),
                                           "enabled": (True, True, True, True)})
        self.finish(dlg, TERMOPT, IDCANCEL)
        dlg = self.open(40014, TERMOPT)
        self.assertEqual(self.state(dlg), before)
        self.finish(dlg, TERMOPT, IDCANCEL)
        self.assertEqual(app.control("tb", 1011)["check"], 1)


class ComInformationTest(OpenPortCase):

    def test_1_dcb_text_after_opening_with_the_defaults(self):
        app = self.app
        dlg = self.open(40013, COMINFO)
        combo = app.call("combo", dlg, 1030, "items")
        self.assertEqual((combo["items"], combo["sel"]), (["DCB", "COMMTIMEOUTS", "COMMPROP"], 0))
        lines = info_lines(app.text(dlg, 1031))
        snapshot(app, "dialog-123-com-information.png", dlg)
        self.finish(dlg, COMINFO, IDOK)
        self.assertEqual(len(lines), 28)
        self.assertTrue(lines[0].startswith("DCBLength="))
        for line in ("BaudRate=9600 \r\n", "ByteSize=8 \r\n", "Parity=0 \r\n", "StopBits=0 \r\n",
                     "fDtrControl=1 \r\n", "fRtsControl=1 \r\n", "XonChar=0x11 \r\n", "XoffChar=0x13 \r\n"):
            self.assertIn(line, lines)
        timeouts = info_lines(info_text(app, 1))
        self.assertEqual(timeouts[0], "ReadIntervalTimeout=1 \r\n")
        self.assertEqual([line.split("=")[1] for line in timeouts[1:]], ["0 \r\n"] * 4)
        props = info_lines(info_text(app, 2))
        self.assertEqual(len(props), 18)
        self.assertTrue(props[0].startswith("wPacketLength=") and props[-1].startswith("wcProvChar="))

    def test_2_the_choice_is_shown_first_at_the_next_opening(self):
        app = self.app
        dlg = self.open(40013, COMINFO)
        app.call("select", dlg, 1030, 2)
        self.assertTrue(app.text(dlg, 1031).startswith("wPacketLength="))
        self.finish(dlg, COMINFO, IDOK)
        dlg = self.open(40013, COMINFO)
        try:
            self.assertEqual(app.call("combo", dlg, 1030)["seltext"], "COMMPROP")
            self.assertTrue(app.text(dlg, 1031).startswith("wPacketLength="))
            app.call("select", dlg, 1030, 0)
        finally:
            # Escape ends the dialog as command 2.
            app.call("post", app.control(dlg, IDOK)["hwnd"], WM_KEYDOWN, VK_ESCAPE, 0)
            app.wait_no_dialog(COMINFO)
        self.assertEqual(app.message_boxes(), [])

    def test_3_the_texts_are_rebuilt_at_every_opening(self):
        app = self.app
        dlg = self.open(40012, TIMEOUTS)
        set_text(app, dlg, 1032, "7")
        self.finish(dlg, TIMEOUTS, IDOK)
        self.assertEqual(info_lines(info_text(app, 1))[0], "ReadIntervalTimeout=7 \r\n")


class AboutTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.app = App()

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def events(self, kind, ctl):
        return [e for e in self.app.call("uilog")["events"] if e[0] == kind and e[1] == ctl]

    def open_about(self):
        app = self.app
        app.call("uiwatch")
        dlg = app.open_dialog(40023, ABOUT)["hwnd"]
        app.call("iconnow", dlg, 1064)
        return dlg

    def assert_closes_and_stops(self, dlg, close):
        app = self.app
        close(dlg)
        app.wait_no_dialog(ABOUT)
        shown = len(self.events(1, 1064))
        time.sleep(0.8)
        self.assertEqual(len(self.events(1, 1064)), shown, "no icon change after the box closed")

    def test_1_caption_font_texts_and_animation(self):
        app = self.app
        dlg = self.open_about()
        self.assertEqual(app.text(dlg, 1059), "ZEVRIK  Ver2.00")
        for ctl in (1060, 1061, 1062, 1065, 1063):
            self.assertNotEqual(app.text(dlg, ctl), "")
        wait_until(lambda: len(self.events(1, 1064)) >= 23, 10, "two turns of the animation")
        snapshot(app, "dialog-121-about.png", dlg)
        icons = self.events(1, 1064)
        fonts = self.events(2, 1063)
        self.assert_closes_and_stops(dlg, lambda d: app.call("press", d, IDOK))
        ids = [e[2] for e in icons]
        self.assertEqual(ids[0], 102, "the box opens with the program icon")
        cycle = [142, 143, 144, 145, 146, 147, 148, 149, 150, 102]
        self.assertEqual(ids[1:21], cycle * 2)
        self.assertNotIn(141, ids)
        gaps = sorted(b[3] - a[3] for a, b in zip(icons[1:], icons[2:]))
        self.assertGreaterEqual(gaps[0], 200, gaps)
        self.assertTrue(280 <= gaps[len(gaps) // 2] <= 330, gaps)
        _, _, dpi, _, height, weight, face = fonts[-1]
        self.assertEqual((face, weight), ("Verdana", 700))
        self.assertEqual(height, -((14 * dpi + 36) // 72))
        if dpi == 96:
            self.assertEqual(height, -19)

    def test_2_escape_ends_the_box_and_its_animation(self):
        app = self.app
        dlg = self.open_about()
        wait_until(lambda: len(self.events(1, 1064)) >= 3, 5, "the animation")
        ok = app.control(dlg, IDOK)["hwnd"]
        self.assert_closes_and_stops(dlg, lambda d: app.call("post", ok, WM_KEYDOWN, VK_ESCAPE, 0))

    def test_3_close_box_ends_the_box_and_its_animation(self):
        app = self.app
        dlg = self.open_about()
        wait_until(lambda: len(self.events(1, 1064)) >= 3, 5, "the animation")
        self.assert_closes_and_stops(dlg, lambda d: app.call("post", d, WM_SYSCOMMAND, SC_CLOSE, 0))


class DialogGalleryTest(unittest.TestCase):
    """A snapshot of each dialog that the tests above do not picture."""

    @classmethod
    def setUpClass(cls):
        cls.app = App()

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def assert_centred(self, dlg, owner="main"):
        """Centred over its owner, as every dialog fits inside the screen
        when centred over the main window."""
        box, over = self.app.call("rect", dlg), self.app.call("rect", owner)
        centre = lambda r: (r["x"] + r["w"] // 2, r["y"] + r["h"] // 2)
        for got, want in zip(centre(box), centre(over)):
            self.assertLessEqual(abs(got - want), 1, "%r is not centred over %r" % (box, over))

    def test_every_other_dialog(self):
        app = self.app
        dlg = app.open_com_set()["hwnd"]
        snapshot(app, "dialog-118-com-set.png", dlg)
        self.assert_centred(dlg)
        app.call("select", dlg, 1021, 26)
        app.call("click", dlg, 1025)
        user = app.wait_dialog("User Baudrate Seting")["hwnd"]
        snapshot(app, "dialog-119-user-baudrate.png", user)
        self.assert_centred(user, dlg)
        app.call("press", user, IDCANCEL)
        app.wait_no_dialog("User Baudrate Seting")
        app.call("press", dlg, IDCANCEL)
        app.wait_no_dialog("COM Set")
        app.open_port()
        for command, title, close in ((40011, FLOW, IDCANCEL), (40012, TIMEOUTS, IDCANCEL),
                                      (40013, COMINFO, IDOK), (40014, TERMOPT, IDCANCEL),
                                      (40023, ABOUT, IDOK)):
            dlg = app.open_dialog(command, title)["hwnd"]
            self.assert_centred(dlg)
            app.call("press", dlg, close)
            app.wait_no_dialog(title)
        dlg = transfer.open_data_dialog(app)
        snapshot(app, "dialog-125-data-transfer.png", dlg)
        self.assert_centred(dlg)
        transfer.fill_data_dialog(app, dlg, interval="200")
        app.call("press", dlg, IDOK)
        info = app.wait_dialog(transfer.INFO_TITLE)["hwnd"]
        snapshot(app, "dialog-126-data-transmit-information.png", info)
        self.assert_centred(info)
        app.call("press", info, IDOK)
        app.wait_no_dialog(transfer.INFO_TITLE)
        app.call("postcommand", "main", 40015)
        dlg = app.wait_dialog(transfer.DIRECTION_TITLE)["hwnd"]
        snapshot(app, "dialog-127-file-transfer.png", dlg)
        self.assert_centred(dlg)
        app.call("press", dlg, IDCANCEL)
        app.wait_no_dialog(transfer.DIRECTION_TITLE)
        peer = Peer(app.suite.cables[MAIN_PORT])
        try:
            # The device reads nothing while the picture is taken, so the
            # job waits with its dialog up.
            path = scratch_file(app, "gallery.bin", os.urandom(256 * 1024))
            transfer.choose_direction(app, transfer.TRANSMIT_RADIO)
            chooser = app.wait_dialog(transfer.OPEN_TITLE)["hwnd"]
            snapshot(app, "dialog-transmit-file-chooser.png", chooser)
            transfer.fill_file_dialog(app, transfer.OPEN_TITLE, path)
            tx = app.wait_dialog(transfer.SEND_TITLE)["hwnd"]
            snapshot(app, "dialog-128-file-transmit.png", tx)
            self.assert_centred(tx)
            app.call("press", tx, IDCANCEL)
            app.wait_no_dialog(transfer.SEND_TITLE)
            peer.read_quiet(quiet=0.5, limit=10)
        finally:
            peer.close()
        transfer.choose_direction(app, transfer.RECEIVE_RADIO)
        chooser = app.wait_dialog(transfer.SAVE_TITLE)["hwnd"]
        snapshot(app, "dialog-receive-file-chooser.png", chooser)
        transfer.fill_file_dialog(app, transfer.SAVE_TITLE, scratch_file(app, "gallery.rx"))
        rx = app.wait_dialog(transfer.RECEIVE_TITLE)["hwnd"]
        snapshot(app, "dialog-129-file-receive.png", rx)
        self.assert_centred(rx)
        app.call("press", rx, IDOK)
        app.wait_no_dialog(transfer.RECEIVE_TITLE)

if __name__ == "__main__":
    unittest.main()
