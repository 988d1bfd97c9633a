"""Transfers, checked byte for byte at the far end of the cable: the Data
Transfer dialog and its checks, data jobs with their information dialog,
sending files, capturing into files, and a device that vanishes mid-way."""

import os
import time
import unittest

from harness import LOST_DEVICE, MAIN_PORT, App, Peer, Streamer, suite, wait_until
import steps_transfer as st

DEFAULT_HEX = "48 65 6C 6C 6F 20 6D 6F 52 65 6B 21 21 20 "
MIB = 1024 * 1024
# Cables of their own for the tests that kill them.
SEND_PULL_PORT = "COM7"
CAPTURE_PULL_PORT = "COM8"
STREAM_PULL_PORT = "COM15"


def open_app_on(port):
    app = App()
    peer = Peer(app.suite.cables[port])
    peer.drain()
    app.open_port(port)
    app.call("txwatch")
    return app, peer


class DataTransferDialogTest(unittest.TestCase):
    """The dialog's defaults, its seven messages and what OK commits. One
    app with COM5 open; each test leaves no dialog behind."""

    @classmethod
    def setUpClass(cls):
        cls.app, cls.peer = open_app_on(MAIN_PORT)

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def tearDown(self):
        for d in self.app.dialogs():
            if d["msgbox"]:
                self.app.dismiss(d)
        for d in self.app.dialogs():
            if d["caption"] == st.DATA_TITLE:
                self.app.call("press", d["hwnd"], st.IDCANCEL)
                self.app.wait_no_dialog(st.DATA_TITLE)
            elif d["caption"] == st.INFO_TITLE:
                self.app.call("press", d["hwnd"], st.IDOK)
                self.app.wait_no_dialog(st.INFO_TITLE)
        self.peer.drain()

    def assert_default_state(self, dlg):
        state = st.data_dialog_state(self.app, dlg)
        self.assertEqual(state["ascii"], ("Hello moRek!! ", True))
        self.assertEqual(state["hex"], (DEFAULT_HEX, False))
        self.assertEqual(state["start"], ("30", False))
        self.assertEqual(state["to"], ("39", False))
        self.assertEqual(state["repeat"], ("1", False))
        self.assertEqual(state["interval"], ("1", True))
        self.assertEqual((state["ascii_checked"], state["hex_checked"], state["range_checked"]),
                         (1, 0, 0))
        self.assertEqual((state["until_checked"], state["repeatcount_checked"]), (1, 0))

    def test_1_defaults_and_radios(self):
        app = self.app
        dlg = st.open_data_dialog(app)
        self.assertEqual(app.control(dlg, st.REPEAT_RADIO)["text"], "Repeat Count:")
        self.assert_default_state(dlg)
        expected_enabled = {
            st.HEX_RADIO: {"hex", "interval"},
            st.RANGE_RADIO: {"start", "to", "interval"},
            st.ASCII_RADIO: {"ascii", "interval"},
        }
        for radio, enabled in expected_enabled.items():
            with self.subTest(radio=radio):
                st.click_radio(app, dlg, radio)
                state = st.data_dialog_state(app, dlg)
                on = {name for name in ("ascii", "hex", "start", "to", "interval")
                      if state[name][1]}
                self.assertEqual(on, enabled)
        st.click_radio(app, dlg, st.REPEAT_RADIO)
        self.assertTrue(app.control(dlg, st.REPEAT_BOX)["enabled"])
        st.click_radio(app, dlg, st.UNTIL_BREAK_RADIO)
        self.assertFalse(app.control(dlg, st.REPEAT_BOX)["enabled"])

    def test_2_cancel_after_switching_keeps_the_committed_pattern(self):
        app = self.app
        dlg = st.open_data_dialog(app)
        st.fill_data_dialog(app, dlg, pattern="range", count=1, start="00", to="05",
                            repeat="7", interval="9", ascii="changed")
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.DATA_TITLE)
        dlg = st.open_data_dialog(app)
        self.assert_default_state(dlg)

    def test_3_each_message_with_the_port_as_caption(self):
        cases = [
            ("ascii empty", dict(pattern="ascii", count=0, ascii=""),
             ["ASCII Box Must Input Content!"]),
            ("hex illegal", dict(pattern="hex", count=0, hex="0A B"),
             ["HEX Box Input String is illegal!"]),
            ("hex blanks only", dict(pattern="hex", count=0, hex="    "),
             ["HEX Box Input String is Nothing!"]),
            ("range to below start", dict(pattern="range", count=0, start="41", to="40"),
             ["Rang To Box Input Error!"]),
            ("range both empty", dict(pattern="range", count=0, start="", to=""),
             ["Rang Start Box Input Error!", "Rang To Box Input Error!"]),
            ("range start one digit", dict(pattern="range", count=0, start="4", to="45"),
             ["Rang Start Box Input Error!"]),
            ("range start two bytes", dict(pattern="range", count=0, start="41 42", to="45"),
             ["Rang Start Box Input Error!"]),
            ("range to below a failed start's byte", dict(pattern="range", count=0, start="50 5",
                                                          to="40"),
             ["Rang Start Box Input Error!", "Rang To Box Input Error!"]),
            ("repeat zero", dict(pattern="ascii", count=1, ascii="x", repeat="0"),
             ["Repeat Count Box can not be 0 !"]),
            ("repeat empty after a pattern message", dict(pattern="hex", count=1, hex="0A B",
                                                          repeat=""),
             ["HEX Box Input String is illegal!", "Repeat Count Box can not be 0 !"]),
            ("range error then repeat", dict(pattern="range", count=1, start="", to="",
                                             repeat="0"),
             ["Rang Start Box Input Error!", "Rang To Box Input Error!",
              "Repeat Count Box can not be 0 !"]),
        ]
        app = self.app
        dlg = st.open_data_dialog(app)
        for name, fields, messages in cases:
            with self.subTest(case=name):
                st.fill_data_dialog(app, dlg, **fields)
                app.call("press", dlg, st.IDOK)
                seen, extra = st.collect_boxes(app, len(messages))
                self.assertEqual(seen, [(m, "COM5") for m in messages])
                self.assertEqual(extra, [])
                self.assertTrue(any(d["hwnd"] == dlg for d in app.dialogs()),
                                "the dialog closed after a rejected OK")
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.DATA_TITLE)
        dlg = st.open_data_dialog(app)
        self.assert_default_state(dlg)

    def test_4_hex_without_blanks_is_three_bytes(self):
        app = self.app
        info = st.start_data_job(app, pattern="hex", count=0, hex="0A0B0C", interval="1000")
        self.assertEqual(self.peer.read(3, timeout=3), b"\x0a\x0b\x0c")
        self.assertEqual(app.text(info, 1049), "TotalBytes: 3")
        self.assertEqual(app.text(info, 1002), "0A 0B 0C ")
        self.assertEqual(app.text(info, 1050), "Send Until User Break")
        self.assertEqual(app.text(info, 1048), "COM5")
        app.call("press", info, st.IDOK)
        app.wait_no_dialog(st.INFO_TITLE)
        dlg = st.open_data_dialog(app)
        state = st.data_dialog_state(app, dlg)
        self.assertEqual(state["hex"], ("0A 0B 0C ", True))
        self.assertEqual(state["hex_checked"], 1)
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.DATA_TITLE)

    def test_5_unparsable_range_boxes_keep_their_bytes(self):
        app = self.app
        st.start_data_job(app, wait_info=False, pattern="range", count=1, start="41", to="43",
                          repeat="1", interval="0")
        self.assertEqual(self.peer.read_quiet(), b"ABC")
        app.wait_no_dialog(st.INFO_TITLE)
        # ASCII chosen: the range boxes are not checked, and boxes that give
        # no byte must not change the committed range.
        st.start_data_job(app, wait_info=False, pattern="ascii", ascii="z", start="zz", to="")
        self.assertEqual(self.peer.read_quiet(), b"z")
        app.wait_no_dialog(st.INFO_TITLE)
        dlg = st.open_data_dialog(app)
        state = st.data_dialog_state(app, dlg)
        self.assertEqual((state["start"][0], state["to"][0]), ("41", "43"))
        st.fill_data_dialog(app, dlg, pattern="range")
        app.call("press", dlg, st.IDOK)
        app.wait_no_dialog(st.DATA_TITLE)
        self.assertEqual(self.peer.read_quiet(), b"ABC")
        app.wait_no_dialog(st.INFO_TITLE)

    def test_6_count_mode_0_accepts_an_empty_repeat_box_and_keeps_the_count(self):
        """An unchecked box that would commit what no settings file may hold
        (a count of 0, no HEX byte) keeps its committed value."""
        app = self.app
        st.start_data_job(app, wait_info=False, pattern="hex", count=1, hex="0D", repeat="3",
                          interval="0")
        self.assertEqual(self.peer.read_quiet(), b"\r" * 3)
        app.wait_no_dialog(st.INFO_TITLE)
        info = st.start_data_job(app, pattern="ascii", count=0, ascii="e", repeat="", hex="",
                                 interval="1000")
        self.assertEqual(self.peer.read(1, timeout=3), b"e")
        app.call("press", info, st.IDOK)
        app.wait_no_dialog(st.INFO_TITLE)
        dlg = st.open_data_dialog(app)
        self.assertEqual(app.text(dlg, st.REPEAT_BOX), "3")
        self.assertEqual(app.text(dlg, st.HEX_BOX), "0D ")
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.DATA_TITLE)


