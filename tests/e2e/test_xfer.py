"""Protocol transfers against Debian's lrzsz on the far pty of COM5: XMODEM,
YMODEM and ZMODEM each way with files of 0 bytes to 1 MiB, byte-exact, and
batches of three; the progress dialog, a cancel from either end, an
incomplete receive, auto-start, and the protocol row's checks. U-Boot's
loadx and loady with ZEVRIK as its console; 256 KiB each way through a noisy
cable.

What is compared: YMODEM and ZMODEM files byte for byte. XMODEM carries no
size: what rx writes must be the file followed by fewer SUBs (0x1A) than a
block; what ZEVRIK writes must be the file without its trailing SUBs (the
receiver takes them for padding)."""

import contextlib
import os
import re
import shutil
import signal
import time
import unittest
import zlib

from harness import MAIN_PORT, RELAID_PORT, App, Peer, suite, wait_until
from harness_settings import snapshot
import steps_transfer as st
import steps_xfer as sx
import zrig

KIB, MIB = 1024, 1024 * 1024
SIZES = (0, 1, 127, 128, 129, 1023, 1024, 1025, 64 * KIB, MIB)
SMALL = tuple(s for s in SIZES if s <= 64 * KIB)
COMPLETE = r"^(XMODEM|YMODEM|ZMODEM) (send|receive) complete: (\d+) files?, (\d+) bytes? in "


class LrzszCase(unittest.TestCase):
    """One app with the class's port (COM5) open; files in the rig's scratch
    folder; lrzsz's programs on the far pty, each in a folder of its own."""

    port = MAIN_PORT
    end_wait = 180  # seconds for a transfer's end message

    @classmethod
    def setUpClass(cls):
        cls.app = App()
        cls.app.open_port(cls.port)
        cls.cable = cls.app.suite.cables[cls.port]
        cls.scratch = cls.app.suite.rig.scratch
        cls.source = cls.folder("xfer-source")
        cls.files = {}

    @classmethod
    def tearDownClass(cls):
        cls.app.quit()

    def tearDown(self):
        sx.close_everything(self.app)

    @classmethod
    def folder(cls, name):
        """An empty folder that both the app and lrzsz may write."""
        path = os.path.join(cls.scratch, name)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        os.chmod(path, 0o777)
        return path

    def file_of(self, size, name=None):
        name = name or "f%d.bin" % size
        if name not in self.files:
            self.files[name] = st.random_file(self.source, name, size)
        return self.files[name]

    def far(self, argv, cwd):
        log = os.path.join(self.scratch, "far-%s.log" % argv[0])
        return sx.FarProgram(self.cable, argv, cwd, log)

    def send(self, protocol, paths, argv):
        """ZEVRIK sends `paths` while `argv` receives in a fresh folder:
        (end message, exit code, the folder)."""
        out = self.folder("xfer-far")
        sx.start_send(self.app, protocol, paths)
        far = self.far(argv, out)
        text = sx.wait_end(self.app, timeout=self.end_wait)
        return text, far.wait(30), out

    def receive(self, protocol, argv, target=None):
        """`argv` sends while ZEVRIK receives into a fresh folder (XMODEM:
        into `target` there): (end message, exit code, the folder)."""
        into = self.folder("xfer-in") if target is None or protocol != "xmodem" else os.path.dirname(target)
        sx.start_receive(self.app, protocol, target if protocol == "xmodem" else into)
        far = self.far(argv, self.source)
        text = sx.wait_end(self.app, timeout=self.end_wait)
        return text, far.wait(30), into

    def assert_complete(self, text, rc, files, size):
        self.assertRegex(text, COMPLETE)
        self.assertEqual(rc, 0, text)
        counts = [int(n) for n in re.match(COMPLETE, text).groups()[2:]]
        self.assertEqual(counts, [files, size])

    @contextlib.contextmanager
    def cleaned(self):
        """A failed row leaves nothing up for the next one."""
        try:
            yield
        except BaseException:
            sx.close_everything(self.app)
            raise

    def drain_far(self):
        """Reads the far end until it is quiet: what a far program left
        unread would be the next one's input."""
        fd = zrig.open_far(self.cable.far_path)
        try:
            os.set_blocking(fd, False)
            quiet_since = time.monotonic()
            while time.monotonic() - quiet_since < 0.5:
                try:
                    if os.read(fd, 65536):
                        quiet_since = time.monotonic()
                except BlockingIOError:
                    time.sleep(0.05)
        finally:
            os.close(fd)

    def transfer(self, protocol, direction, argv, path):
        """`path` sent to `argv` or received from it (argv may name the file
        as {}): (end message, exit code, the file that arrived or None)."""
        name = os.path.basename(path)
        argv = [a.format(name) for a in argv]
        if direction == "send":
            text, rc, folder = self.send(protocol, [path], argv)
            got_path = os.path.join(folder, "got.bin" if protocol == "xmodem" else name)
        else:
            target = os.path.join(self.folder("xfer-in"), "got.bin")
            text, rc, folder = self.receive(protocol, argv, target)
            got_path = target if protocol == "xmodem" else os.path.join(folder, name)
        if not os.path.exists(got_path):
            return text, rc, None
        with open(got_path, "rb") as f:
            return text, rc, f.read()

    def run_rows(self, rows, sizes):
        """Each (name, direction, argv, check) at each size; check(got,
        data) gives True for a right file."""
        for size in sizes:
            path, data = self.file_of(size)
            for label, direction, argv, check in rows:
                with self.subTest(row=label, size=size), self.cleaned():
                    text, rc, got = self.transfer(self.protocol, direction, argv, path)
                    self.assertEqual(rc, 0, text)
                    self.assertRegex(text, COMPLETE)
                    self.assertTrue(check(got, data), "%s: %d bytes, %d expected" % (label, len(got), len(data)))


