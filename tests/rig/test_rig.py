"""Self-tests of the Wine rig (scripts/zrig.py).

    test_rig.py --build-dir DIR --cable-test EXE --guard-probe EXE CASE...

CASE: cable, lines, guard, teardown, screenshot, uboot, noise.
"""

import argparse
import json
import math
import os
import random
import re
import select
import shutil
import struct
import subprocess
import sys
import time
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import zrig  # noqa: E402

ARGS = None
FONTS_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts"

# Opens each path given as a device would be opened and reports the outcome.
DIRECT_PROBE = r"""
import os, sys
for path in sys.argv[1:]:
    try:
        fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    except OSError as e:
        print("refused", path, e.errno)
        continue
    os.close(fd)
    print("OPENED", path)
"""


# For each path (or "pipe"), through ioctl() as Wine calls it: TIOCMBIS of
# DTR and RTS, TIOCMGET, TIOCMBIC of DTR, TIOCMGET, TCGETS; each answer the
# lines got, 0 for another success, or "errno N".  JSON.
LINES_PROBE = r"""
import fcntl, json, os, struct, sys, termios
def call(fd, request, arg):
    try:
        got = fcntl.ioctl(fd, request, arg)
    except OSError as e:
        return "errno %d" % e.errno
    return struct.unpack("i", got)[0] if request == termios.TIOCMGET else 0
out = {}
for path in sys.argv[1:]:
    fd = os.pipe()[0] if path == "pipe" else os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    get = struct.pack("i", 0)
    out[path] = [call(fd, termios.TIOCMBIS, struct.pack("i", termios.TIOCM_DTR | termios.TIOCM_RTS)),
                 call(fd, termios.TIOCMGET, get),
                 call(fd, termios.TIOCMBIC, struct.pack("i", termios.TIOCM_DTR)),
                 call(fd, termios.TIOCMGET, get),
                 call(fd, termios.TCGETS, bytes(64))]
print(json.dumps(out))
"""


