"""The control lines over a virtual null-modem cable: the indicators follow
the far end's DTR, RTS and ring, ZEVRIK's DTR and RTS reach the far end, the
DTR/RTS control and the Flow Control presets drive them, a cut cable is
reported once, a port without lines still works after its one INF033, a
wait that fails alone leaves the report of a later cut to the others, and
`make run`'s loopback plug lights the port's own lines."""

import errno
import time
import unittest

from harness import INF033, LOST_DEVICE, PLAIN_PORT, App, Peer, suite, wait_until
from test_lifecycle import cpu_share

# Cables of this class only: their app ends have never been opened, so
# whatever their lines show was driven by this class's openings.
LINES_PORT = "COM3"
CUT_PORT = "COM2"
WAIT_FAIL_PORT = "COM14"
# As `make run` lays it: a loopback cable with a loopback plug.
PLUG_PORT = "COM1"
FLOW = "Flow Control Settings"
DTR_BUTTON, RTS_BUTTON = 1012, 1013
DTR_LIST, RTS_LIST = 1038, 1039
ALL_ON = {"dsr": True, "cts": True, "ri": False, "dcd": True}
ALL_OFF = {"dsr": False, "cts": False, "ri": False, "dcd": False}


class LinesTest(unittest.TestCase):
    """In order, on one app: each test leaves the port open on LINES_PORT
    with the far end's DTR and RTS on."""

    @classmethod
    def setUpClass(cls):
        rig = suite().rig
        cls.cable = rig.add_cable(LINES_PORT)
        cls.cut = rig.add_cable(CUT_PORT)
        cls.wait_fail = rig.add_cable(WAIT_FAIL_PORT)
        rig.add_loopback(PLUG_PORT)
        rig.map_ports()
        cls.app = App()

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def far_sees(self, timeout=5, **lines):
        """Waits until the far end sees the given lines."""
        wait_until(lambda: all(self.cable.far_lines()[k] == v for k, v in lines.items()), timeout,
                   "the far end to see %r (it sees %r)" % (lines, self.cable.far_lines()))

    def assert_no_box(self):
        time.sleep(1)
        self.assertEqual(self.app.message_boxes(), [])

    def flow(self, dtr=None, rts=None, preset=None):
        """Flow Control: a preset button and/or DTR and RTS list positions; OK."""
        app = self.app
        app.call("postcommand", "main", 40011)
        dlg = app.wait_dialog(FLOW)["hwnd"]
        if preset is not None:
            app.call("command", dlg, preset)
        for ctl, pos in ((DTR_LIST, dtr), (RTS_LIST, rts)):
            if pos is not None:
                app.call("select", dlg, ctl, pos)
        app.call("press", dlg, 1)
        app.wait_no_dialog(FLOW)
        app.settle()

    def buttons(self):
        return tuple((self.app.control("sb", b)["enabled"], self.app.control("sb", b)["check"])
                     for b in (DTR_BUTTON, RTS_BUTTON))

    def test_1_opening_shows_the_far_end_and_raises_dtr_and_rts(self):
        app = self.app
        self.assertEqual(self.cable.far_lines(), {"dsr": False, "cts": False, "dcd": False, "ri": False})
        app.open_port(LINES_PORT)
        app.wait_indicators(**ALL_ON)
        self.far_sees(dsr=True, dcd=True, cts=True)
        self.assert_no_box()
        app.screenshot("lines-open.png")
        app.close_port()
        self.cable.set_lines(dtr=False, rts=False)
        app.open_port(LINES_PORT)
        app.wait_indicators(**ALL_OFF)
        self.assert_no_box()
        self.cable.set_lines(dtr=True, rts=True)
        app.wait_indicators(**ALL_ON)

    def test_2_each_indicator_follows_the_far_end(self):
        steps = ((dict(dtr=False), dict(dsr=False, dcd=False, cts=True)),
                 (dict(rts=False), dict(dsr=False, dcd=False, cts=False)),
                 (dict(ri=True), dict(ri=True, cts=False)),
                 (dict(dtr=True), dict(dsr=True, dcd=True, ri=True)),
                 (dict(ri=False), dict(ri=False, dsr=True)),
                 (dict(rts=True), ALL_ON))
        for change, shown in steps:
            with self.subTest(change=change):
                self.cable.set_lines(**change)
                self.app.wait_indicators(**shown)

    def test_3_dtr_and_rts_buttons_switch_the_far_end(self):
        app = self.app
        for button, lines in ((DTR_BUTTON, ("dsr", "dcd")), (RTS_BUTTON, ("cts",))):
            for on in (False, True):
                with self.subTest(button=button, on=on):
                    app.call("click", "sb", button)
                    self.far_sees(**{line: on for line in lines})
                    self.assertEqual(app.control("sb", button)["check"], int(on))
        self.assertEqual(self.cable.far_lines(), {"dsr": True, "cts": True, "dcd": True, "ri": False})

    def test_4_dtr_control_disable_and_enable_at_opening(self):
        app = self.app
        self.flow(dtr=0)
        self.far_sees(dsr=False, dcd=False, cts=True)
        app.close_port()
        app.open_port(LINES_PORT)
        app.wait_indicators(**ALL_ON)
        self.assertEqual(self.buttons()[0], (False, 0))
        self.far_sees(dsr=False, dcd=False, cts=True)
        self.flow(dtr=1)
        self.far_sees(dsr=True, dcd=True)
        self.assertEqual(self.buttons()[0], (True, 1))

    def test_5_flow_presets_reach_the_far_end(self):
        """After OK with the port open, starting from DTR and RTS off: a line
        under handshake is left where it was by Wine with CTS output flow
        (RTS/CTS) and for DTR (DTR/DSR); RTS handshake alone raises RTS."""
        app = self.app
        cases = (  # Flow Control choice, far end's DSR and CTS, DTR and RTS buttons enabled
            (dict(preset=1044), True, False, (True, False)),
            (dict(preset=4), False, True, (False, True)),
            (dict(preset=5), True, True, (True, True)),
            (dict(preset=6), True, True, (True, True)),
            (dict(rts=2), True, True, (True, False)))
        for choice, dsr, cts, enabled in cases:
            with self.subTest(choice=choice):
                for button in (DTR_BUTTON, RTS_BUTTON):
                    if app.control("sb", button)["enabled"] and app.control("sb", button)["check"]:
                        app.call("click", "sb", button)
                self.far_sees(dsr=False, cts=False)
                self.flow(**choice)
                self.far_sees(dsr=dsr, dcd=dsr, cts=cts)
                self.assertEqual(tuple(b[0] for b in self.buttons()), enabled)
        self.flow(preset=6)

    def test_6_cut_cable_is_reported_once_without_spinning(self):
        app = self.app
        app.close_port()
        app.open_port(CUT_PORT)
        app.wait_indicators(**ALL_ON)
        self.cut.kill()
        box = app.wait_message_box(LOST_DEVICE.pattern, timeout=5)
        self.assertLess(cpu_share(app, 3), 0.05)
        self.assertEqual([b["text"] for b in app.message_boxes()], [box["text"]], "reported once")
        app.dismiss(box)
        self.assertEqual(app.message_boxes(), [])
        app.close_port()
        app.open_port(LINES_PORT)

    def test_7_port_without_lines_reports_inf033_once_and_works(self):
        app = self.app
        app.close_port()
        peer = Peer(app.suite.cables[PLAIN_PORT])
        try:
            box = app.open_port(PLAIN_PORT)
            self.assertEqual((box["text"], box["caption"], box["buttons"]), (INF033, "ZEVRIK", [1]))
            app.wait_indicators(**ALL_OFF)
            peer.write(b"live")
            wait_until(lambda: app.terminal() == "live", 5, "received bytes after INF033")
            app.type_char(ord("k"))
            self.assertEqual(peer.read(1), b"k")
            self.assert_no_box()
        finally:
            peer.close()
            app.close_port()

    def test_8_loopback_plug_lights_its_own_lines(self):
        app = self.app
        app.open_port(PLUG_PORT)
        app.wait_indicators(**ALL_ON)
        self.assert_no_box()
        app.call("click", "sb", DTR_BUTTON)
        app.wait_indicators(dsr=False, dcd=False, cts=True)
        app.call("click", "sb", RTS_BUTTON)
        app.wait_indicators(**ALL_OFF)
        for button in (DTR_BUTTON, RTS_BUTTON):
            app.call("click", "sb", button)
        app.wait_indicators(**ALL_ON)
        app.close_port()

    def test_9_a_wait_that_fails_alone_leaves_a_later_cut_reported(self):
        app = self.app
        self.wait_fail.fail_line_reads(errno.EINVAL)
        app.open_port(WAIT_FAIL_PORT)
        box = app.wait_message_box("^INF033:")
        self.assertEqual(box["text"], "INF033:WaitCommEvent() Error! the GetLastError return 87")
        app.dismiss(box)
        self.wait_fail.kill()
        box = app.wait_message_box(LOST_DEVICE.pattern, timeout=5)
        app.dismiss(box)
        app.close_port()


if __name__ == "__main__":
    unittest.main()