def exact(got, data):
    return got == data


class XmodemTest(LrzszCase):
    protocol = "xmodem"

    def test_sizes_both_ways(self):
        """1K blocks at every size; 128-byte blocks with CRC and with the
        checksum up to 64 KiB (1 MiB of them takes over 20 s each)."""
        stripped = lambda got, data: got == data.rstrip(sx.SUB)
        rows_1k = [("1K to rx", "send", ["rx", "-c", "got.bin"], lambda g, d: sx.xmodem_padded(g, d, 1024)),
                   ("CRC from sx -k", "receive", ["sx", "-k", "{}"], stripped)]
        rows_128 = [("CRC to rx", "send", ["rx", "-c", "got.bin"], lambda g, d: sx.xmodem_padded(g, d, 128)),
                    ("CRC from sx", "receive", ["sx", "{}"], stripped)]
        rows_sum = [("checksum to rx", "send", ["rx", "got.bin"], lambda g, d: sx.xmodem_padded(g, d, 128)),
                    ("checksum from sx", "receive", ["sx", "{}"], stripped)]
        try:
            for xblock, rows, sizes in ((2, rows_1k, SIZES), (1, rows_128, SMALL), (0, rows_sum, SMALL)):
                sx.set_options(self.app, xblock=xblock)
                self.run_rows(rows, sizes)
        finally:
            sx.set_options(self.app, xblock=1)


class YmodemTest(LrzszCase):
    protocol = "ymodem"

    def test_sizes_both_ways(self):
        self.run_rows([("to rb", "send", ["rb"], exact), ("from sb -k", "receive", ["sb", "-k", "{}"], exact)],
                      SIZES)
        self.run_rows([("from sb (128-byte blocks)", "receive", ["sb", "{}"], exact)], SMALL)

    def test_batch_of_three_both_ways(self):
        batch_both_ways(self, "ymodem", ["rb"], ["sb", "-k"])


