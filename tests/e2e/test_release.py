"""The release: a settings file named on the command line (what the .csi
association runs), and the installer made from installer/zevrik.nsi,
installed silently into a fresh prefix, used and uninstalled silently."""

import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import types
import unittest

from harness import MAIN_PORT, ROOT, App, Peer, Suite, suite, wait_until
from harness_settings import (BAUD, PARITY, PORT, make_image, quiet, read_file, scratch_file,
                              win_path)

import dist
import zrig

LOADED = "Loading csi File Success! "
CREATE_FILE_ERROR = ("CreateFile() Error!", "")
UNINST_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEVRIK"
CSI_KEY = r"HKLM\Software\Classes\.csi"
PROGID_KEY = r"HKLM\Software\Classes\ZEVRIK.csi"
START_MENU = "ProgramData/Microsoft/Windows/Start Menu/Programs/ZEVRIK.lnk"
INSTALLED = set(dist.STAGED) | {"uninstall.exe"}


def main_suite_file(name, data):
    """A file in the main rig's scratch folder, before any app is started."""
    return scratch_file(types.SimpleNamespace(suite=suite()), name, data)


class CommandLineTest(unittest.TestCase):
    """zevrik.exe "file.csi": loaded as "Open csi File" loads a chosen file."""

    def test_named_file_loads_opens_the_port_and_is_held_for_save(self):
        image = make_image({PORT: 4, BAUD: 14, PARITY: 1})
        path = main_suite_file("named on the command line.csi", image)
        app = App(args=[win_path(path)])
        try:
            box = app.wait_message_box("^Loading csi File")
            self.assertEqual((box["text"], box["caption"]), (LOADED, "ZEVRIK"))
            app.dismiss(box)
            app.wait_open(MAIN_PORT)
            self.assertEqual(app.summary(), "COM5, 57600, 8, Even, 1")
            self.assertEqual(zrig.tcgetattr_speed(app.suite.cables[MAIN_PORT].app_path), 57600)
            # Held: "Save csi File" writes into it again without asking for a name.
            with open(path, "r+b") as f:
                f.write(bytes(len(image)))
            app.call("postcommand", "main", 40002)
            self.assertEqual(quiet(app), [])
            wait_until(lambda: read_file(path) == image, 5, "the held file to be written back")
        finally:
            app.quit()

    def test_refused_and_missing_files_leave_the_program_running_with_the_port_closed(self):
        bad = main_suite_file("bad rate.csi", make_image({PORT: 4, BAUD: 27}))
        missing = main_suite_file("missing.csi", None)
        cases = ((bad, ("INF035:Loading csi File Error! fnBufToFileData() return 4", "ZEVRIK")),
                 (missing, CREATE_FILE_ERROR))
        for path, (text, caption) in cases:
            with self.subTest(os.path.basename(path)):
                app = App(args=[win_path(path)])
                try:
                    box = app.wait_message_box(".")
                    self.assertEqual((box["text"], box["caption"]), (text, caption))
                    app.dismiss(box)
                    self.assertEqual(quiet(app), [])
                    self.assertTrue(app.alive())
                    self.assertEqual(app.summary(), "")
                    self.assertFalse(app.menu(40007)["grayed"], "COM Open stays available")
                finally:
                    app.quit()


class VersionTest(unittest.TestCase):
    """The project version, of two or three parts, reaches the version
    resource, the manifest and the installer's version record alike."""

    def test_two_and_three_part_versions(self):
        found = glob.glob(os.path.join(os.environ["ZEVRIK_E2E_BUILD"], "CMakeFiles", "*",
                                       "CMakeRCCompiler.cmake"))
        rc = re.search(r'CMAKE_RC_COMPILER "(.*)"', open(found[0]).read()).group(1)
        res_dir = os.path.join(ROOT, "src", "res")
        for ver, quad in (("2.1", (2, 1, 0, 0)), ("3.4.5", (3, 4, 5, 0))):
            with self.subTest(version=ver), tempfile.TemporaryDirectory() as out:
                subprocess.run(["cmake", "-DZEVRIK_VERSION=" + ver, "-DOUT=" + out, "-P",
                                os.path.join(ROOT, "cmake", "version.cmake")], check=True)
                res = os.path.join(out, "zevrik.res")
                subprocess.run([rc, "-I", os.path.join(out, "generated"), "-I", res_dir,
                                os.path.join(res_dir, "zevrik.rc"), "-o", res], check=True)
                data = open(res, "rb").read()
                fixed = data.index(struct.pack("<I", 0xFEEF04BD))
                ms, ls = struct.unpack_from("<II", data, fixed + 8)
                self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), quad)
                text = ".".join(map(str, quad))
                self.assertIn(b'name="Zevrik.Terminal" version="%s"' % text.encode(), data)
                self.assertEqual(dist.version_quad(ver), text)