class DataJobTest(unittest.TestCase):
    """Data jobs as the device sees them. One app with COM5 open."""

    @classmethod
    def setUpClass(cls):
        cls.app, cls.peer = open_app_on(MAIN_PORT)

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def setUp(self):
        self.peer.drain()
        self.app.call("txwatch")
        self.rec = st.Recorder(self.peer)

    def tearDown(self):
        self.rec.stop()
        for d in self.app.dialogs():
            if d["caption"] == st.INFO_TITLE:
                self.app.call("press", d["hwnd"], st.IDOK)
        self.assertEqual(self.app.message_boxes(), [])

    def assert_line_quiet(self, seconds=1.0):
        before = self.rec.size()
        time.sleep(seconds)
        self.assertEqual(self.rec.size(), before, "bytes arrived after the job had ended")

    def test_counted_job_sends_exactly_the_repeat_count(self):
        app = self.app
        info = st.start_data_job(app, pattern="ascii", count=1, ascii="abc", repeat="3",
                                 interval="500")
        self.assertEqual(app.text(info, 1049), "TotalBytes: 3")
        self.assertEqual(app.text(info, 1002), "61 62 63 ")
        self.assertEqual(app.text(info, 1050), "3")
        app.wait_no_dialog(st.INFO_TITLE, timeout=5)
        self.assert_line_quiet()
        self.assertEqual(self.rec.data(), b"abc" * 3)
        self.assertEqual(st.values(st.hook_events(app, st.EV_TEXT, 1051)), [1, 2, 3])

    def test_until_stopped_job_runs_until_ok(self):
        app = self.app
        packet = b"U-"
        info = st.start_data_job(app, pattern="ascii", count=0, ascii="U-", interval="20")
        self.assertEqual(app.text(info, 1050), "Send Until User Break")
        first = wait_until(lambda: st.only_digits(app.text(info, 1051)), 5, "a first count")
        time.sleep(0.5)
        second = st.only_digits(app.text(info, 1051))
        self.assertGreater(second, first)
        app.call("press", info, st.IDOK)
        app.wait_no_dialog(st.INFO_TITLE)
        time.sleep(0.3)
        self.assert_line_quiet()
        counted = st.values(st.hook_events(app, st.EV_TEXT, 1051))
        self.assertEqual(counted, list(range(1, len(counted) + 1)))
        sent = st.packets_of(self.rec.data(), packet)
        self.assertIsNotNone(sent, "the line carried broken packets")
        # Packets sent between the click and the stop are no longer shown.
        self.assertGreaterEqual(sent, counted[-1])

    def test_escape_stops_the_job_like_ok(self):
        app = self.app
        info = st.start_data_job(app, pattern="ascii", count=0, ascii="E", interval="50")
        wait_until(lambda: self.rec.size() >= 3, 5, "a few packets")
        st.press_escape(app, info)
        app.wait_no_dialog(st.INFO_TITLE)
        time.sleep(0.3)
        self.assert_line_quiet()
        # The next job starts cleanly and ends by itself.
        before = self.rec.size()
        st.start_data_job(app, wait_info=False, pattern="ascii", count=1, ascii="F", repeat="2",
                          interval="0")
        wait_until(lambda: self.rec.size() >= before + 2, 5, "the new job's packets")
        app.wait_no_dialog(st.INFO_TITLE, timeout=5)
        self.assert_line_quiet(0.5)
        self.assertEqual(self.rec.data()[before:], b"FF")

    def test_interval_1000_paces_packets(self):
        app = self.app
        info = st.start_data_job(app, pattern="ascii", count=0, ascii="I", interval="1000")
        wait_until(lambda: len(self.rec.arrivals(b"I")) >= 3, 5, "three packets")
        app.call("press", info, st.IDOK)
        app.wait_no_dialog(st.INFO_TITLE)
        times = self.rec.arrivals(b"I")[:3]
        gaps = [b - a for a, b in zip(times, times[1:])]
        for gap in gaps:
            self.assertGreater(gap, 0.85, "gaps %s" % gaps)
            self.assertLess(gap, 1.4, "gaps %s" % gaps)
        time.sleep(0.3)
        self.assert_line_quiet()

    def test_ok_cuts_the_pause_short(self):
        """OK just after a packet of a job with 5 s pauses, and a new job at
        once: its packet does not wait for the old pause to run out."""
        app = self.app
        info = st.start_data_job(app, pattern="ascii", count=0, ascii="L", interval="5000")
        wait_until(lambda: self.rec.size() >= 1, 5, "the first packet")
        app.call("press", info, st.IDOK)
        app.wait_no_dialog(st.INFO_TITLE)
        st.start_data_job(app, wait_info=False, pattern="ascii", count=1, ascii="J", repeat="1",
                          interval="0")
        wait_until(lambda: self.rec.size() >= 2, 5, "the new job's packet")
        self.assertEqual(self.rec.data(), b"LJ")
        took = self.rec.last_time() - self.rec.first_time()
        self.assertLess(took, 4.0, "the new job's packet came %.2f s after the old one" % took)
        app.wait_no_dialog(st.INFO_TITLE)
        self.assert_line_quiet()

    def test_interval_0_sends_back_to_back(self):
        """The same 100 packets with pauses of 10 ms and with none."""
        app = self.app
        count, spreads = 100, {}
        for interval in ("10", "0"):
            before = self.rec.size()
            st.start_data_job(app, wait_info=False, pattern="ascii", count=1, ascii="0123456789",
                              repeat=str(count), interval=interval)
            wait_until(lambda: self.rec.size() >= before + 10 * count, 10, "%d packets" % count)
            app.wait_no_dialog(st.INFO_TITLE)
            self.assert_line_quiet(0.5)
            self.assertEqual(self.rec.data()[before:], b"0123456789" * count)
            times = self.rec.arrivals(b"0123456789")[-count:]
            spreads[interval] = times[-1] - times[0]
        self.assertGreaterEqual(spreads["10"], (count - 1) * 0.010, spreads)
        self.assertLess(spreads["0"], (count - 1) * 0.006, spreads)

    def test_ok_stops_the_job_before_the_dialog_is_gone(self):
        """The dialog's teardown is held up 1.5 s: no packet starts after OK
        was handled (one may have been on its way)."""
        app = self.app
        info = st.start_data_job(app, pattern="ascii", count=0, ascii="H", interval="100")
        wait_until(lambda: self.rec.size() >= 3, 5, "a few packets")
        app.call("txhold", 1500)
        try:
            app.call("command", info, st.IDOK)
            at_ok = self.rec.size()
            app.wait_no_dialog(st.INFO_TITLE)
        finally:
            app.call("txhold", 0)
        time.sleep(0.3)
        self.assertLessEqual(self.rec.size(), at_ok + 1, "packets went out after OK")
        self.assert_line_quiet()

    def test_a_new_pattern_never_changes_a_write_in_flight(self):
        """The device stops reading until a job's write pends; OK; a job with
        another pattern starts; the device reads again: whole packets of the
        first pattern, then whole packets of the second."""
        app = self.app
        self.rec.stop()
        size = 500
        info = st.start_data_job(app, pattern="ascii", count=0, ascii="A" * size, interval="0")
        shown = []

        def stalled():
            shown.append(st.only_digits(app.text(info, 1051)))
            return len(shown) > 5 and shown[-1] is not None and shown[-1] == shown[-6]

        wait_until(stalled, 20, "the job to stall on the full line", interval=0.1)
        app.call("press", info, st.IDOK)
        app.wait_no_dialog(st.INFO_TITLE)
        info = st.start_data_job(app, pattern="ascii", count=0, ascii="B" * size, interval="0")
        self.rec = st.Recorder(self.peer)
        wait_until(lambda: b"B" * (3 * size) in self.rec.data(), 20, "packets of the new pattern")
        app.call("press", info, st.IDOK)
        app.wait_no_dialog(st.INFO_TITLE)
        time.sleep(0.5)
        data = self.rec.data()
        a_run = len(data) - len(data.lstrip(b"A"))
        self.assertGreater(a_run, 0)
        self.assertEqual(a_run % size, 0, "a packet mixed both patterns")
        self.assertIsNotNone(st.packets_of(data[a_run:], b"B" * size), "broken B packets")

    def test_full_range_is_one_packet_of_all_byte_values(self):
        app = self.app
        info = st.start_data_job(app, pattern="range", count=0, start="00", to="FF",
                                 interval="5000")
        wait_until(lambda: self.rec.size() >= 256, 5, "the packet")
        self.assertEqual(app.text(info, 1049), "TotalBytes: 256")
        hex_text = app.text(info, 1002)
        self.assertEqual(len(hex_text), 768)
        self.assertEqual(hex_text, "".join("%02X " % b for b in range(256)))
        app.call("press", info, st.IDOK)
        app.wait_no_dialog(st.INFO_TITLE)
        self.assert_line_quiet()
        self.assertEqual(self.rec.data(), bytes(range(256)))