class ZmodemTest(LrzszCase):
    protocol = "zmodem"

    def test_sizes_both_ways(self):
        rows = [("to rz", "send", ["rz"], exact), ("from sz", "receive", ["sz", "{}"], exact)]
        escaped = [("escaping all, CRC-16, to rz", "send", ["rz"], exact),
                   ("escaping all from sz -e", "receive", ["sz", "-e", "{}"], exact)]
        self.run_rows(rows, SIZES)
        try:
            sx.set_options(self.app, escape=1, crc32=0)
            self.run_rows(escaped, SIZES)
        finally:
            sx.set_options(self.app, escape=0, crc32=1)

    def test_batch_of_three_both_ways(self):
        batch_both_ways(self, "zmodem", ["rz"], ["sz"])

    def test_auto_start_receives_without_a_menu(self):
        """With auto-start on, sz started at the far end while the terminal
        shows what comes receives into the last folder; with it off, sz's
        start is only text."""
        app = self.app
        path, data = self.file_of(3000, "auto.bin")
        _, _, into = self.receive("zmodem", ["sz", "auto.bin"])
        os.remove(os.path.join(into, "auto.bin"))
        sx.set_options(app, autostart=1)
        try:
            far = self.far(["sz", "auto.bin"], self.source)
            text = sx.wait_end(app)
            self.assert_complete(text, far.wait(30), 1, 3000)
            with open(os.path.join(into, "auto.bin"), "rb") as f:
                self.assertEqual(f.read(), data)
        finally:
            sx.set_options(app, autostart=0)
        far = self.far(["sz", "auto.bin"], self.source)
        time.sleep(3)
        self.assertEqual(app.dialogs(), [], "a receive started with auto-start off")
        far.close()


def batch_both_ways(case, protocol, receiver, sender):
    """Three files (one empty) out to `receiver` and in from `sender`, with
    their names and sizes; the same batch received again gets new names."""
    files = [case.file_of(size, name) for size, name in ((1, "one.bin"), (70000, "two.dat"), (0, "empty"))]
    names = [os.path.basename(p) for p, _ in files]
    text, rc, out = case.send(protocol, [p for p, _ in files], receiver)
    case.assert_complete(text, rc, 3, 70001)
    text, rc, into = case.receive(protocol, sender + names)
    case.assert_complete(text, rc, 3, 70001)
    for (path, data), name in zip(files, names):
        for folder in (out, into):
            with open(os.path.join(folder, name), "rb") as f:
                case.assertEqual(f.read(), data, "%s in %s" % (name, folder))
    # The same batch again into the same folder: nothing is overwritten.
    sx.start_receive(case.app, protocol, into)
    far = case.far(sender + names, case.source)
    text = sx.wait_end(case.app)
    case.assertEqual(far.wait(30), 0)
    case.assertIn("one.bin was saved as one (1).bin: a file of that name was there. So were 2 more files.", text)
    with open(os.path.join(into, "two (1).dat"), "rb") as f:
        case.assertEqual(f.read(), files[1][1])
    case.assertTrue(os.path.exists(os.path.join(into, "empty (1)")))


