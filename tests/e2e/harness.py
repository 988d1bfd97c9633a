"""What the end-to-end tests share: the Wine rig with its cables, ZEVRIK
started under it, zdrive as the test's hands on ZEVRIK's windows, and the far
ends of the cables, where the tests play the device.

The build tree comes from $ZEVRIK_E2E_BUILD (run_all.py sets it).  One rig
serves the whole run: its cables are laid and mapped once, because mapping
ports restarts the prefix's wineserver and would end a running app.
"""

import atexit
import itertools
import json
import os
import re
import select
import socket
import subprocess
import sys
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))

import zrig  # noqa: E402

DESKTOP_SIZE = "1024x768"
# Every app runs on a virtual desktop of its own name, so that a driver can
# never join the desktop of the app before, which may still be going away.
_desktop_numbers = itertools.count(1)
# COM5 is the port the tests work with; COM6 is a cable that one test pulls
# out; COM16 is a cable that can be laid again at the same number after a pull
# (rig.lay_again); COM4 is a bare pty pair without control lines; COM9 stays
# unmapped.
# The cables with lines start with the far end's DTR and RTS on.
MAIN_PORT = "COM5"
PULLED_PORT = "COM6"
PLAIN_PORT = "COM4"
RELAID_PORT = "COM16"
UNMAPPED_PORT = "COM9"

# Menu commands and toolbar buttons, and which of them the closed and the
# open state enable.
MANAGED_MENU = (40001, 40002, 40003, 40005, 40006, 40007, 40008, 40009, 40011,
                40012, 40013, 40015, 40016, 40014, 40022)
MENU_ENABLED_CLOSED = {40001, 40007}
UNTOUCHED_MENU = (40004, 40019, 40023)
TOOLBAR_BUTTONS = tuple(range(1001, 1013))
TOOLBAR_ENABLED_CLOSED = {1001, 1003, 1004}
TOOLBAR_DISABLED_OPEN = {1001, 1004}

INF033 = "INF033:WaitCommEvent() Error! the GetLastError return 50"
# The status bar's modem-line indicators.
INDICATORS = {"dsr": 1016, "cts": 1017, "ri": 1018, "dcd": 1019}
# The terminal pane's views, one shown: the classic edit control, the history
# and console view.
TERMINAL_VIEWS = (1002, 1090)
# A vanished device, as the first worker to find it reports it: the modem-status
# worker's wait fails (INF033) or completes with an error (INF041), a read or
# a write completes with an error (INF038 to INF040).
LOST_DEVICE = re.compile(r"^INF0(33|38|39|40|41):")

GREY = (192, 192, 192)
WHITE = (255, 255, 255)


class DriverError(AssertionError):
    pass


def wait_until(predicate, timeout, what, interval=0.05):
    """Polls `predicate` until it returns something true; returns that."""
    timeout *= zrig.TIME_FACTOR
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class Driver:
    """zdrive running in the rig.  It announces a loopback port on stdout;
    commands and answers then go over that connection, one line each."""

    def __init__(self, rig, exe, desktop):
        self.proc = rig.start(exe, ("--desktop", desktop), stdout=subprocess.PIPE)
        hello = json.loads(self._first_line(60))
        if not hello.get("ok"):
            raise DriverError("zdrive did not start: %r" % hello)
        self.sock = socket.create_connection(("127.0.0.1", hello["port"]), timeout=30)
        self._buf = b""

    def _first_line(self, timeout):
        fd = self.proc.stdout.fileno()
        data = b""
        deadline = time.monotonic() + timeout * zrig.TIME_FACTOR
        while b"\n" not in data:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise DriverError("zdrive did not announce its port")
            chunk = os.read(fd, 4096)
            if not chunk:
                raise DriverError("zdrive ended (rc %s)" % self.proc.wait())
            data += chunk
        return data.split(b"\n", 1)[0].decode("ascii")

    def _read_line(self, timeout):
        timeout *= zrig.TIME_FACTOR
        self.sock.settimeout(timeout)
        while b"\n" not in self._buf:
            try:
                chunk = self.sock.recv(65536)
            except socket.timeout:
                raise DriverError("zdrive gave no answer within %.0f s" % timeout) from None
            if not chunk:
                raise DriverError("zdrive closed the connection")
            self._buf += chunk
        line, self._buf = self._buf.split(b"\n", 1)
        return json.loads(line.decode("ascii"))

    def call(self, *args, check=True, timeout=30):
        line = " ".join(urllib.parse.quote(str(a), safe="") for a in args) + "\n"
        self.sock.sendall(line.encode("ascii"))
        answer = self._read_line(timeout)
        if check and not answer.get("ok"):
            raise DriverError("%s: %s" % (" ".join(map(str, args)), answer.get("error")))
        return answer

    def close(self):
        try:
            self.sock.sendall(b"quit\n")
        except OSError:
            pass
        self.sock.close()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(5)


