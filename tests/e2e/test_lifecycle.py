"""Long runs of the port: many openings and closings leave nothing behind,
and a device that disappears is reported once and leaves no busy thread."""

import time
import unittest

from harness import LOST_DEVICE, MAIN_PORT, PULLED_PORT, UNMAPPED_PORT, App, Peer, wait_until

CYCLES = 100


def cpu_share(app, seconds):
    """Share of one core that the app used over `seconds`."""
    cpu, start = app.cpu_seconds(), time.monotonic()
    time.sleep(seconds)
    return (app.cpu_seconds() - cpu) / (time.monotonic() - start)


def wait_counts(app, handles, threads, timeout=15):
    """The app's counts once both reach the given ones, or the last seen."""
    seen = app.process()
    deadline = time.monotonic() + timeout
    while (seen["handles"], seen["threads"]) != (handles, threads) and time.monotonic() < deadline:
        time.sleep(0.2)
        seen = app.process()
    return seen["handles"], seen["threads"]


def settled_counts(app, still=1.0, timeout=10):
    """The app's process figures once its handle and thread counts have held
    still for `still` seconds: a baseline taken while a handle of the last
    opening was still in use made a later count look one short."""
    seen = app.process()
    since, deadline = time.monotonic(), time.monotonic() + timeout
    while time.monotonic() - since < still and time.monotonic() < deadline:
        time.sleep(0.2)
        now = app.process()
        if (now["handles"], now["threads"]) != (seen["handles"], seen["threads"]):
            since = time.monotonic()
        seen = now
    return seen


class OpenCloseCyclesTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.peer = Peer(cls.app.suite.cables[MAIN_PORT])

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def warm_up(self):
        """The first dialog and the first message box of a run make Wine keep
        a few handles for good; a failed opening of the unmapped port shows
        both without opening anything."""
        app = self.app
        dlg = app.open_com_set()["hwnd"]
        app.call("select", dlg, 1020, int(UNMAPPED_PORT[3:]) - 1)
        app.call("press", dlg, 1)
        app.dismiss(app.wait_message_box("Port Error"))
        time.sleep(0.5)

    def test_hundred_cycles_leave_no_handles_or_threads(self):
        app = self.app
        self.warm_up()
        start = app.process()
        self.assertGreater(start["handles"], 0, "the handle count cannot be read")
        trail = []
        for cycle in range(CYCLES):
            app.open_port(MAIN_PORT)
            if cycle == 0:
                opened = app.process()
                self.assertGreater(opened["threads"], start["threads"], "no worker threads seen")
                self.assertGreater(opened["handles"], start["handles"], "the port's handles not seen")
            app.close_port()
            if cycle % 10 == 9:
                trail.append(app.process()["handles"])
        handles, threads = wait_counts(app, start["handles"], start["threads"])
        self.assertEqual(threads, start["threads"], "threads left after %d cycles" % CYCLES)
        self.assertEqual(handles, start["handles"],
                         "handles before the first opening %d, every 10 cycles %s"
                         % (start["handles"], trail))
        app.open_port(MAIN_PORT)
        self.peer.drain()
        self.peer.write(b"still here")
        wait_until(lambda: app.terminal() == "still here", 5, "the port to work after the cycles")
        app.close_port()


class PulledCableTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.cable = cls.app.suite.cables[PULLED_PORT]

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def test_device_gone_is_reported_once_and_the_port_can_be_closed(self):
        app = self.app
        threads_closed = app.process()["threads"]
        app.open_port(PULLED_PORT)
        self.cable.kill()
        pulled = time.monotonic()
        box = app.wait_message_box(LOST_DEVICE.pattern, timeout=5)
        took = time.monotonic() - pulled
        self.assertLessEqual(took, 1.0, "the loss was reported after %.2f s" % took)
        self.assertEqual(box["caption"], "ZEVRIK")
        self.assertLess(cpu_share(app, 3), 0.05)
        app.dismiss(box)
        self.assertLess(cpu_share(app, 3), 0.05)
        self.assertEqual([b["text"] for b in app.message_boxes()], [], "reported more than once")
        app.close_port()
        self.assertEqual(app.message_boxes(), [])
        self.assertEqual(app.summary(), "")
        wait_until(lambda: app.process()["threads"] == threads_closed, 5, "the worker threads to end")


if __name__ == "__main__":
    unittest.main()