class XferDialogTest(LrzszCase):
    """The progress dialog, both ends' cancel, and the protocol row."""

    def test_progress_shows_the_send_and_escape_cancels_it(self):
        app = self.app
        path, data = self.file_of(MIB, "firmware.bin")
        sx.start_send(app, "xmodem", [path])
        dlg = sx.progress_dialog(app)
        self.assertEqual(app.text(dlg), "XMODEM Send - COM5")
        self.assertEqual(app.text(dlg, sx.STATE), "Waiting for the receiver to start")
        out = self.folder("xfer-far")
        far = self.far(["rx", "-c", "got.bin"], out)
        wait_until(lambda: int(app.text(dlg, sx.BYTES).split()[0]) >= 64 * KIB, 30, "64 KiB sent")
        self.assertEqual(app.text(dlg, sx.FILE), "firmware.bin")
        self.assertEqual(app.text(dlg, sx.STATE), "Sending")
        self.assertRegex(app.text(dlg, sx.BYTES), r"^\d+ of %d$" % MIB)
        self.assertRegex(app.text(dlg, sx.RATE), r"^\d+\.\d KB/s$")
        self.assertRegex(app.text(dlg, sx.LEFT), r"^\d+:\d\d$")
        snapshot(app, "xfer-progress.png", dlg)
        st.press_escape(app, dlg)
        text = sx.wait_end(app, timeout=20)
        self.assertRegex(text, r"^XMODEM send failed: cancelled by the user\.\r\n"
                               r"firmware\.bin stopped after \d+ of 1048576 bytes\.$")
        self.assertNotEqual(far.wait(30), 0, "rx did not see the abort")

    def test_a_sender_that_cancels_leaves_an_incomplete_file(self):
        """sb stopped half-way, between blocks, and the far end's cancel: the
        file keeps what came, and the message says how much."""
        app = self.app
        path, data = self.file_of(MIB, "firmware.bin")
        into = self.folder("xfer-in")
        sx.start_receive(app, "ymodem", into)
        dlg = sx.progress_dialog(app)
        far = self.far(["sb", "firmware.bin"], self.source)
        wait_until(lambda: int(app.text(dlg, sx.BYTES).split()[0]) >= 64 * KIB, 30, "64 KiB received")
        far.proc.send_signal(signal.SIGSTOP)
        time.sleep(0.5)
        far.write(b"\x18" * 8)
        text = sx.wait_end(app, timeout=30)
        far.proc.kill()
        far.wait(10)
        held = int(re.search(r"firmware\.bin is incomplete: it holds (\d+) bytes\.", text).group(1))
        self.assertTrue(text.startswith("YMODEM receive failed: cancelled by the far end."), text)
        with open(os.path.join(into, "firmware.bin"), "rb") as f:
            got = f.read()
        self.assertEqual(len(got), held)
        self.assertEqual(got, data[:held])

    def test_a_full_disk_ends_the_receive_with_its_message(self):
        """The file received into is on a disk with no room left (a link to
        /dev/full, whose writes fail as a full disk's do): the receive ends
        saying so, the sender hears the abort, and the terminal goes on."""
        app = self.app
        self.file_of(64 * KIB, "image.bin")
        target = os.path.join(self.folder("xfer-in"), "full.bin")
        os.symlink("/dev/full", target)
        text, rc, _ = self.receive("xmodem", ["sx", "-k", "image.bin"], target)
        self.assertEqual(text, "XMODEM receive failed: the file could not be written (disk full?).\r\n"
                               "full.bin is incomplete: it holds 0 bytes.")
        self.assertNotEqual(rc, 0, "sx did not see the abort")
        self.drain_far()
        peer = Peer(self.cable)
        try:
            peer.write(b"still here\r\n")
            wait_terminal(app, "still here")
        finally:
            peer.close()

    def test_row_refuses_a_missing_folder_and_a_wait_of_zero(self):
        app = self.app
        missing = os.path.join(self.scratch, "no-such-folder")
        dlg = sx.open_file_transfer(app, "zmodem", "receive", missing)
        app.call("press", dlg, st.IDOK)
        box = app.wait_message_box("^The folder to receive into does not exist")
        app.dismiss(box)
        self.assertEqual(app.text(dlg, sx.FOLDER_BOX), st.win_path(missing), "the typed folder was lost")
        app.call("click", dlg, sx.OPTIONS_BUTTON)
        opts = app.wait_dialog(sx.OPTIONS_TITLE)["hwnd"]
        app.call("settext", opts, sx.WAIT_BOX, "0")
        app.call("press", opts, st.IDOK)
        app.dismiss(app.wait_message_box("must be 1 to 3600 seconds"))
        self.assertEqual(app.text(opts, sx.WAIT_BOX), "0")
        app.call("press", opts, st.IDCANCEL)
        app.wait_no_dialog(sx.OPTIONS_TITLE)
        # Back to None: File Transfer sends raw bytes again.
        app.call("select", dlg, sx.PROTOCOL_BOX, 0)
        st.click_radio(app, dlg, st.TRANSMIT_RADIO)
        app.call("press", dlg, st.IDOK)
        path, data = self.file_of(100, "raw.bin")
        st.fill_file_dialog(app, st.OPEN_TITLE, path)
        peer = Peer(self.cable)
        try:
            app.dismiss(app.wait_message_box("Tx File ok!"))
            self.assertEqual(peer.read_quiet(), data)
        finally:
            peer.close()


def type_line(app, line):
    app.type_text(line)
    app.type_char(13)


def wait_terminal(app, pattern, timeout=30):
    """The first match of `pattern` in the terminal, once it shows there."""
    return wait_until(lambda: re.search(pattern, app.terminal()), timeout, "%r in the terminal" % pattern)


