"""ZEVRIK as it starts: the window, the closed state, the layout, the COM Set
dialog's lists, a port that does not exist, and leaving with the port closed."""

import unittest

from harness import (App, GREY, MAIN_PORT, MANAGED_MENU, MENU_ENABLED_CLOSED, TOOLBAR_BUTTONS,
                     TOOLBAR_ENABLED_CLOSED, UNTOUCHED_MENU, rect_tuple, wait_until)

WS_OVERLAPPEDWINDOW = 0x00CF0000
WM_CLOSE = 0x0010
BAUD_TEXTS = ["50", "75", "110", "150", "300", "600", "1200", "1800", "2400", "4800", "7200",
              "9600", "19200", "38400", "57600", "115200", "128000", "230400", "256000", "460800",
              "921600", "1228800", "2457600", "3000000", "4915200", "6000000", "User define"]


def pane_rects(app):
    return {pane: rect_tuple(app.call("childrect", pane)) for pane in ("tb", "term", "sb")}


def expected_layout(width, height, toolbar_shown):
    if toolbar_shown:
        return {"tb": (2, 2, width - 4, 34), "term": (2, 38, width - 4, height - 69),
                "sb": (2, height - 29, width - 4, 27)}
    return {"tb": (2, 2, width - 4, 0), "term": (2, 2, width - 4, height - 33),
            "sb": (2, height - 29, width - 4, 27)}