def _pid_alive(pid):
    """True for a running process; a zombie counts as ended."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def _prefix_pids(prefix):
    """Live processes whose environment names the given Wine prefix."""
    pids = []
    want = ("WINEPREFIX=" + prefix).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if want in env and _pid_alive(int(entry)):
            pids.append(int(entry))
    return pids


def _png_pixels(path):
    """Decodes an 8-bit RGB PNG without filters, as zrig writes it."""
    with open(path, "rb") as f:
        data = f.read()
    width, height = struct.unpack(">II", data[16:24])
    pos, idat = 8, b""
    while pos < len(data):
        length = struct.unpack(">I", data[pos:pos + 4])[0]
        if data[pos + 4:pos + 8] == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = 1 + 3 * width
    return width, height, [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]


def _xwd(width, height, pixels, byte_order):
    """An xwd dump of a 24-bit TrueColor screen holding `pixels` (0xRRGGBB)."""
    name = b"zrig\0"
    header_size = 100 + len(name)
    bpl = 4 * width
    fields = [header_size, 7, 2, 24, width, height, 0, byte_order, 32, byte_order, 32, 32, bpl,
              4, 0xFF0000, 0xFF00, 0xFF, 8, 256, 1, width, height, 0, 0, 0]
    head = struct.pack(">25I", *fields) + name + b"\0" * 12
    order = "little" if byte_order == 0 else "big"
    body = b"".join(p.to_bytes(4, order) for p in pixels)
    return head + body


class CableTest(unittest.TestCase):
    def test_64k_each_way_between_both_ends_of_one_cable(self):
        with zrig.Rig(ARGS.build_dir, "rig-cable", display="none") as rig:
            cable = rig.add_cable(None)
            rig.map_com("COM5", cable.app_path)
            rig.map_com("COM6", cable.far_path)
            rc, out, err = rig.wine(ARGS.cable_test, ["COM5", "COM6", str(64 * 1024)], timeout=180)
            print(out, end="")
            self.assertEqual(rc, 0, out + err)
            self.assertIn("cable OK", out)
            self.assertEqual(zrig.tcgetattr_speed(cable.app_path), 115200)
            self.assertEqual(zrig.tcgetattr_speed(cable.far_path), 115200)
            links = rig.dosdevice_links()
            self.assertEqual(links.get("COM5"), cable.app_path)
            self.assertEqual(links.get("COM6"), cable.far_path)

    def test_pty_follows_the_rate_the_program_sets(self):
        with zrig.Rig(ARGS.build_dir, "rig-cable", display="none") as rig:
            cable = rig.add_cable("COM7")
            rig.map_com("COM8", cable.far_path)
            rc, out, err = rig.wine(ARGS.cable_test, ["COM7", "COM8", "256", "57600"], timeout=120)
            self.assertEqual(rc, 0, out + err)
            self.assertEqual(zrig.tcgetattr_speed(cable.app_path), 57600)
            self.assertEqual(zrig.tcgetattr_speed(cable.far_path), 57600)

    def test_far_end_talks_to_app_end_and_loopback_echoes(self):
        with zrig.Rig(ARGS.build_dir, "rig-cable", display="none") as rig:
            cable = rig.add_cable("COM5")
            loop = rig.add_loopback("COM6")
            far = zrig.open_far(cable.far_path)
            app = zrig.open_far(cable.app_path)
            echo = zrig.open_far(loop.app_path)
            try:
                os.write(far, b"\x00\x0d\x0a\xff" * 64)
                self.assertEqual(_read_exactly(app, 256), b"\x00\x0d\x0a\xff" * 64)
                os.write(app, b"back")
                self.assertEqual(_read_exactly(far, 4), b"back")
                payload = bytes(range(256)) * 4
                os.write(echo, payload)
                self.assertEqual(_read_exactly(echo, len(payload)), payload)
            finally:
                for fd in (far, app, echo):
                    os.close(fd)

    def test_killed_cable_vanishes(self):
        with zrig.Rig(ARGS.build_dir, "rig-cable", display="none") as rig:
            cable = rig.add_cable("COM5")
            other = rig.add_cable("COM6")
            self.assertTrue(os.path.exists(cable.app_path))
            cable.kill()
            self.assertFalse(cable.alive)
            deadline = time.monotonic() + 5
            while os.path.exists(cable.app_path) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertFalse(os.path.exists(cable.app_path))
            self.assertFalse(os.path.exists(cable.far_path))
            self.assertTrue(other.alive)
            self.assertTrue(os.path.exists(other.app_path))


class LinesTest(unittest.TestCase):
    """The control-line library answers for the rig's own ptys only."""

    def probe(self, rig, paths, preload=True):
        if preload:
            rc, out, err = rig.run(["python3", "-c", LINES_PROBE] + paths)
        else:
            env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ZRIG_LINES")}
            proc = subprocess.run(["python3", "-c", LINES_PROBE] + paths, env=env,
                                  capture_output=True, text=True, timeout=60)
            rc, out, err = proc.returncode, proc.stdout, proc.stderr
        self.assertEqual(rc, 0, err)
        return json.loads(out)

    def test_null_modem_wiring_loopback_plug_and_other_ttys_left_alone(self):
        dtr, rts, cts, car, ri, dsr = (zrig.TIOCM_DTR, zrig.TIOCM_RTS, zrig.TIOCM_CTS,
                                       zrig.TIOCM_CAR, zrig.TIOCM_RI, zrig.TIOCM_DSR)
        with zrig.Rig(ARGS.build_dir, "rig-lines", display="none") as rig:
            cable = rig.add_cable("COM5")
            loop = rig.add_loopback("COM6")
            plain = rig.add_cable("COM7", lines=False)
            self.assertEqual(cable.far_lines(), {"dsr": False, "dcd": False, "cts": False, "ri": False})
            cable.set_lines(rts=False, ri=True)
            seen = self.probe(rig, [cable.app_path, cable.far_path, loop.app_path])
            # The app end: its own DTR/RTS, the far DTR as DSR and DCD, the ring;
            # the far end: its own lines, the app's RTS as CTS (DTR dropped).
            self.assertEqual(seen[cable.app_path], [0, dtr | rts | dsr | car | ri, 0, rts | dsr | car | ri, 0])
            self.assertEqual(seen[cable.far_path], [0, dtr | rts | cts, 0, rts | cts, 0])
            self.assertEqual(cable.far_lines(), {"dsr": False, "dcd": False, "cts": True, "ri": False})
            # A loopback plug: the port's own DTR drives its DSR and DCD, RTS its CTS.
            self.assertEqual(seen[loop.app_path], [0, dtr | rts | dsr | car | cts, 0, rts | cts, 0])
            others = [plain.app_path, plain.far_path, "/dev/null", "pipe"]
            with_library = self.probe(rig, others)
            self.assertEqual(with_library, self.probe(rig, others, preload=False))
            self.assertTrue(str(with_library[plain.app_path][0]).startswith("errno"), with_library)