class InstallSuite(Suite):
    """A rig of its own on a fresh prefix, for the installed program."""

    def __init__(self, build, view):
        shutil.rmtree(os.path.join(build, "wine-install"), ignore_errors=True)
        super().__init__(build, "install", wine_dir="wine-install", ports=("COM1",))
        self.view = view

    def unix(self, windows_path):
        """Where a C: path of the prefix lies on this machine."""
        rest = re.sub(r"^[Cc]:\\", "", windows_path).replace("\\", "/")
        return os.path.join(self.rig.prefix, "drive_c", rest)

    def reg(self, key, value=None):
        """The data of a value (None: the key's default), or None when the
        key or value does not exist."""
        args = ["query", key] + (["/v", value] if value else ["/ve"]) + self.view
        rc, out, _ = self.rig.wine("reg", args, timeout=60)
        if rc != 0:
            return None
        m = re.search(r"^\s+\S.*?\s{4}REG_\w+\s{4}(.*?)\s*$", out, re.M)
        return m.group(1) if m else None


def build_installers(build, out_dir):
    """The installer this machine runs, around the tested build's exe, and,
    where the i686 product exists beside it, the shipping x86 one around it.
    Returns {target: path}."""
    root = os.path.dirname(build)
    native = os.path.join(root, "native")
    ver = dist.version(build)
    trees = {"x86-unicode": os.path.join(root, "win32")}
    if zrig.pe_machine(os.path.join(build, "src", "zevrik.exe")) == 0x8664:
        trees["amd64-unicode"] = build
    made = {}
    for target, tree in trees.items():
        exe = os.path.join(tree, "src", "zevrik.exe")
        if os.path.exists(exe):
            stage = dist.stage(os.path.join(out_dir, "stage-" + target), exe, native)
            made[target] = dist.installer(stage, ver, target,
                                          os.path.join(out_dir, "zevrik-%s-%s.exe" % (ver, target)))
    return made