class StartupTest(unittest.TestCase):
    """One app, port closed throughout; the last test closes the window."""

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.app.settle()
        cls.app.screenshot("main-closed.png")

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def assert_closed_state(self):
        app = self.app
        for command in MANAGED_MENU:
            with self.subTest(menu=command):
                self.assertEqual(app.menu(command)["grayed"], command not in MENU_ENABLED_CLOSED)
        for command in UNTOUCHED_MENU:
            with self.subTest(menu=command):
                self.assertFalse(app.menu(command)["grayed"])
        for button in TOOLBAR_BUTTONS:
            with self.subTest(button=button):
                self.assertEqual(app.control("tb", button)["enabled"], button in TOOLBAR_ENABLED_CLOSED)
        for ctl in (1016, 1017, 1018, 1019, 1012, 1013):
            with self.subTest(status_control=ctl):
                self.assertFalse(app.control("sb", ctl)["enabled"])
        self.assertEqual(app.summary(), "")
        self.assertEqual(app.terminal(), "")

    def test_01_window_is_464_by_360_centred(self):
        main = self.app.call("window", "main")
        self.assertEqual(main["caption"], "ZEVRIK")
        self.assertEqual(main["style"] & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW)
        screen = self.app.call("screen")
        rect = self.app.call("rect", "main")
        self.assertEqual((rect["w"], rect["h"]), (464, 360))
        self.assertEqual((rect["x"], rect["y"]), (screen["w"] // 2 - 232, screen["h"] // 2 - 180))

    def test_02_closed_state(self):
        self.assert_closed_state()
        self.assertTrue(self.app.menu(40019)["checked"])

    def test_03_terminal_is_grey_while_closed(self):
        self.assertEqual(self.app.pixel_of_terminal(), GREY)

    def test_04_panes_follow_the_client_size(self):
        rect = self.app.call("rect", "main")
        self.assertEqual(pane_rects(self.app), expected_layout(rect["cw"], rect["ch"], True))

    def test_05_toolbar_hidden_and_shown_restores_the_layout(self):
        app = self.app
        before = pane_rects(app)
        rect = app.call("rect", "main")
        app.command(40019)
        self.assertFalse(app.menu(40019)["checked"])
        self.assertEqual(pane_rects(app), expected_layout(rect["cw"], rect["ch"], False))
        app.command(40019)
        self.assertTrue(app.menu(40019)["checked"])
        self.assertEqual(pane_rects(app), before)

    def test_06_window_cannot_be_made_lower_than_240(self):
        app = self.app
        start = app.call("rect", "main")
        try:
            shrunk = app.call("setpos", "main", start["x"], start["y"], 464, 100)
            self.assertEqual(shrunk["h"], 240)
            client = app.call("rect", "main")
            self.assertGreater(rect_tuple(app.call("childrect", "term"))[3], 0)
            self.assertEqual(pane_rects(app), expected_layout(client["cw"], client["ch"], True))
        finally:
            restored = app.call("setpos", "main", start["x"], start["y"], 464, 360)
        self.assertEqual(restored["h"], 360)

    def test_07_com_set_lists_and_defaults(self):
        app = self.app
        dlg = app.open_com_set()["hwnd"]
        try:
            ports = app.call("combo", dlg, 1020, "items")
            self.assertEqual(ports["items"], ["COM%d" % n for n in range(1, 257)])
            self.assertEqual(ports["seltext"], "COM1")
            self.assertTrue(app.control(dlg, 1020)["enabled"])
            baud = app.call("combo", dlg, 1021, "items")
            self.assertEqual(baud["items"], BAUD_TEXTS)
            self.assertEqual(baud["seltext"], "9600")
            self.assertEqual(app.call("combo", dlg, 1022, "items")["items"], ["5", "6", "7", "8"])
            self.assertEqual(app.call("combo", dlg, 1022)["seltext"], "8")
            parity = app.call("combo", dlg, 1023, "items")
            self.assertEqual(parity["items"], ["None", "Even", "Odd", "Mark", "Space"])
            self.assertEqual(parity["seltext"], "None")
            stop = app.call("combo", dlg, 1024, "items")
            self.assertEqual(stop["items"], ["1", "1.5", "2"])
            self.assertEqual(stop["seltext"], "1")
        finally:
            app.call("press", dlg, 2)
            app.wait_no_dialog("COM Set")

    def test_08_user_rate_controls_show_only_for_user_define(self):
        app = self.app
        dlg = app.open_com_set()["hwnd"]
        try:
            self.assertFalse(app.control(dlg, 1025)["visible"])
            self.assertFalse(app.control(dlg, 1026)["visible"])
            app.call("select", dlg, 1021, 26)
            self.assertTrue(app.control(dlg, 1025)["visible"])
            self.assertEqual(app.control(dlg, 1025)["text"], "->")
            rate = app.control(dlg, 1026)
            self.assertTrue(rate["visible"])
            self.assertEqual(rate["text"], "9600")
            app.call("select", dlg, 1021, 14)
            self.assertFalse(app.control(dlg, 1025)["visible"])
            self.assertFalse(app.control(dlg, 1026)["visible"])
        finally:
            app.call("press", dlg, 2)
            app.wait_no_dialog("COM Set")
        dlg = app.open_com_set()["hwnd"]
        try:
            self.assertEqual(app.call("combo", dlg, 1021)["seltext"], "9600")
            self.assertFalse(app.control(dlg, 1025)["visible"])
        finally:
            app.call("press", dlg, 2)
            app.wait_no_dialog("COM Set")
        self.assert_closed_state()

    def test_09_unmapped_port_reports_and_stays_closed(self):
        app = self.app
        dlg = app.open_com_set()["hwnd"]
        app.call("select", dlg, 1020, 8)
        app.call("press", dlg, 1)
        box = app.wait_message_box("Port Error")
        self.assertEqual(box["text"], "Open COM9 Port Error!")
        self.assertEqual(box["caption"], "ZEVRIK")
        app.dismiss(box)
        app.settle()
        self.assertEqual(app.message_boxes(), [])
        self.assert_closed_state()
        app.open_port(MAIN_PORT)
        self.assertEqual(app.summary(), "COM5, 9600, 8, None, 1")
        app.close_port()
        self.assert_closed_state()

    def test_99_close_box_with_port_closed_exits_without_asking(self):
        app = self.app
        app.call("post", "main", WM_CLOSE, 0, 0)
        # A question would hold the program open until answered.
        wait_until(lambda: not app.alive(), 10, "the program to end")


if __name__ == "__main__":
    unittest.main()