def _read_exactly(fd, count, timeout=5):
    data = b""
    deadline = time.monotonic() + timeout
    while len(data) < count and time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            data += os.read(fd, count - len(data))
    return data


class GuardTest(unittest.TestCase):
    def test_no_real_serial_device_opens_under_the_rig(self):
        host = zrig.host_serial_devices()
        print("host serial devices:", " ".join(host) or "none")
        fd_links = _fd_links_to(host)
        with zrig.Rig(ARGS.build_dir, "rig-guard", display="none") as rig:
            print("guard mode:", rig.guard.mode, "uid", rig.guard.owner[0])
            # Direct opening, as any Linux program under the rig would try.
            rc, out, err = rig.run(["python3", "-c", DIRECT_PROBE] + host + fd_links)
            print(out, end="")
            self.assertEqual(rc, 0, err)
            self.assertNotIn("OPENED", out)
            self.assertEqual(out.count("refused"), len(host) + len(fd_links))

            # A prefix whose registry names real devices, as a hand edit would;
            # COM9 is a cable of the rig, the control that the probe sees a line.
            rig.add_cable("COM9")
            simulated = {}
            for i, dev in enumerate(host):
                simulated["COM%d" % (20 + i)] = dev
                rig.mapping["COM%d" % (20 + i)] = dev
            paths = ["\\\\.\\" + com for com in simulated]
            paths += ["Z:" + dev.replace("/", "\\") for dev in host]
            paths += ["\\\\?\\unix" + dev.replace("/", "\\") for dev in host]
            paths += ["\\\\.\\COM%d" % n for n in range(1, 5)]
            rc, out, err = rig.wine(ARGS.guard_probe, paths + ["\\\\.\\COM9"], timeout=120)
            print(out, end="")
            opened = [line for line in out.splitlines() if line.startswith("OPENED")]
            self.assertEqual(len(opened), 1, out + err)
            self.assertTrue(opened[0].startswith("OPENED \\\\.\\COM9 "), out)
            self.assertEqual(rc, 1, out + err)

            links = rig.dosdevice_links()
            for com, dev in simulated.items():
                self.assertEqual(links.get(com), dev, "Wine did not lay the link the test tries")
            strays = [com for com, target in links.items()
                      if com not in simulated and not target.startswith("/dev/pts/")]
            if strays:
                rc, out, err = rig.wine(ARGS.guard_probe, ["\\\\.\\" + c for c in strays], timeout=120)
                print(out, end="")
                self.assertEqual(rc, 0, out + err)

    def test_mapping_a_device_that_was_not_allowed_is_refused(self):
        with zrig.Rig(ARGS.build_dir, "rig-guard", display="none") as rig:
            with self.assertRaises(zrig.GuardError):
                rig.map_com("COM3", "/dev/ttyS0")
            with self.assertRaises(ValueError):
                rig.add_cable("COM257")