class InstallTest(unittest.TestCase):
    """Silent install, the installed program with an example file, silent
    uninstall; in this order, on one fresh prefix."""

    @classmethod
    def setUpClass(cls):
        build = os.environ["ZEVRIK_E2E_BUILD"]
        cls.installers = build_installers(build, os.path.join(build, "installer"))
        cls.target = "x86-unicode" if zrig.can_run_32bit() else "amd64-unicode"
        print("\n  install test runs the %s installer%s" % (
            cls.target, "" if zrig.can_run_32bit() else " (this kernel runs no 32-bit code)"),
            file=sys.stderr)
        # The registry as the installer saw it: a 32-bit one writes the 32-bit view.
        cls.on = InstallSuite(build, ["/reg:32"] if cls.target == "x86-unicode" else ["/reg:64"])
        rc, out, err = cls.on.rig.wine(cls.installers[cls.target], ["/S"], timeout=300)
        if rc != 0:
            cls.on.close()
            raise AssertionError("silent install ended with %s: %s%s" % (rc, out, err))
        cls.location = cls.on.reg(UNINST_KEY, "InstallLocation")

    @classmethod
    def tearDownClass(cls):
        cls.on.close()

    def test_0_installers_are_built_for_both_targets_from_one_script(self):
        machines = {"x86-unicode": 0x14C, "amd64-unicode": 0x8664}
        for target, path in self.installers.items():
            self.assertEqual(zrig.pe_machine(path), machines[target], target)
        self.assertIn("x86-unicode", self.installers, "the shipping installer is built")

    def test_1_silent_install_lays_files_shortcut_uninstaller_and_association(self):
        on = self.on
        # A 32-bit installer in a 64-bit prefix lands in "Program Files (x86)", as on Windows.
        places = {"C:\\Program Files\\ZEVRIK"}
        if self.target == "x86-unicode":
            places.add("C:\\Program Files (x86)\\ZEVRIK")
        self.assertIn(self.location, places)
        exe = self.location + "\\zevrik.exe"
        home = on.unix(self.location)
        found = {os.path.relpath(os.path.join(d, f), home) for d, _, fs in os.walk(home) for f in fs}
        self.assertEqual(found, INSTALLED)
        stage = os.path.join(os.environ["ZEVRIK_E2E_BUILD"], "installer", "stage-" + self.target)
        for name in dist.STAGED:
            self.assertEqual(read_file(os.path.join(home, name)), read_file(os.path.join(stage, name)), name)
        self.assertEqual(read_file(os.path.join(home, "examples", "default.csi")), make_image({}))
        self.assertEqual(read_file(os.path.join(home, "examples", "loopback-115200.csi")),
                         make_image({BAUD: 15}))
        link = read_file(os.path.join(on.rig.prefix, "drive_c", START_MENU))
        self.assertIn(exe.encode() + b"\0", link, "the shortcut starts the installed exe")
        self.assertEqual(on.reg(UNINST_KEY, "DisplayName"), "ZEVRIK")
        self.assertEqual(on.reg(UNINST_KEY, "QuietUninstallString"),
                         '"%s\\uninstall.exe" /S' % self.location)
        self.assertEqual(on.reg(CSI_KEY), "ZEVRIK.csi")
        self.assertEqual(on.reg(PROGID_KEY), "ZEVRIK settings")
        self.assertEqual(on.reg(PROGID_KEY + r"\DefaultIcon"), exe + ",-102")
        self.assertEqual(on.reg(PROGID_KEY + r"\shell\open\command"), '"%s" "%%1"' % exe)

    def test_2_installed_exe_opens_the_port_with_the_example_file(self):
        example = self.location + "\\examples\\loopback-115200.csi"
        app = App(args=[example], on=self.on, exe=self.location + "\\zevrik.exe")
        try:
            box = app.wait_message_box("^Loading csi File", timeout=30)
            self.assertEqual(box["text"], LOADED)
            app.dismiss(box)
            app.wait_open("COM1")
            self.assertEqual(app.summary(), "COM1, 115200, 8, None, 1")
            self.assertEqual(zrig.tcgetattr_speed(self.on.cables["COM1"].app_path), 115200)
            peer = Peer(self.on.cables["COM1"])
            try:
                peer.write(b"Hello from the device at 115200 baud\r\nOK\r\n")
                wait_until(lambda: app.terminal().endswith("OK\r\n"), 10, "the device's lines")
            finally:
                peer.close()
            app.screenshot("installed-example-loaded.png")
        finally:
            app.quit()

    def test_3_silent_uninstall_removes_what_was_installed_and_keeps_the_users_file(self):
        on = self.on
        home = on.unix(self.location)
        mine = os.path.join(home, "examples", "mine.csi")
        with open(mine, "wb") as f:
            f.write(make_image({}))
        rc, out, err = on.rig.wine(os.path.join(home, "uninstall.exe"), ["/S"], timeout=120)
        self.assertEqual(rc, 0, out + err)
        # The uninstaller runs on from a copy of itself in the temp folder.
        wait_until(lambda: not os.path.exists(os.path.join(home, "zevrik.exe"))
                   and on.reg(UNINST_KEY, "DisplayName") is None, 60, "the uninstaller to finish")
        left = {os.path.relpath(os.path.join(d, f), home) for d, _, fs in os.walk(home) for f in fs}
        self.assertEqual(left, {"examples/mine.csi"})
        self.assertFalse(os.path.exists(os.path.join(on.rig.prefix, "drive_c", START_MENU)))
        for key in (UNINST_KEY, CSI_KEY, PROGID_KEY):
            rc, _, _ = on.rig.wine("reg", ["query", key] + on.view, timeout=60)
            self.assertNotEqual(rc, 0, "%s is left behind" % key)