class UBootTest(LrzszCase):
    """U-Boot (qemu-system-arm) with ZEVRIK as its console on COM5."""

    @classmethod
    def setUpClass(cls):
        cls.uboot = suite().rig.start_uboot(suite().cables[MAIN_PORT])
        try:
            super().setUpClass()
        except BaseException:
            cls.uboot.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            super().tearDownClass()
        finally:
            cls.uboot.stop()

    def test_loadx_and_loady_load_the_image_whole(self):
        """At the prompt ZEVRIK types loadx or loady, sends a 200 KiB image
        with the protocol, then crc32 over what U-Boot loaded: the CRC it
        prints is the file's. (U-Boot's words right after the last block
        may reach the transfer, not the terminal: they are waited for in
        qemu's copy.)"""
        app, uboot, addr = self.app, self.uboot, self.uboot.LOAD_ADDR
        try:
            for command, protocol, xblock in (("loadx", "xmodem", 2), ("loady", "ymodem", 1)):
                with self.subTest(command=command), self.cleaned():
                    # A file of its own: an earlier row's image at the address proves nothing.
                    path, data = self.file_of(200 * KIB, "%s.bin" % command)
                    sx.set_options(app, xblock=xblock)
                    app.clear_terminal()
                    mark = uboot.mark()
                    type_line(app, "%s %x" % (command, addr))
                    wait_terminal(app, r"Ready for binary \(%s\) download" % protocol)
                    sx.start_send(app, protocol, [path])
                    self.assertRegex(sx.wait_end(app, timeout=180), COMPLETE)
                    uboot.wait_for(rb"Total Size\s+= 0x[0-9a-f]+ = %d Bytes" % len(data), after=mark)
                    uboot.wait_prompt(after=mark)
                    app.clear_terminal()
                    type_line(app, "crc32 %x %x" % (addr, len(data)))
                    crc = wait_terminal(app, r"==> ([0-9a-f]{8})").group(1)
                    print("%s: U-Boot's crc32 %s, the file's %08x" % (command, crc, zlib.crc32(data)))
                    self.assertEqual(int(crc, 16), zlib.crc32(data))
        finally:
            sx.set_options(app, xblock=1)


# A bit in 10,000 flipped and a byte in 100,000 lost, each way. make test
# runs each transfer once (about 12 minutes); bench/xfer_noise sets these
# to run 20 of each, or of the protocols it names, and may choose the seed
# (the noise's places follow the seed and the stream, so runs with one seed
# on two cables meet the same noise).
NOISE = zrig.NoiseSpec(flip=1e-4, drop=1e-5, seed=int(os.environ.get("ZEVRIK_NOISE_SEED", "7")))
NOISE_RUNS = int(os.environ.get("ZEVRIK_NOISE_RUNS", "1"))
NOISE_PROTOCOLS = os.environ.get("ZEVRIK_NOISE_PROTOCOLS", "XMODEM-1K,YMODEM,ZMODEM").split(",")
FAILED = r"^(XMODEM|YMODEM|ZMODEM) (send|receive) failed: \S[^\r\n]*\.(\r\n|$)"
INCOMPLETE = r"(\S+) is incomplete: it holds (\d+) bytes?\."
CAME_WHOLE = r"\b1 earlier file, 262144 bytes, came whole\."


def noise_met(before, after):
    return ", ".join("%s %d bytes, %d flips, %d drops" % ((d,) + tuple(after[d][k] - before[d][k] for k in
                                                                        ("read", "flips", "drops"))) for d in after)


def lay_relaid(noise):
    """COM16's cable laid again, noisy or clean; the one before is pulled."""
    cables = suite().cables
    old = cables[RELAID_PORT]
    cables[RELAID_PORT] = suite().rig.lay_again(old, noise=noise)
    old.kill()


class RelaidCase(LrzszCase):
    """The class's app on COM16, its cable laid again through the rig's relay
    with `noise`, and without it after."""

    port = RELAID_PORT
    noise = zrig.NoiseSpec(0, 0)

    @classmethod
    def setUpClass(cls):
        lay_relaid(cls.noise)
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        try:
            super().tearDownClass()
        finally:
            lay_relaid(None)