class FileSendTest(unittest.TestCase):
    """Files sent through COM5."""

    @classmethod
    def setUpClass(cls):
        cls.app, cls.peer = open_app_on(MAIN_PORT)
        cls.dir = cls.app.suite.rig.scratch

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def setUp(self):
        self.peer.drain()

    def send_and_check(self, size):
        app = self.app
        app.call("txwatch")
        path, data = st.random_file(self.dir, "send-%d.bin" % size, size)
        rec = st.Recorder(self.peer)
        try:
            st.send_file(app, path)
            box = app.wait_message_box("Tx File ok!", timeout=60)
            # Shown after the last byte was handed over: it is all there.
            wait_until(lambda: rec.size() >= size, 1, "all bytes once the message shows")
            self.assertEqual((box["text"], box["caption"]), ("COM5 Tx File ok!", "ZEVRIK"))
            app.dismiss(box)
            app.wait_no_dialog(st.SEND_TITLE)
            time.sleep(0.5)
            self.assertEqual([b["text"] for b in app.message_boxes()], [])
            self.assertEqual(rec.data(), data)
        finally:
            rec.stop()
        ranges = st.values(st.hook_events(app, st.EV_RANGE))
        self.assertEqual(ranges, [size])
        # The count is shown at most every few tens of milliseconds, always
        # at the end of a chunk, and last with the whole size.
        lengths = st.values(st.hook_events(app, st.EV_TEXT, 1055))
        self.assertEqual(lengths, sorted(set(lengths)), "the count went back or repeated")
        self.assertEqual([n for n in lengths if n % 512 and n != size], [])
        self.assertEqual(lengths[-1:], [size] if size else [])
        if size >= MIB:
            self.assertLess(len(lengths), size // 512, "the count was shown for every chunk")
        positions = st.values(st.hook_events(app, st.EV_POS))
        self.assertEqual(positions, sorted(positions), "the progress bar went back")
        if size:
            self.assertGreaterEqual(positions[-1], size, "the progress bar did not end full")

    def test_sizes(self):
        for size in (0, 1, 512, 513, 1300):
            with self.subTest(size=size):
                self.send_and_check(size)

    def test_one_mebibyte(self):
        self.send_and_check(MIB)

    def test_dialog_shows_the_job_and_cancel_stops_it(self):
        app = self.app
        path, data = st.random_file(self.dir, "cancel.bin", 4 * MIB)
        # The device reads nothing yet, so the job stalls with a full line.
        st.send_file(app, path)
        dlg = app.wait_dialog(st.SEND_TITLE)["hwnd"]
        self.assertEqual(app.text(dlg, 1052), "COM5")
        self.assertEqual(app.text(dlg, 1053), st.win_path(path))
        self.assertEqual(app.text(dlg, 1054), str(len(data)))
        wait_until(lambda: st.only_digits(app.text(dlg, 1055)), 5, "a first chunk")
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.SEND_TITLE)
        got = self.peer.read_quiet(quiet=0.5, limit=10)
        self.assertLess(len(got), len(data))
        self.assertEqual(got, data[:len(got)])
        time.sleep(0.5)
        self.assertEqual(app.message_boxes(), [])
        # The port goes on working, and a new transfer runs to its end.
        self.peer.write(b"alive")
        wait_until(lambda: app.terminal().endswith("alive"), 5, "the terminal to show bytes")
        self.send_and_check(1300)

    def test_file_cut_short_is_reported_once_and_sends_no_stale_bytes(self):
        """The file shrinks under a stalled job: the chunk that cannot be read
        in full ends the job with INF024, and only whole file bytes went out."""
        app = self.app
        app.call("txwatch")
        path, data = st.random_file(self.dir, "shrinking.bin", 4 * MIB)
        st.send_file(app, path)
        dlg = app.wait_dialog(st.SEND_TITLE)["hwnd"]
        shown = [None]

        def stalled():
            before = st.only_digits(app.text(dlg, 1055))
            time.sleep(0.5)
            shown[0] = st.only_digits(app.text(dlg, 1055))
            return before is not None and before == shown[0]

        wait_until(stalled, 20, "the job to stall on the full line")
        # The pending write holds the chunk after the one shown; two more
        # chunks can be read in full, the third only in part.
        os.truncate(path, shown[0] + 3 * 512 + 100)
        got = self.peer.read_quiet(quiet=1.0, limit=30)
        box = app.wait_message_box("^INF024")
        self.assertEqual((box["text"], box["caption"]), ("INF024:Reading Tx File Error!", "ZEVRIK"))
        app.dismiss(box)
        app.wait_no_dialog(st.SEND_TITLE)
        time.sleep(1)
        self.assertEqual(app.message_boxes(), [], "reported more than once, or ended as done")
        got += self.peer.read_quiet()
        self.assertEqual(len(got), shown[0] + 3 * 512)
        self.assertEqual(got, data[:len(got)])
        self.assertEqual(st.values(st.hook_events(app, st.EV_TEXT, 1055))[-1], len(got))

    def test_unopenable_file_reports_inf016_and_starts_nothing(self):
        app = self.app
        path, _ = st.random_file(self.dir, "locked.bin", 100)
        os.chmod(path, 0)
        st.send_file(app, path)
        box = app.wait_message_box("^INF016")
        self.assertEqual((box["text"], box["caption"]),
                         ("INF016:Open Transmit File Error! CreateFile() Return "
                          "INVALID_HANDLE_VALUE!", "ZEVRIK"))
        app.dismiss(box)
        app.settle()
        self.assertEqual(app.dialogs(), [])
        self.assertEqual(self.peer.read_quiet(), b"")
        app.type_char(ord("q"))
        self.assertEqual(self.peer.read(1), b"q")