class Peer:
    """The device at the far end of a cable."""

    def __init__(self, cable):
        self.fd = zrig.open_far(cable.far_path)

    def write(self, data):
        view = memoryview(data)
        while view:
            n = os.write(self.fd, view)
            view = view[n:]

    def read(self, count, timeout=5.0):
        """Exactly `count` bytes, or fewer if they do not come in time."""
        data = b""
        deadline = time.monotonic() + timeout * zrig.TIME_FACTOR
        while len(data) < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                break
            data += os.read(self.fd, count - len(data))
        return data

    def read_quiet(self, quiet=0.5, limit=2.0):
        """Everything that arrives until the line has been quiet for `quiet` s."""
        data = b""
        quiet *= zrig.TIME_FACTOR
        deadline = time.monotonic() + limit * zrig.TIME_FACTOR
        while time.monotonic() < deadline:
            if not select.select([self.fd], [], [], quiet)[0]:
                break
            data += os.read(self.fd, 65536)
        return data

    def drain(self):
        self.read_quiet(quiet=0.1, limit=5.0)

    def close(self):
        os.close(self.fd)


class Shell:
    """A serial console at the far end of a cable: an interactive bash on a
    pty of its own (TERM vt100, prompt `prompt`), joined to the cable by socat."""

    def __init__(self, cable, prompt="$ "):
        env = dict(os.environ, TERM="vt100", PS1=prompt, HISTFILE="/dev/null", INPUTRC="/dev/null")
        self.proc = subprocess.Popen(
            ["socat", "%s,raw,echo=0" % cable.far_path, "EXEC:bash --norc -i,pty,stderr,setsid,ctty,sane"],
            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        self.proc.terminate()
        self.proc.wait(10)


class Streamer(threading.Thread):
    """Writes `data` to a peer in the background, as fast as the cable takes
    it or paced by `pause` seconds after each chunk."""

    def __init__(self, peer, data, chunk=4096, pause=0.0):
        super().__init__(daemon=True)
        self.peer, self.data, self.chunk, self.pause = peer, data, chunk, pause
        self.started_at = None
        self.stop = threading.Event()

    def run(self):
        self.started_at = time.monotonic()
        for at in range(0, len(self.data), self.chunk):
            if self.stop.is_set():
                break
            try:
                self.peer.write(self.data[at:at + self.chunk])
            except OSError:  # the cable was cut
                break
            if self.pause:
                time.sleep(self.pause)


class Suite:
    """The rig and cables of one run; a second one of its own prefix
    (`wine_dir` under the tree) can carry other `ports`."""

    def __init__(self, build, name="e2e", wine_dir="wine",
                 ports=(MAIN_PORT, PULLED_PORT, PLAIN_PORT, RELAID_PORT)):
        self.build = os.path.abspath(build)
        self.zevrik = os.path.join(self.build, "src", "zevrik.exe")
        self.zdrive = os.path.join(self.build, "tests", "e2e", "zdrive.exe")
        for exe in (self.zevrik, self.zdrive):
            if not os.path.exists(exe):
                raise RuntimeError("%s is missing: build the tree first" % exe)
        self.screenshots = os.path.join(self.build, "screenshots")
        os.makedirs(self.screenshots, exist_ok=True)
        self.rig = zrig.Rig(self.build, name, display="xvfb", wine_dir=wine_dir)
        self.rig.__enter__()
        try:
            self.cables = {port: self.rig.add_cable(port, lines=port != PLAIN_PORT, relay=port == RELAID_PORT)
                           for port in ports}
            self.rig.map_ports()
        except BaseException:
            self.rig.__exit__(None, None, None)
            raise

    def close(self):
        self.rig.__exit__(None, None, None)

    def screenshot(self, name, rect=None):
        """A PNG of the screen; with `rect` (zdrive's rect of a window) also
        NAME.rect.json, from which `make screenshots` crops the guide's pictures."""
        path = self.rig.screenshot(os.path.join(self.screenshots, name))
        if rect is not None:
            write_rect(path, rect)
        return path


def write_rect(png_path, rect):
    with open(png_path + ".rect.json", "w") as f:
        json.dump({k: rect[k] for k in ("x", "y", "w", "h")}, f)


_suite = None


def suite():
    global _suite
    if _suite is None:
        build = os.environ.get("ZEVRIK_E2E_BUILD")
        if not build:
            raise RuntimeError("set ZEVRIK_E2E_BUILD to the Windows build tree (run_all.py does)")
        _suite = Suite(build)
        atexit.register(close_suite)
    return _suite


def close_suite():
    global _suite
    if _suite is not None:
        _suite.close()
        _suite = None


class App:
    """One running ZEVRIK with zdrive attached to it: the build's exe in the
    run's rig, or `exe` (a Windows path) in the rig of `on` (an object with
    rig, zdrive and screenshots), started with `args`."""

    def __init__(self, args=(), on=None, exe=None):
        self.suite = on or suite()
        desktop = "zevrik%d" % next(_desktop_numbers)
        self.desktop = desktop  # another program joins it by its name
        self.proc = self.suite.rig.start(exe or self.suite.zevrik, args, desktop=(desktop, DESKTOP_SIZE))
        self.drv = Driver(self.suite.rig, self.suite.zdrive, desktop)
        info = self.drv.call("attach", 30000, timeout=60)
        if not info.get("hook"):
            raise DriverError("zdrive could not hook the app's menu")
        self.pid = info["pid"]
        self.unix_pid = None
        self._view_id = TERMINAL_VIEWS[0]

    def screenshot(self, name):
        """The screen, with the main window's rectangle beside it."""
        return self.suite.screenshot(name, self.call("rect", "main"))

    def quit(self):
        """Ends the app however it stands, then the driver."""
        try:
            if self.alive():
                self.drv.call("terminate", check=False)
        finally:
            self.drv.close()
            # The desktop's explorer would linger after its only program.
            self.proc.terminate()
            self.proc.wait(10)

    # --- reading ---------------------------------------------------------

    def call(self, *args, **kw):
        return self.drv.call(*args, **kw)

    def alive(self):
        return self.call("proc")["alive"]

    def text(self, target, ctl=0):
        return self.call("text", target, ctl)["text"]

    def terminal_id(self):
        """The id of the terminal view shown: the classic edit control or the
        history and console view."""
        return self._shown_view()["id"]

    def terminal(self):
        """The text of the terminal view shown."""
        view = self._shown_view()
        if "text" not in view:
            raise DriverError("WM_GETTEXT of terminal view %d timed out" % view["id"])
        return view["text"]

    def _shown_view(self):
        """zdrive's look at the terminal view shown, its id added.  The view
        last found shown is looked at first, and its look tells whether it
        still is, so no other view's text is taken for the terminal's."""
        first = self._view_id
        for ctl in (first,) + tuple(c for c in TERMINAL_VIEWS if c != first):
            view = self.control("term", ctl)
            if view["visible"]:
                self._view_id = view["id"] = ctl
                return view
        raise AssertionError("no terminal view is shown")

    def summary(self):
        return self.text("sb", 1015)

    def control(self, target, ctl):
        return self.call("window", target, ctl)

    def menu(self, command):
        return self.call("menu", command)

    def pixel_of_terminal(self):
        """Colour of the terminal's background near its lower right corner."""
        view = self.terminal_id()
        rect = self.call("rect", "term", view)
        answer = self.call("pixel", "term", view, rect["cw"] - 4, rect["ch"] - 4)
        return answer["r"], answer["g"], answer["b"]

    def indicators(self):
        """{"dsr", "cts", "ri", "dcd"}: True for an indicator written in red,
        False for one written in black, None for neither (an indicator is
        greyed for a moment while it is repainted)."""
        lit = {}
        for name, ctl in INDICATORS.items():
            ink = self.call("ink", "sb", ctl)
            lit[name] = None if bool(ink["red"]) == bool(ink["dark"]) else ink["red"] > 0
        return lit

    def wait_indicators(self, timeout=5, **lines):
        """Waits until the named indicators show the given states."""
        seen = [None]

        def shown():
            seen[0] = self.indicators()
            return all(seen[0][k] == v for k, v in lines.items())
        try:
            wait_until(shown, timeout, "indicators %r" % lines)
        except AssertionError as e:
            raise AssertionError("%s; last seen %r" % (e, seen[0])) from None

    def dialogs(self):
        return self.call("dialogs")["dialogs"]

    def message_boxes(self):
        return [d for d in self.dialogs() if d["msgbox"]]

    def wait_dialog(self, title, timeout=10):
        return wait_until(lambda: next((d for d in self.dialogs()
                                        if not d["msgbox"] and d["caption"] == title), None),
                          timeout, "dialog %r" % title)

    def wait_no_dialog(self, title, timeout=10):
        wait_until(lambda: all(d["caption"] != title for d in self.dialogs()), timeout,
                   "dialog %r to close" % title)

    def wait_message_box(self, match, timeout=10):
        """The first message box whose text matches `match` (a regex)."""
        pattern = re.compile(match)
        return wait_until(lambda: next((b for b in self.message_boxes()
                                        if pattern.search(b["text"])), None),
                          timeout, "message box %r" % match)

    def dismiss(self, box, button=1):
        self.call("press", box["hwnd"], button)
        wait_until(lambda: all(b["hwnd"] != box["hwnd"] for b in self.message_boxes()), 10,
                   "message box %r to close" % box["text"])

    # --- acting ----------------------------------------------------------

    def command(self, command_id):
        return self.call("command", "main", command_id)

    def open_com_set(self, command_id=40007):
        """Opens the COM Set dialog (it is modal: the command is posted)."""
        self.call("postcommand", "main", command_id)
        return self.wait_dialog("COM Set")

    def open_port(self, port=MAIN_PORT):
        """COM Open for `port` with the committed line settings.  On the
        cable without control lines the modem-status thread's INF033 box
        comes; it is returned, already dismissed."""
        dlg = self.open_com_set()
        self.call("select", dlg["hwnd"], 1020, int(port[3:]) - 1)
        self.call("press", dlg["hwnd"], 1)
        self.wait_no_dialog("COM Set")
        self.wait_open(port)
        if port != PLAIN_PORT:
            return None
        box = self.wait_message_box("^INF033:")
        self.dismiss(box)
        return box

    def wait_open(self, port=MAIN_PORT, timeout=10):
        wait_until(lambda: self.summary().startswith(port + ","), timeout,
                   "the summary to show %s" % port)

    def close_port(self):
        self.command(40008)
        wait_until(lambda: self.summary() == "", 10, "the summary to empty")
        wait_until(lambda: self.menu(40007)["grayed"] is False, 10, "COM Open to be enabled")

    def clear_terminal(self):
        """Clear Screen, when there is anything to clear.  The receive thread
        acts on the request at the end of its next pass; on an empty terminal
        that moment cannot be seen, and a request still pending would wipe
        the next bytes, so none is made."""
        if self.terminal() == "":
            return
        self.command(40022)
        wait_until(lambda: self.terminal() == "", 5, "the terminal to empty")

    def type_char(self, code, target="main"):
        self.call("char", target, code)

    def type_text(self, text, target="main"):
        for ch in text:
            self.type_char(ord(ch), target)

    def press_key(self, vk, target="term"):
        """A key without a character (WM_KEYDOWN with the virtual-key code)."""
        self.call("post", target, 0x0100, vk, 1)

    def settle(self):
        """One round trip through the UI thread's queue: whatever was posted
        before has been handled."""
        self.call("ping", 5000)

    def set_terminal_options(self, **choices):
        """Terminal Option dialog: keyboard, echo, console, stamps (0/1), enter,
        cr, lf, history, backspace, console_enter (list positions), hex (0/1); OK."""
        dlg = self.open_dialog(40014, "Terminal Option")
        boxes = {"keyboard": 1013, "echo": 1012, "console": 1101, "stamps": 1102}
        lists = {"enter": 1020, "cr": 1021, "lf": 1022, "history": 1100, "backspace": 1103,
                 "console_enter": 1104}
        for name, value in choices.items():
            if name in boxes:
                if self.control(dlg["hwnd"], boxes[name])["check"] != value:
                    self.call("click", dlg["hwnd"], boxes[name])
                    wait_until(lambda: self.control(dlg["hwnd"], boxes[name])["check"] == value,
                               5, "%s to become %d" % (name, value))
            elif name in lists:
                self.call("select", dlg["hwnd"], lists[name], value)
            elif name == "hex":
                radio = 1028 if value else 1027
                self.call("click", dlg["hwnd"], radio)
                wait_until(lambda: self.control(dlg["hwnd"], radio)["check"] == 1, 5,
                           "display radio %d" % radio)
            else:
                raise ValueError(name)
        self.call("press", dlg["hwnd"], 1)
        self.wait_no_dialog("Terminal Option")

    def open_dialog(self, command_id, title):
        self.call("postcommand", "main", command_id)
        return self.wait_dialog(title)

    def process(self):
        return self.call("proc")

    def _unix_pid(self):
        """The Linux process that runs the app (argv[0] is its Windows path)."""
        prefix = ("WINEPREFIX=%s" % self.suite.rig.prefix).encode() + b"\0"
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    argv0 = f.read().split(b"\0", 1)[0]
                with open("/proc/%s/environ" % entry, "rb") as f:
                    env = f.read()
            except OSError:
                continue
            if argv0.lower().endswith(b"\\zevrik.exe") and prefix in env:
                return int(entry)
        raise AssertionError("the app's Linux process is not found")

    def _status_kib(self, *fields):
        if self.unix_pid is None:
            self.unix_pid = self._unix_pid()
        with open("/proc/%d/status" % self.unix_pid) as f:
            rows = dict(line.split(":", 1) for line in f if ":" in line)
        return sum(int(rows[name].split()[0]) for name in fields)

    def private_bytes(self):
        """Anonymous memory the app holds, resident or swapped, from Linux:
        Wine's memory counters give 0 for another process."""
        return self._status_kib("RssAnon", "VmSwap") * 1024

    def cpu_seconds(self):
        """CPU time the app has used so far, all its threads, from Linux (Wine's
        GetProcessTimes does not report it for another process)."""
        if self.unix_pid is None:
            self.unix_pid = self._unix_pid()
        with open("/proc/%d/stat" % self.unix_pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rect_tuple(r):
    return r["x"], r["y"], r["w"], r["h"]