def _fd_links_to(devices):
    """/proc/PID/fd entries of other processes that hold one of `devices` open."""
    links = []
    wanted = set(devices)
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        fd_dir = "/proc/%s/fd" % pid
        try:
            for fd in os.listdir(fd_dir):
                if os.readlink(os.path.join(fd_dir, fd)) in wanted:
                    links.append(os.path.join(fd_dir, fd))
        except OSError:
            continue
    return links[:8]


class TeardownTest(unittest.TestCase):
    def test_ends_only_what_it_started(self):
        bystander = subprocess.Popen(["sleep", "120"])
        try:
            with zrig.Rig(ARGS.build_dir, "rig-teardown", display="xvfb") as rig:
                prefix = rig.prefix
                self.assertTrue(prefix.startswith(os.path.abspath(ARGS.build_dir) + os.sep))
                cable = rig.add_cable("COM5")
                app = rig.start("notepad")
                deadline = time.monotonic() + 60
                while time.monotonic() < deadline and not any(
                        "notepad.exe" in cmd for _, cmd in rig.wine_processes()):
                    time.sleep(0.2)
                started = [app.pid, cable.proc.pid, rig._xvfb.pid] + _prefix_pids(prefix)
                self.assertTrue(any("notepad.exe" in cmd for _, cmd in rig.wine_processes()))
                self.assertTrue(all(_pid_alive(p) for p in started[:3]))
                self.assertIsNone(app.poll())
            time.sleep(0.5)
            self.assertEqual([p for p in started if _pid_alive(p)], [])
            self.assertEqual(_prefix_pids(prefix), [])
            self.assertIsNone(bystander.poll())
        finally:
            bystander.kill()
            bystander.wait()


class ScreenshotTest(unittest.TestCase):
    def test_xwd_conversion_keeps_colours_in_both_byte_orders(self):
        pixels = [0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000]
        for byte_order in (0, 1):
            path = os.path.join(ARGS.build_dir, "wine", "xwd-%d.png" % byte_order)
            zrig.xwd_to_png(_xwd(3, 2, pixels, byte_order), path)
            width, height, rows = _png_pixels(path)
            self.assertEqual((width, height), (3, 2))
            got = [int.from_bytes(r[3 * x:3 * x + 3], "big") for r in rows for x in range(3)]
            self.assertEqual(got, pixels)

    def test_screenshot_of_a_wine_desktop(self):
        path = os.path.join(ARGS.build_dir, "wine", "rig-desktop.png")
        with zrig.Rig(ARGS.build_dir, "rig-shot", display="xvfb") as rig:
            rig.start("notepad", desktop=("zrig", "1024x768"))
            colours = set()
            deadline = time.monotonic() + 30
            while len(colours) < 3 and time.monotonic() < deadline:
                time.sleep(1)
                rig.screenshot(path)
                width, height, rows = _png_pixels(path)
                colours = {bytes(r[i:i + 3]) for r in rows[::16] for i in range(0, len(r), 48)}
        print("screenshot:", path)
        self.assertEqual(zrig.read_png_size(path), (1024, 768))
        self.assertGreaterEqual(len(colours), 3, "the desktop never appeared")


    def test_wine_finds_its_own_fonts(self):
        """Marlett draws the title-bar buttons; without it screenshots show "0 1 r".
        A fresh prefix: Wine keeps the fonts it once found in the registry."""
        shutil.rmtree(os.path.join(ARGS.build_dir, "wine-fonts"), ignore_errors=True)
        with zrig.Rig(ARGS.build_dir, "rig-fonts", display="none", wine_dir="wine-fonts") as rig:
            rc, out, err = rig.wine("reg", ["query", FONTS_KEY])
        self.assertEqual(rc, 0, err)
        for face, name in (("Marlett", "marlett.ttf"), ("Tahoma", "tahoma.ttf")):
            self.assertRegex(out, r"(?m)^\s+%s \(TrueType\)\s+REG_SZ\s+Z:\\usr\\share\\wine\\fonts\\%s\s*$"
                             % (face, re.escape(name)))