class WriteTimeoutTest(unittest.TestCase):
    """A write time-out of 50 ms and a device that stops reading for 3 s once
    the line is full: writes end by their time-out, and that is no fault."""

    @classmethod
    def setUpClass(cls):
        cls.app, cls.peer = open_app_on(MAIN_PORT)
        st.set_timeouts(cls.app, ("1", "0", "0", "0", "50"))

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def stall(self):
        """Reads nothing for 3 s, then reads in the background."""
        time.sleep(3)
        return st.Recorder(self.peer)

    def test_data_job_goes_on_across_the_stall(self):
        app = self.app
        packet = b"0123456789" * 20
        info = st.start_data_job(app, pattern="ascii", count=0, ascii=packet.decode(),
                                 interval="0")
        rec = self.stall()
        try:
            counted = st.only_digits(app.text(info, 1051))
            wait_until(lambda: st.only_digits(app.text(info, 1051)) > counted + 10, 10,
                       "the job to go on counting")
            self.assertEqual(app.message_boxes(), [])
            app.call("press", info, st.IDOK)
            app.wait_no_dialog(st.INFO_TITLE)
            time.sleep(0.5)
            size = rec.size()
            time.sleep(0.5)
            self.assertEqual(rec.size(), size, "bytes arrived after OK")
        finally:
            rec.stop()
        data = rec.data()
        # Every packet went out whole or, when its time ran out, in part:
        # each byte follows the one before in the packet or starts a packet.
        self.assertTrue(data)
        broken = [i for i in range(1, len(data))
                  if data[i] not in (data[i - 1] + 1, packet[0])]
        self.assertEqual(broken[:5], [], "bytes out of order")
        self.assertEqual(app.message_boxes(), [])

    def test_a_counted_job_counts_only_whole_packets_across_a_held_line(self):
        """More packets than the line holds, and the device reads nothing for
        2 s: the write that fills the line runs out of time part-way through
        a packet. Every packet still arrives whole, and all are counted."""
        app = self.app
        app.call("txwatch")
        packet = b"0123456789" * 50
        st.start_data_job(app, wait_info=False, pattern="ascii", count=1, ascii=packet.decode(),
                          repeat="150", interval="0")
        time.sleep(2)
        rec = st.Recorder(self.peer)
        try:
            app.wait_no_dialog(st.INFO_TITLE, timeout=20)
            time.sleep(1)
        finally:
            rec.stop()
        self.assertEqual(st.packets_of(rec.data(), packet), 150)
        self.assertEqual(st.values(st.hook_events(app, st.EV_TEXT, 1051))[-1:], [150])

    def test_file_arrives_whole_across_the_stall(self):
        app = self.app
        path, data = st.random_file(app.suite.rig.scratch, "stalled.bin", MIB)
        app.call("txwatch")
        st.send_file(app, path)
        rec = self.stall()
        try:
            box = app.wait_message_box(".", timeout=60)
            self.assertEqual(box["text"], "COM5 Tx File ok!")
            app.dismiss(box)
            wait_until(lambda: rec.size() >= len(data), 5, "the whole file")
            time.sleep(0.5)
        finally:
            rec.stop()
        self.assertEqual(rec.data(), data)
        lengths = st.values(st.hook_events(app, st.EV_TEXT, 1055))
        self.assertEqual(lengths, sorted(set(lengths)), "the count went back or repeated")
        self.assertEqual(lengths[-1], len(data))


