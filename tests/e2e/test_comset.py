"""COM Set with a user-defined rate and other line settings, seen in the
summary and, where Wine passes them on, on the app's end of the cable."""

import termios
import unittest

from harness import MAIN_PORT, App, wait_until

import zrig


class UserRateTest(unittest.TestCase):
    """One app; the port is opened by the first test and stays open."""

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.cable = cls.app.suite.cables[MAIN_PORT]

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def set_user_rate(self, dlg, rate, shown_before):
        """'->' in COM Set, the rate typed into User Baudrate, OK there."""
        app = self.app
        app.call("click", dlg, 1025)
        user = app.wait_dialog("User Baudrate Seting")["hwnd"]
        self.assertEqual(app.text(user, 1029), shown_before)
        app.call("settext", user, 1029, rate)
        app.call("press", user, 1)
        app.wait_no_dialog("User Baudrate Seting")
        self.assertEqual(app.text(dlg, 1026), rate)

    def finish_com_set(self, dlg, button):
        self.app.call("press", dlg, button)
        self.app.wait_no_dialog("COM Set")

    def test_1_user_rate_reaches_the_device(self):
        app = self.app
        dlg = app.open_com_set()["hwnd"]
        app.call("select", dlg, 1020, 4)
        app.call("select", dlg, 1021, 26)
        self.set_user_rate(dlg, "57600", "9600")
        self.finish_com_set(dlg, 1)
        app.wait_open(MAIN_PORT)
        self.assertEqual(app.summary(), "COM5, 57600, 8, None, 1")
        self.assertEqual(zrig.tcgetattr_speed(self.cable.app_path), 57600)

    def test_2_user_rate_applied_to_the_open_port(self):
        app = self.app
        dlg = app.open_com_set(40009)["hwnd"]
        ports = app.control(dlg, 1020)
        self.assertFalse(ports["enabled"])
        self.assertEqual(ports["text"], "COM5")
        self.assertEqual(app.call("combo", dlg, 1021)["seltext"], "User define")
        self.assertTrue(app.control(dlg, 1025)["visible"])
        self.set_user_rate(dlg, "14400", "57600")
        self.finish_com_set(dlg, 1)
        wait_until(lambda: app.summary() == "COM5, 14400, 8, None, 1", 5, "summary with 14400")
        self.assertEqual(app.message_boxes(), [])

    def test_3_cancel_keeps_the_committed_rate(self):
        app = self.app
        dlg = app.open_com_set(40009)["hwnd"]
        self.set_user_rate(dlg, "115", "14400")
        self.finish_com_set(dlg, 2)
        dlg = app.open_com_set(40009)["hwnd"]
        try:
            self.assertEqual(app.text(dlg, 1026), "14400")
            app.call("click", dlg, 1025)
            user = app.wait_dialog("User Baudrate Seting")["hwnd"]
            app.call("settext", user, 1029, "300")
            app.call("press", user, 2)
            app.wait_no_dialog("User Baudrate Seting")
            self.assertEqual(app.text(dlg, 1026), "14400")
        finally:
            self.finish_com_set(dlg, 2)
        self.assertEqual(app.summary(), "COM5, 14400, 8, None, 1")

    def test_4_line_format_reaches_the_device(self):
        app = self.app
        dlg = app.open_com_set(40009)["hwnd"]
        app.call("select", dlg, 1021, 15)
        app.call("select", dlg, 1022, 2)
        app.call("select", dlg, 1023, 1)
        app.call("select", dlg, 1024, 2)
        self.finish_com_set(dlg, 1)
        wait_until(lambda: app.summary() == "COM5, 115200, 7, Even, 2", 5, "the new summary")
        self.assertEqual(zrig.tcgetattr_speed(self.cable.app_path), 115200)
        # A pty always keeps 8 data bits without parity; the stop bits pass.
        self.assertTrue(zrig.tcgetattr_cflag(self.cable.app_path) & termios.CSTOPB)


if __name__ == "__main__":
    unittest.main()