class UBootTest(unittest.TestCase):
    """U-Boot at the far end, driven from the app end as the program would,
    with lrzsz's sb sending in its place."""

    def test_boots_to_its_prompt_takes_a_ymodem_image_and_boots_again(self):
        image = random.Random(23).randbytes(200 * 1024 + 123)
        path = os.path.join(ARGS.build_dir, "wine", "uboot-image.bin")
        with open(path, "wb") as f:
            f.write(image)
        with zrig.Rig(ARGS.build_dir, "rig-uboot", display="none") as rig:
            uboot = rig.add_uboot("COM5")
            print("U-Boot prompt %.2f s after qemu started" % uboot.boot_seconds)
            app = zrig.open_far(uboot.cable.app_path)
            try:
                self.assertEqual(_read_exactly(app, 1, timeout=0.3), b"", "boot output left for the program")
                mark = uboot.mark()
                os.write(app, b"version\r")
                uboot.wait_prompt(after=mark)
                said = uboot.output()[mark:]
                self.assertIn(b"U-Boot 20", said)
                self.assertEqual(_read_exactly(app, len(said)), said)

                mark = uboot.mark()
                os.write(app, b"loady 0x%x\r" % uboot.LOAD_ADDR)
                uboot.wait_for(rb"ymodem\) download.*\r\nC", after=mark)
                t0 = time.monotonic()
                sent = subprocess.run(["sb", "-k", path], stdin=app, stdout=app, stderr=subprocess.PIPE,
                                      timeout=120)
                self.assertEqual(sent.returncode, 0, sent.stderr)
                uboot.wait_prompt(after=mark, timeout=20)
                print("sb: %d bytes in %.1f s" % (len(image), time.monotonic() - t0))
                self.assertRegex(uboot.output()[mark:], rb"Total Size\s+= 0x[0-9a-f]+ = %d Bytes" % len(image))

                mark = uboot.mark()
                os.write(app, b"crc32 0x%x ${filesize}\r" % uboot.LOAD_ADDR)
                found = uboot.wait_for(rb"==> ([0-9a-f]{8})", after=mark)
                self.assertEqual(found.group(1).decode(), "%08x" % zlib.crc32(image))
                uboot.wait_prompt(after=mark)

                # Stopped and booted again behind the same port: what was
                # typed in between never reaches the new U-Boot.
                uboot.stop()
                self.assertFalse(uboot.alive)
                self.assertTrue(uboot.cable.alive)
                _read_exactly(app, 1 << 20, timeout=0.3)
                os.write(app, b"bogus\r")
                time.sleep(0.2)
                again = rig.start_uboot(uboot.cable)
                mark = again.mark()
                os.write(app, b"version\r")
                again.wait_prompt(after=mark)
                self.assertNotIn(b"ogus", again.output())
                self.assertEqual(_read_exactly(app, 1 << 20, timeout=0.5), again.output()[mark:])
            finally:
                os.close(app)
            pid = again.proc.pid
        self.assertFalse(_pid_alive(pid), "the rig left qemu running")


def _exchange(pairs, quiet=1.0, limit=120):
    """Sends each (source fd, sink fd, data) at the same time and returns what
    each sink received once everything is sent and the line is quiet."""
    for src, dst, _ in pairs:
        os.set_blocking(src, False)
        os.set_blocking(dst, False)
    sent = [0] * len(pairs)
    got = [bytearray() for _ in pairs]
    last = time.monotonic()
    deadline = last + limit
    while time.monotonic() < deadline:
        writing = [p[0] for i, p in enumerate(pairs) if sent[i] < len(p[2])]
        readable, writable, _ = select.select([p[1] for p in pairs], writing, [], 0.1)
        for i, (src, dst, data) in enumerate(pairs):
            try:
                if src in writable and sent[i] < len(data):
                    sent[i] += os.write(src, data[sent[i]:sent[i] + 4096])
                if dst in readable:
                    got[i] += os.read(dst, 65536)
                    last = time.monotonic()
            except BlockingIOError:
                pass
        if not writing and time.monotonic() - last > quiet:
            break
    return [bytes(g) for g in got]