class StalledReceiverTest(RelaidCase):
    """Through the relay, which carries each way on its own as a cable does:
    socat stops both ways while its write to a full side waits, so on its
    cables the far end's CANs could not come back past the stalled send."""

    def test_a_receiver_that_stops_reading_and_cancels_ends_the_send(self):
        """rz stopped half-way: the cable fills and the port takes no more.
        Its CANs then end the send at once as the far end's cancel, not as
        a port that took nothing for 30 s."""
        app = self.app
        path, _ = self.file_of(4 * MIB, "big.bin")
        sx.start_send(app, "zmodem", [path])
        dlg = sx.progress_dialog(app)
        far = self.far(["rz"], self.folder("xfer-far"))
        sent = lambda: int(app.text(dlg, sx.BYTES).split()[0])
        wait_until(lambda: sent() >= 64 * KIB, 30, "64 KiB sent")
        far.proc.send_signal(signal.SIGSTOP)

        def stalled():
            before = sent()
            time.sleep(1)
            return sent() == before
        wait_until(stalled, 20, "the send to stall")
        far.write(b"\x18" * 8)
        started = time.monotonic()
        text = sx.wait_end(app, timeout=40)
        self.assertLess(time.monotonic() - started, 10, text)
        self.assertTrue(text.startswith("ZMODEM send failed: cancelled by the far end."), text)
        far.proc.kill()
        far.wait(10)
        self.drain_far()


class NoiseTest(RelaidCase):
    """Through a noisy cable on COM16 every transfer either delivers the
    file whole or ends with a failure that says so: a wrong file is never
    reported complete, and a partial received file is named with its size
    and holds the file's first bytes."""

    noise = NOISE
    end_wait = 900

    def settle(self):
        """What an earlier transfer left in the cable is gone: the far end
        read until quiet, the relay holding nothing for the app."""
        self.drain_far()

        def passed_on():
            to_app = self.cable.noise_counts()["to_app"]
            return to_app["read"] == to_app["passed"] + to_app["drops"]
        wait_until(passed_on, 10, "the relay to pass its bytes on")
        self.app.settle()

    def test_every_transfer_is_whole_or_says_it_failed(self):
        padded, stripped = lambda g, d: sx.xmodem_padded(g, d, 1024), lambda g, d: g == d.rstrip(sx.SUB)
        rows = [("XMODEM-1K", "xmodem", "send", ["rx", "-c", "got.bin"], padded),
                ("XMODEM-1K", "xmodem", "receive", ["sx", "-k", "{}"], stripped),
                ("YMODEM", "ymodem", "send", ["rb"], exact),
                ("YMODEM", "ymodem", "receive", ["sb", "-k", "{}"], exact),
                ("ZMODEM", "zmodem", "send", ["rz"], exact),
                ("ZMODEM", "zmodem", "receive", ["sz", "{}"], exact)]
        rows = [row for row in rows if row[0] in NOISE_PROTOCOLS]
        path, data = self.file_of(256 * KIB, "noisy.bin")
        complete = {(label, direction): 0 for label, _, direction, _, _ in rows}
        started = time.monotonic()
        sx.set_options(self.app, xblock=2)
        try:
            for run in range(NOISE_RUNS):
                for label, protocol, direction, argv, check in rows:
                    with self.subTest(row=label, direction=direction, run=run), self.cleaned():
                        self.settle()
                        t0, before = time.monotonic(), self.cable.noise_counts()
                        text, rc, got = self.transfer(protocol, direction, argv, path)
                        after = self.cable.noise_counts()
                        print("%s %s: %s (%.0f s, far end's exit %s; %s)"
                              % (label, direction, text.splitlines()[0], time.monotonic() - t0, rc,
                                 noise_met(before, after)))
                        self.assertTrue(all(after[d]["read"] > before[d]["read"] for d in after),
                                        "the relay carried nothing one way: is COM16 mapped to it?")
                        if re.match(COMPLETE, text):
                            complete[label, direction] += 1
                            self.assertTrue(got is not None and check(got, data), "a wrong file is complete")
                            continue
                        self.assertRegex(text, FAILED)
                        cut = re.search(INCOMPLETE, text)
                        if direction == "receive" and got is not None and re.search(CAME_WHOLE, text):
                            # the session failed after the file, at its close
                            self.assertTrue(check(got, data), "a wrong file said whole: %r" % text)
                        elif direction == "receive" and got is not None:
                            self.assertIsNotNone(cut, "a partial file not named: %r" % text)
                            self.assertEqual(got, data[:int(cut.group(2))], text)
        finally:
            sx.set_options(self.app, xblock=1)
            print("\nnoise: %d runs of 256 KiB each, %.0f s; complete: %s; the cable: %s"
                  % (NOISE_RUNS, time.monotonic() - started,
                     ", ".join("%s %s %d" % (k + (v,)) for k, v in complete.items()), self.cable.noise_counts()))


if __name__ == "__main__":
    unittest.main()
