"""The csi settings file: Save As, Save into the loaded file, loading (which
opens the port), the refusals of bad and short files, and what a failed open
or write leaves behind."""

import os
import termios
import unittest

from harness import MAIN_PORT, TERMINAL_VIEWS, App, Peer, wait_until
from harness_settings import (ASCII_LEN, BAUD, DATA_BITS, DTR, DISPLAY, FIELDS_END, IMAGE_SIZE,
                              OPEN_TITLE, PARITY, PATTERN, COUNT_MODE, PORT, REPEAT, RTS, SAVE_TITLE,
                              STOP_BITS, choose_file, com_set_state, info_lines, info_text, load,
                              load_and_open, make_image, quiet, read_file, save_as, scratch_file,
                              set_immutable, snapshot)

import steps_transfer as transfer
import zrig

COM5 = 4  # port index of COM5
IDOK, IDCANCEL = 1, 2
LOADED = "Loading csi File Success! "
REJECTED = "INF035:Loading csi File Error! fnBufToFileData() return %d"


def tail_pattern():
    return bytes((i * 7 + 3) & 0xFF for i in range(IMAGE_SIZE - FIELDS_END))


class FreshAppTest(unittest.TestCase):
    """Each test starts its own app, so no settings file is held at first."""

    def setUp(self):
        self.app = App()

    def tearDown(self):
        self.app.quit()

    def test_save_as_with_defaults_writes_the_image_and_loads_back(self):
        app = self.app
        path = scratch_file(app, "defaults.csi")
        app.open_port()
        save_as(app, path)
        self.assertEqual(quiet(app), [], "a Save As that works shows nothing")
        data = read_file(path)
        self.assertEqual(len(data), 4096)
        self.assertEqual(data[:8], bytes.fromhex("01000000 00100000"))
        self.assertEqual(data[28:32], bytes.fromhex("80250000"))
        self.assertEqual(data, make_image({PORT: COM5}), "every field at its default, COM5, tail zero")
        app.close_port()
        box = load(app, path)
        self.assertEqual((box["text"], box["caption"]), (LOADED, "ZEVRIK"))
        snapshot(app, "csi-loaded-message.png", box["hwnd"])
        app.dismiss(box)
        app.wait_open(MAIN_PORT)
        self.assertEqual(app.summary(), "COM5, 9600, 8, None, 1")

    def test_data_transfer_boxes_left_empty_are_saved_so_that_they_load_back(self):
        """ASCII chosen with the HEX box emptied and count mode 0 with the
        repeat box at 0: the file saved afterwards loads, with the HEX pattern
        and count committed before."""
        app = self.app
        app.open_port()
        info = transfer.start_data_job(app, pattern="ascii", count=0, ascii="x", hex="",
                                       repeat="0", interval="1000")
        app.call("press", info, IDOK)
        app.wait_no_dialog(transfer.INFO_TITLE)
        path = scratch_file(app, "emptied.csi")
        save_as(app, path)
        app.close_port()
        load_and_open(app, path)
        dlg = transfer.open_data_dialog(app)
        self.assertEqual(app.text(dlg, transfer.HEX_BOX), "48 65 6C 6C 6F 20 6D 6F 52 65 6B 21 21 20 ")
        self.assertEqual(app.text(dlg, transfer.REPEAT_BOX), "1")
        self.assertEqual(app.text(dlg, transfer.ASCII_BOX), "x")
        app.call("press", dlg, IDCANCEL)
        app.wait_no_dialog(transfer.DATA_TITLE)

    def test_save_before_any_load_asks_for_a_name(self):
        app = self.app
        app.open_port()
        app.call("postcommand", "main", 40002)
        dlg = app.wait_dialog(SAVE_TITLE)
        snapshot(app, "csi-save-as-chooser.png", dlg["hwnd"])
        path = scratch_file(app, "first-save.csi")
        choose_file(app, SAVE_TITLE, path)
        wait_until(lambda: os.path.exists(path) and os.path.getsize(path) == IMAGE_SIZE, 5, "the saved file")
        self.assertEqual(read_file(path), make_image({PORT: COM5}))
        self.assertEqual(quiet(app), [])

    def test_cancel_in_the_open_chooser_shows_nothing(self):
        app = self.app
        app.call("postcommand", "main", 40001)
        dlg = app.wait_dialog(OPEN_TITLE)
        snapshot(app, "csi-open-chooser.png", dlg["hwnd"])
        choose_file(app, OPEN_TITLE, None, button=2)
        self.assertEqual(quiet(app), [])
        self.assertEqual(app.summary(), "")
        self.assertFalse(app.menu(40001)["grayed"])

    def test_read_only_file_is_refused_and_no_file_is_held(self):
        app = self.app
        good = scratch_file(app, "held.csi", make_image({PORT: COM5}))
        load_and_open(app, good)
        app.close_port()
        locked = scratch_file(app, "locked.csi", make_image({PORT: COM5, BAUD: 15}), mode=0o444)
        box = load(app, locked)
        self.assertEqual((box["text"], box["caption"]), ("CreateFile() Error!", ""))
        snapshot(app, "csi-createfile-error.png", box["hwnd"])
        app.dismiss(box)
        self.assertEqual(quiet(app), [])
        self.assertEqual(app.summary(), "", "a refused file opens no port")
        app.open_port()
        app.call("postcommand", "main", 40002)
        app.wait_dialog(SAVE_TITLE)
        choose_file(app, SAVE_TITLE, None, button=2)
        self.assertEqual(read_file(good), make_image({PORT: COM5}), "the file held before is not written")