def _noise_events(log):
    """{direction: ({(byte, bit) flipped}, {byte dropped})} from a relay's log."""
    events = {d: (set(), set()) for d in ("to_far", "to_app")}
    with open(log) as f:
        for line in f:
            word = line.split()
            if word[1] == "flip":
                events[word[0]][0].add((int(word[2]), int(word[3])))
            elif word[1] == "drop":
                events[word[0]][1].add(int(word[2]))
    return events


def _within_6_sigma(count, trials, p):
    mean = trials * p
    sigma = math.sqrt(trials * p * (1 - p))
    return mean - 6 * sigma <= count <= mean + 6 * sigma


class NoiseTest(unittest.TestCase):
    SIZE = 256 * 1024

    def test_noisy_cables_flip_and_drop_as_seeded_and_a_quiet_one_is_exact(self):
        specs = [zrig.NoiseSpec(flip=0, drop=0), zrig.NoiseSpec(),
                 zrig.NoiseSpec(flip=1e-3, drop=1e-3, seed=5), zrig.NoiseSpec(flip=1e-3, drop=1e-3, seed=5)]
        to_far = random.Random(1).randbytes(self.SIZE)
        to_app = random.Random(2).randbytes(self.SIZE)
        with zrig.Rig(ARGS.build_dir, "rig-noise", display="none") as rig:
            cables = [rig.add_cable("COM5" if i == 0 else None, noise=spec) for i, spec in enumerate(specs)]
            fds = [(zrig.open_far(c.app_path), zrig.open_far(c.far_path)) for c in cables]
            try:
                pairs = [p for app, far in fds for p in ((app, far, to_far), (far, app, to_app))]
                got = _exchange(pairs)
            finally:
                for pair in fds:
                    for fd in pair:
                        os.close(fd)
            results = []
            for i, (cable, spec) in enumerate(zip(cables, specs)):
                counts, events = cable.noise_counts(), _noise_events(cable.noise_log)
                for direction, sent, received in (("to_far", to_far, got[2 * i]),
                                                  ("to_app", to_app, got[2 * i + 1])):
                    with self.subTest(spec=spec, direction=direction):
                        c = counts[direction]
                        print(spec, direction, c)
                        self.assertEqual(c["read"], len(sent))
                        self.assertEqual((c["passed"], c["passed"] + c["drops"]), (len(received), len(sent)))
                        flips, drops = events[direction]
                        self.assertEqual((len(flips), len(drops)), (c["flips"], c["drops"]))
                        # Apart from the logged drops, the bytes differ in the logged bits only.
                        kept = [at for at in range(len(sent)) if at not in drops]
                        changed = {(at, bit) for at, b in zip(kept, received) for bit in range(8)
                                   if (sent[at] ^ b) >> bit & 1}
                        self.assertEqual(changed, flips)
                        self.assertTrue(_within_6_sigma(c["flips"], 8 * c["passed"], spec.flip), c)
                        self.assertTrue(_within_6_sigma(c["drops"], len(sent), spec.drop), c)
                results.append(got[2 * i:2 * i + 2])
            # Plain comparisons: a diff of 256 KiB would take minutes.
            self.assertTrue(results[0] == [to_far, to_app], "the quiet cable changed bytes")
            self.assertTrue(results[2] == results[3], "one seed, two different noises")
            self.assertTrue(results[1] != results[2])


CASES = {"cable": CableTest, "lines": LinesTest, "guard": GuardTest, "teardown": TeardownTest,
         "screenshot": ScreenshotTest, "uboot": UBootTest, "noise": NoiseTest}


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--cable-test", required=True)
    parser.add_argument("--guard-probe", required=True)
    parser.add_argument("cases", nargs="+", choices=sorted(CASES))
    ARGS = parser.parse_args()
    suite = unittest.TestSuite()
    for case in ARGS.cases:
        suite.addTest(unittest.defaultTestLoader.loadTestsFromTestCase(CASES[case]))
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    return 0 if result.wasSuccessful() and result.testsRun else 1


if __name__ == "__main__":
    sys.exit(main())