class FileCaptureTest(unittest.TestCase):
    """Received bytes captured into files from COM5."""

    @classmethod
    def setUpClass(cls):
        cls.app, cls.peer = open_app_on(MAIN_PORT)
        cls.dir = cls.app.suite.rig.scratch
        cls.owner = cls.app.suite.rig.guard.owner

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def setUp(self):
        self.peer.drain()
        self.app.clear_terminal()
        self.app.call("txwatch")

    def target(self, name):
        path = os.path.join(self.dir, name)
        if os.path.exists(path):
            os.remove(path)
        return path

    def test_bursts_are_captured_and_display_resumes_after_ok(self):
        app = self.app
        path = self.target("capture.bin")
        dlg, _ = st.receive_file(app, path)
        self.assertEqual(app.text(dlg, 1056), "COM5")
        self.assertEqual(app.text(dlg, 1057), st.win_path(path))
        self.assertEqual(app.text(dlg, 1058), "0")
        data = os.urandom(MIB)
        streamer = Streamer(self.peer, data, chunk=128 * 1024, pause=0.4)
        streamer.start()
        while streamer.is_alive():
            self.assertEqual(app.terminal(), "", "received bytes showed during the capture")
            time.sleep(0.2)
        wait_until(lambda: app.text(dlg, 1058) == str(MIB), 30, "the whole mebibyte counted")
        self.assertEqual(app.terminal(), "")
        app.call("press", dlg, st.IDOK)
        app.wait_no_dialog(st.RECEIVE_TITLE)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), data)
        counts = st.values(st.hook_events(app, st.EV_TEXT, 1058))
        self.assertEqual(counts, sorted(counts))
        self.assertEqual(counts[-1], MIB)
        self.peer.write(b"after")
        wait_until(lambda: app.terminal() == "after", 5, "the display to resume")

    def test_escape_ends_the_capture_like_ok(self):
        app = self.app
        path = self.target("escape.bin")
        dlg, _ = st.receive_file(app, path)
        self.peer.write(b"kept")
        wait_until(lambda: app.text(dlg, 1058) == "4", 5, "four bytes counted")
        st.press_escape(app, dlg)
        app.wait_no_dialog(st.RECEIVE_TITLE)
        self.peer.write(b"shown")
        wait_until(lambda: app.terminal() == "shown", 5, "the display to resume")
        with open(path, "rb") as f:
            self.assertEqual(f.read(), b"kept")

    def test_existing_file_asks_before_overwriting_and_is_truncated(self):
        app = self.app
        path = self.target("existing.bin")
        with open(path, "wb") as f:
            f.write(b"old contents" * 10)
        os.chown(path, *self.owner)
        st.choose_direction(app, st.RECEIVE_RADIO)
        chooser = st.fill_file_dialog(app, st.SAVE_TITLE, path)
        box = app.wait_message_box("exist")
        self.assertEqual(sorted(box["buttons"]), [st.IDYES, st.IDNO])
        app.dismiss(box, st.IDNO)
        app.settle()
        self.assertEqual(os.path.getsize(path), 120, "the file changed before the answer")
        self.assertFalse(any(d["caption"] == st.RECEIVE_TITLE for d in app.dialogs()))
        app.call("press", chooser, st.IDOK)
        box = app.wait_message_box("exist")
        app.dismiss(box, st.IDYES)
        dlg = app.wait_dialog(st.RECEIVE_TITLE)["hwnd"]
        self.assertEqual(os.path.getsize(path), 0)
        self.peer.write(b"new")
        wait_until(lambda: app.text(dlg, 1058) == "3", 5, "three bytes counted")
        app.call("press", dlg, st.IDOK)
        app.wait_no_dialog(st.RECEIVE_TITLE)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), b"new")

    def test_missing_folder_reports_inf017_and_starts_nothing(self):
        app = self.app
        path = os.path.join(self.dir, "no-such-folder", "capture.bin")
        st.choose_direction(app, st.RECEIVE_RADIO)
        st.fill_file_dialog(app, st.SAVE_TITLE, path)
        box = app.wait_message_box("^INF017")
        self.assertEqual((box["text"], box["caption"]),
                         ("INF017:Open Receive File Error! CreateFile() Return "
                          "INVALID_HANDLE_VALUE!", "ZEVRIK"))
        app.dismiss(box)
        app.settle()
        self.assertEqual(app.dialogs(), [])
        self.peer.write(b"shown")
        wait_until(lambda: app.terminal() == "shown", 5, "received bytes to show")
        app.type_char(ord("w"))
        self.assertEqual(self.peer.read(1), b"w")

    def test_thirty_idle_seconds_end_the_capture(self):
        """Bursts 12 s apart keep it going; 30 s after the last one it ends."""
        app = self.app
        path = self.target("idle.bin")
        dlg, _ = st.receive_file(app, path)
        sent = b""
        for burst in (b"one", b"two", b"three"):
            self.peer.write(burst)
            sent += burst
            wait_until(lambda: app.text(dlg, 1058) == str(len(sent)), 5, "the burst counted")
            last = time.monotonic()
            if burst != b"three":
                time.sleep(12)
                self.assertEqual(app.message_boxes(), [])
        box = app.wait_message_box("Timeouts", timeout=40)
        idle = time.monotonic() - last
        self.assertEqual((box["text"], box["caption"]), ("Receive File Timeouts!", "COM5"))
        self.assertGreater(idle, 28.5)
        self.assertLess(idle, 33)
        app.dismiss(box)
        app.wait_no_dialog(st.RECEIVE_TITLE)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), sent)
        self.peer.write(b"back")
        wait_until(lambda: app.terminal() == "back", 5, "the display to resume")

    def test_reads_that_return_at_once_still_let_the_capture_idle_out(self):
        """Under time-outs that make every read return at once, with or
        without bytes, the empty reads are no activity: 30 s after the last
        byte the capture ends all the same."""
        app = self.app
        # Reopened so that no read is left pending under the old time-outs:
        # Wine never completes one whose time-outs turn to "return at once".
        st.set_timeouts(app, ("4294967295", "0", "0", "0", "0"))
        app.close_port()
        app.open_port(MAIN_PORT)
        try:
            path = self.target("instant.bin")
            dlg, _ = st.receive_file(app, path)
            self.peer.write(b"burst")
            wait_until(lambda: app.text(dlg, 1058) == "5", 5, "the burst counted")
            last = time.monotonic()
            box = app.wait_message_box("Timeouts", timeout=40)
            idle = time.monotonic() - last
            self.assertEqual((box["text"], box["caption"]), ("Receive File Timeouts!", "COM5"))
            self.assertGreater(idle, 28.5)
            self.assertLess(idle, 33)
            app.dismiss(box)
            app.wait_no_dialog(st.RECEIVE_TITLE)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), b"burst")
            self.peer.write(b"back")
            wait_until(lambda: app.terminal() == "back", 5, "the display to resume")
        finally:
            st.set_timeouts(app)
            app.close_port()
            app.open_port(MAIN_PORT)
            app.call("txwatch")