class LoadTest(unittest.TestCase):
    """One app; the port is closed between tests."""

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        # A committed state that none of the files below gives.
        cls.baseline = scratch_file(cls.app, "baseline.csi",
                                    make_image({PORT: COM5, BAUD: 12, DATA_BITS: 2, PARITY: 2, STOP_BITS: 2}))
        load_and_open(cls.app, cls.baseline)
        cls.app.close_port()

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def tearDown(self):
        if self.app.summary():
            self.app.close_port()

    def test_loaded_file_opens_com5_at_57600_even(self):
        app = self.app
        path = scratch_file(app, "even.csi", make_image({PORT: COM5, BAUD: 14, PARITY: 1}))
        load_and_open(app, path)
        self.assertEqual(app.summary(), "COM5, 57600, 8, Even, 1")
        cable = app.suite.cables[MAIN_PORT]
        self.assertEqual(zrig.tcgetattr_speed(cable.app_path), 57600)
        # Linux's pty driver clears PARENB (and forces CS8) whatever it is
        # given, so of the parity only PARODD can be read back: not odd.
        self.assertEqual(zrig.tcgetattr_cflag(cable.app_path) & termios.PARODD, 0)
        dcb = info_lines(info_text(app, 0))
        for line in ("BaudRate=57600 \r\n", "fParity=1 \r\n", "Parity=2 \r\n", "ByteSize=8 \r\n"):
            self.assertIn(line, dcb)

    def test_file_without_the_history_view_shows_the_classic_text(self):
        """Loaded after the history view was on, a file that turns it off
        shows the bytes received next in the classic text."""
        app = self.app
        path = scratch_file(app, "classic.csi", make_image({PORT: COM5}))
        load_and_open(app, path)
        app.set_terminal_options(history=1)
        app.close_port()
        load_and_open(app, path)
        peer = Peer(app.suite.cables[MAIN_PORT])
        try:
            peer.write(b"after the load")
            wait_until(lambda: app.terminal() == "after the load", 5, "the bytes in the terminal")
            self.assertEqual(app.terminal_id(), TERMINAL_VIEWS[0])
        finally:
            peer.close()

    def test_bad_files_are_refused_and_change_nothing(self):
        app = self.app
        committed = com_set_state(app)
        # Every case would, if applied, move the line settings away from
        # the committed ones.
        other = {PORT: 5, BAUD: 13, DATA_BITS: 1, PARITY: 3, STOP_BITS: 1}
        cases = (
            ("format", make_image({**other, 1: 2}), 1),
            ("size", make_image({**other, 2: 4095}), 2),
            ("port 256", make_image({**other, PORT: 256}), 3),
            ("baud 27", make_image({**other, BAUD: 27}), 4),
            ("dtr 3", make_image({**other, DTR: 3, RTS: 3}), 20),
            ("display 2", make_image({**other, DISPLAY: 2}), 29),
            ("pattern 3", make_image({**other, PATTERN: 3}), 32),
            ("count mode 2", make_image({**other, COUNT_MODE: 2}), 33),
            ("repeat 0", make_image({**other, REPEAT: 0}), 40),
            ("ascii length 600", make_image({**other, ASCII_LEN: 600}), 35),
            ("100 bytes", make_image(other)[:100], 33),
        )
        for name, data, field in cases:
            with self.subTest(case=name):
                path = scratch_file(app, "bad.csi", data)
                box = load(app, path)
                self.assertEqual((box["text"], box["caption"]), (REJECTED % field, "ZEVRIK"))
                if field == 20:
                    snapshot(app, "csi-rejected-message.png", box["hwnd"])
                app.dismiss(box)
                self.assertEqual(quiet(app, 0.3), [], "nothing follows a refused file")
                self.assertEqual(app.summary(), "")
                self.assertEqual(com_set_state(app), committed)

    def test_rts_toggle_loads(self):
        app = self.app
        path = scratch_file(app, "toggle.csi", make_image({PORT: COM5, BAUD: 13, RTS: 3}))
        box = load(app, path)
        self.assertEqual(box["text"], LOADED)
        app.dismiss(box)
        # Wine's serial driver refuses RTS toggling, so the opening that
        # follows the load fails at SetCommState; the load itself was taken.
        box = app.wait_message_box(".")
        self.assertEqual(box["text"], "INF004:SetCommState() Error!")
        app.dismiss(box)
        self.assertEqual(com_set_state(app)[:2], ("COM5", "38400"))

    def test_flag_byte_01_loads_as_set_and_is_saved_as_ff(self):
        app = self.app
        path = scratch_file(app, "flag01.csi", make_image({PORT: COM5}, raw={52: b"\x01"}))
        load_and_open(app, path)
        app.call("postcommand", "main", 40002)
        self.assertEqual(quiet(app), [])
        self.assertEqual(read_file(path)[52], 0xFF)

    def test_save_writes_into_the_loaded_file_and_keeps_its_tail(self):
        app = self.app
        tail = tail_pattern()
        path = scratch_file(app, "tail.csi", make_image({PORT: COM5}, tail=tail) + b"beyond 4096")
        load_and_open(app, path)
        dlg = app.open_com_set(40009)["hwnd"]
        app.call("select", dlg, 1021, 15)
        app.call("press", dlg, 1)
        app.wait_no_dialog("COM Set")
        wait_until(lambda: app.summary() == "COM5, 115200, 8, None, 1", 5, "the new rate")
        app.call("postcommand", "main", 40002)
        self.assertEqual(quiet(app), [], "neither a chooser nor a message: the loaded file is written")
        data = read_file(path)
        self.assertEqual(data[:IMAGE_SIZE], make_image({PORT: COM5, BAUD: 15}, tail=tail))
        self.assertEqual(data[IMAGE_SIZE:], b"beyond 4096")
        app.close_port()
        load_and_open(app, path)
        self.assertEqual(app.summary(), "COM5, 115200, 8, None, 1")

    def test_file_ending_with_the_fields_loads_with_a_zero_tail(self):
        app = self.app
        first = scratch_file(app, "with-tail.csi", make_image({PORT: COM5}, tail=tail_pattern()))
        load_and_open(app, first)
        app.close_port()
        short = scratch_file(app, "no-tail.csi", make_image({PORT: COM5, BAUD: 13})[:FIELDS_END])
        load_and_open(app, short)
        self.assertEqual(app.summary(), "COM5, 38400, 8, None, 1")
        app.call("postcommand", "main", 40002)
        self.assertEqual(quiet(app), [])
        self.assertEqual(read_file(short), make_image({PORT: COM5, BAUD: 13}),
                         "the tail the file did not reach is saved as zeros, not the earlier file's")

    def test_file_one_byte_short_of_the_fields_is_refused(self):
        app = self.app
        committed = com_set_state(app)
        path = scratch_file(app, "short.csi", make_image({PORT: COM5, BAUD: 13})[:FIELDS_END - 1])
        box = load(app, path)
        self.assertEqual(box["text"], REJECTED % 41)
        app.dismiss(box)
        self.assertEqual(quiet(app, 0.3), [])
        self.assertEqual(com_set_state(app), committed)

    def test_failed_save_is_reported(self):
        app = self.app
        path = scratch_file(app, "immutable.csi", make_image({PORT: COM5}))
        load_and_open(app, path)
        if not set_immutable(path, True):
            self.skipTest("this machine cannot make a file immutable (chattr +i)")
        try:
            app.call("postcommand", "main", 40002)
            box = app.wait_message_box(".")
            self.assertEqual((box["text"], box["caption"]),
                             ("INF042:Save csi File Error. WriteFile() Return FALSE!", "ZEVRIK"))
            snapshot(app, "csi-save-error.png", box["hwnd"])
            app.dismiss(box)
        finally:
            set_immutable(path, False)
        self.assertEqual(read_file(path), make_image({PORT: COM5}))


if __name__ == "__main__":
    unittest.main()