class PulledCableTransferTest(unittest.TestCase):
    """The device vanishes while a file goes out or comes in."""

    @classmethod
    def setUpClass(cls):
        rig = suite().rig
        cls.cables = {name: rig.add_cable(name)
                      for name in (SEND_PULL_PORT, CAPTURE_PULL_PORT, STREAM_PULL_PORT)}
        rig.map_ports()
        cls.app = App()
        # The watch hook is loaded before any port is open: under Wine 8 a DLL
        # loaded after a port with a pending modem wait was closed (once the
        # file dialog had been up) hangs the thread that loads it (rig notes).
        cls.app.call("txwatch")
        cls.dir = cls.app.suite.rig.scratch
        cls.threads_closed = cls.settled_thread_count()

    @classmethod
    def settled_thread_count(cls):
        """Threads with the port closed, once the file dialog has been up:
        the system keeps a thread of its own from then on."""
        app = cls.app
        app.open_port(MAIN_PORT)
        st.choose_direction(app, st.RECEIVE_RADIO)
        chooser = app.wait_dialog(st.SAVE_TITLE)["hwnd"]
        app.call("press", chooser, st.IDCANCEL)
        app.wait_no_dialog(st.SAVE_TITLE)
        app.close_port()
        seen = [app.process()["threads"]]
        for _ in range(20):
            if len(seen) >= 3 and len(set(seen[-3:])) == 1:
                break
            time.sleep(0.5)
            seen.append(app.process()["threads"])
        return seen[-1]

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def open_on(self, port):
        peer = Peer(self.cables[port])
        self.app.open_port(port)
        self.app.call("txwatch")
        return peer

    def assert_reported_once_and_idle(self):
        app = self.app
        app.wait_message_box(r"^INF0\d\d:", timeout=5)
        time.sleep(1)
        texts = []
        for box in app.message_boxes():
            texts.append(box["text"])
            self.assertEqual(box["caption"], "ZEVRIK")
            app.dismiss(box)
        for text in texts:
            self.assertTrue(LOST_DEVICE.match(text) or text.startswith("INF025:"), text)
        self.assertEqual(len(texts), len(set(texts)), "a failure was reported twice: %s" % texts)
        self.assertLess(st.cpu_share(app, 3), 0.05)
        self.assertEqual(app.message_boxes(), [])
        return texts

    def close_and_check(self):
        app = self.app
        self.assertTrue(app.alive())
        app.close_port()
        wait_until(lambda: app.process()["threads"] == self.threads_closed, 5,
                   "the worker threads to end")

    def test_1_send(self):
        app = self.app
        peer = self.open_on(SEND_PULL_PORT)
        path, data = st.random_file(self.dir, "pulled-send.bin", MIB)
        st.send_file(app, path)
        dlg = app.wait_dialog(st.SEND_TITLE)["hwnd"]
        got = peer.read(64 * 1024, timeout=10)
        self.assertEqual(got, data[:len(got)])
        self.cables[SEND_PULL_PORT].kill()
        peer.close()
        self.assert_reported_once_and_idle()
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.SEND_TITLE)
        self.assertEqual(app.message_boxes(), [])
        self.close_and_check()

    def test_2_capture(self):
        app = self.app
        peer = self.open_on(CAPTURE_PULL_PORT)
        path = os.path.join(self.dir, "pulled-capture.bin")
        if os.path.exists(path):
            os.remove(path)
        dlg, _ = st.receive_file(app, path)
        data = os.urandom(200 * 1024)
        streamer = Streamer(peer, data, chunk=50 * 1024, pause=0.2)
        streamer.start()
        streamer.join(30)
        wait_until(lambda: app.text(dlg, 1058) == str(len(data)), 20, "everything counted")
        self.cables[CAPTURE_PULL_PORT].kill()
        peer.close()
        self.assert_reported_once_and_idle()
        app.call("press", dlg, st.IDOK)
        app.wait_no_dialog(st.RECEIVE_TITLE)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), data)
        self.close_and_check()

    def test_3_send_while_data_streams_in_shows_one_box(self):
        app = self.app
        peer = self.open_on(STREAM_PULL_PORT)
        streamer = Streamer(peer, os.urandom(8 * MIB), pause=0.005)
        streamer.start()
        path, _ = st.random_file(self.dir, "pulled-stream.bin", MIB)
        st.send_file(app, path)
        dlg = app.wait_dialog(st.SEND_TITLE)["hwnd"]
        peer.read(64 * 1024, timeout=10)
        streamer.stop.set()
        streamer.join(5)
        self.cables[STREAM_PULL_PORT].kill()
        peer.close()
        self.assertEqual(len(self.assert_reported_once_and_idle()), 1)
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.SEND_TITLE)
        self.close_and_check()


class DirectionDialogTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.app, cls.peer = open_app_on(MAIN_PORT)

    @classmethod
    def tearDownClass(cls):
        cls.peer.close()
        cls.app.quit()

    def direction(self):
        dlg = st.post_until(self.app, 40015, st.DIRECTION_TITLE)
        checks = (self.app.control(dlg, st.TRANSMIT_RADIO)["check"],
                  self.app.control(dlg, st.RECEIVE_RADIO)["check"])
        return dlg, checks

    def test_direction_is_kept_by_ok_only(self):
        app = self.app
        dlg, checks = self.direction()
        self.assertEqual(checks, (1, 0))
        st.click_radio(app, dlg, st.RECEIVE_RADIO)
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.DIRECTION_TITLE)
        dlg, checks = self.direction()
        self.assertEqual(checks, (1, 0))
        st.click_radio(app, dlg, st.RECEIVE_RADIO)
        app.call("press", dlg, st.IDOK)
        chooser = app.wait_dialog(st.SAVE_TITLE)["hwnd"]
        app.call("press", chooser, st.IDCANCEL)
        app.wait_no_dialog(st.SAVE_TITLE)
        app.settle()
        self.assertEqual(app.dialogs(), [])
        dlg, checks = self.direction()
        self.assertEqual(checks, (0, 1))
        app.call("press", dlg, st.IDCANCEL)
        app.wait_no_dialog(st.DIRECTION_TITLE)


if __name__ == "__main__":
    unittest.main()
