"""Wine rig for running ZEVRIK and its Windows test programs on Linux.

Everything runs in a private Wine prefix inside the build tree, on virtual
serial cables made of socat pty pairs, behind a guard that keeps every real
serial device of the machine out of reach.

API
---
Rig(build_dir, name, display=None, wine_dir="wine")
    Context manager.  Holds the prefix <build_dir>/<wine_dir>/prefix for its
    lifetime (rigs of one prefix take turns through a lock file), creating it
    with wineboot on first use (in a guest of zvm.py: over the prefix
    $ZRIG_PREFIX_TEMPLATE names), and names fonts-wine's fonts to fontconfig in
    the rig's home (Wine would not find them; see WINE_FONTS).  `display`:
    None uses $DISPLAY when set and otherwise starts Xvfb on a free display;
    "xvfb" always starts Xvfb; "none" runs headless.  Teardown ends only what the rig started, by
    pid: its Wine programs (and the prefix's wineserver through
    `wineserver -k`), its socat cables and its Xvfb.

rig.add_cable(com_name, lines=True, relay=False, noise=None) -> Cable
    A null-modem cable: `app_path` is mapped to COM `com_name` for the
    programs run under Wine, `far_path` is the pty a test opens (see
    open_far) to play the device at the other end.  `kill()` ends that
    cable's socat so the device disappears.  `com_name` may be None for a
    cable whose ends are mapped by hand with map_com().  With lines the
    cable carries DTR, RTS, DSR, CTS, DCD and RI (below); lines=False
    leaves a bare pty pair, on which Wine cannot wait for line events.
    relay=True maps the COM name to a link in the scratch directory that
    leads to the pty, so that lay_again() can put a new cable behind the
    same COM number.  noise=NoiseSpec(...) makes a noisy cable (below).
rig.lay_again(cable, lines=True, noise=AS_BEFORE) -> Cable
    A new cable behind the COM number of a pulled relay=True cable: its link
    now leads to the new pty, so the next CreateFile of that port finds it
    (the mapping stays, so nothing restarts).  A noisy cable's noise stays,
    unless `noise` gives another NoiseSpec, or None for a clean cable.
NoiseSpec(flip=1e-4, drop=1e-5, seed=1)
    In each direction of a noisy cable, the chance that a bit arrives
    flipped and the chance that a byte is lost.  zrig_noise.py, the cable's
    process instead of socat, places them by the seed and the byte's place
    in its direction's stream only: the same seed and bytes give the same
    noise however they were read.  NoiseSpec(0, 0) passes bytes unchanged.
cable.noise_counts() -> {"to_far": {...}, "to_app": {...}}
    What a noisy cable did so far in each direction ("to_far": what the app
    end sent): "read" and "passed" bytes, "flips" and "drops".  Each event
    is a line of cable.noise_log ("to_far flip BYTE BIT", "to_app drop
    BYTE"; BYTE counts from 0 in that direction's stream, lost bytes too).
rig.add_uboot(com_name, lines=True, timeout=30) -> UBoot
    A cable mapped to `com_name` with U-Boot (Debian's u-boot-qemu, the
    qemu_arm image, under qemu-system-arm -M virt, behind the guard) on its
    far end; start_uboot() on it.
rig.start_uboot(cable, timeout=30) -> UBoot
    Boots U-Boot at the far end of an existing cable (not a noisy one),
    stops its autoboot with a Ctrl-C and returns at its "=> " prompt,
    having read its boot output off the app end: start it before the
    program opens the port.  The COM mapping is not touched, so it may boot
    again on a cable laid when the run began.  Bytes typed while no U-Boot
    ran are dropped.
uboot.output() -> bytes         everything U-Boot sent (qemu copies it to
                                uboot.output_path), readable while the
                                program under test owns the app end.
uboot.mark() -> int             the output's length, for `after=`.
uboot.wait_for(pattern, after=0, timeout=10) -> re.Match
    Waits until the output from `after` on matches the bytes regex;
    AssertionError with U-Boot's last words on time-out or if qemu ended.
uboot.wait_prompt(after=0, timeout=10)   the same for UBoot.PROMPT, an
                                idle "=> " ending the output.
uboot.stop()                    ends qemu (the rig's close() does too); the
                                cable stays.  uboot.alive, uboot.cable,
                                uboot.boot_seconds, UBoot.LOAD_ADDR
                                (0x40200000, free RAM for loadx/loady).
rig.add_loopback(com_name, lines=True) -> Cable
    A cable whose far end echoes everything it receives (far_path is None),
    with a loopback plug: the port's own DTR drives its DSR and DCD, its
    RTS its CTS.
cable.set_lines(dtr=None, rts=None, ri=None)
    The far end raises (True) or drops (False) its DTR and RTS, and rings
    the app end; None leaves a line as it is.  The far end starts with DTR
    and RTS on, the app end with nothing.
cable.far_lines() -> {"dsr", "cts", "dcd", "ri"}
    What the far end sees: the app's DTR as DSR and DCD, its RTS as CTS.
rig.map_com(com_name, unix_path)
    Maps a COM name to a pty of one of the rig's cables, or to a real device
    that was named in Rig(..., allow_devices=[...]) (only `make run` does so).
rig.map_ports()
    Writes HKLM\\Software\\Wine\\Ports so that it holds exactly the mappings
    made so far and restarts the prefix's wineserver so that the next
    program sees them.  start() and wine() call it when the mappings changed.
rig.start(exe_path, args=(), desktop=None, cwd=None, stdout=None, stderr=None)
    -> subprocess.Popen of the program under Wine.  desktop=(name, "1024x768")
    runs it as `wine explorer /desktop=name,1024x768 exe`.  Output goes to a
    log file under <build_dir>/wine/logs unless stdout/stderr are given.
rig.wine(exe_path, args=(), timeout=60, cwd=None) -> (rc, stdout, stderr)
    Runs a helper program to completion; raises subprocess.TimeoutExpired
    after killing it when it overruns.
rig.run(argv, timeout=60) -> (rc, stdout, stderr)
    Runs a Linux command inside the guard, as the rig's programs run.
rig.screenshot(path)
    Writes a PNG of the rig's X screen.
rig.scratch
    A directory in the build tree that programs under the rig may write.
rig.display
    The X display in use ("" when headless).

open_far(path) -> fd           opens a pty end raw, O_RDWR | O_NOCTTY.
tcgetattr_speed(path) -> int   the baud rate currently set on a pty end.
tcgetattr_cflag(path) -> int   the c_cflag word currently set on a pty end.
host_serial_devices() -> list  the machine's real serial device nodes.
write_png(path, w, h, raw)     writes RGB rows (each led by a filter byte) as a PNG.
wine_build_tree(build) -> str  build/win32, or build/win64 on a machine that
                               cannot run 32-bit programs.

Control lines
-------------
A pty has no modem lines.  zrig_lines.c, built with each Windows tree into
<tree>/rig/lib/<triplet>/, is preloaded into every program the rig runs
behind its guard; it answers TIOCMGET/TIOCMBIS/TIOCMBIC/TIOCMSET for the
ptys of the rig's cables from a line table the rig shares with it (a small
file in the rig's scratch directory) and leaves every other descriptor
alone.  zrig-notes.md says what Wine does with the lines.

The guard
---------
Every process the rig starts runs through `guard_argv()`: in a private mount
namespace whose /dev is a fresh tmpfs holding only null, zero, full, random,
urandom, tty, ptmx, pts and shm (plus devices explicitly allowed), without
the capabilities to make device nodes or mount, and, when invoked as root,
as the unprivileged user nobody.  A non-root invoker gets the same private
/dev through a user namespace; where user namespaces are unavailable the rig
refuses to run unless none of the machine's serial devices is accessible.

CLI: `python3 scripts/zrig.py wine-tree [BUILD]` prints the build tree whose
Windows programs this machine can run; `python3 scripts/zrig.py prefix
BUILD_DIR` creates (or checks) the prefix and prints how long it took.
"""

import collections
import fcntl
import glob
import json
import mmap
import os
import re
import select
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import termios
import time
import zlib

import zrig_noise

NOBODY_UID = 65534
NOBODY_GID = 65534
WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
WINE = "/usr/bin/wine"
WINESERVER = "/usr/bin/wineserver"
# How much longer than here a wait may take where the rig runs slower than
# this machine (scripts/zvm.py's emulated guest sets it).
TIME_FACTOR = float(os.environ.get("ZRIG_TIME_FACTOR") or 1)
# fonts-wine's fonts (Marlett draws the title-bar buttons, Tahoma the
# dialogs).  Wine 8 as Debian builds it looks for them under
# "<data dir>\../fonts", a path its own file lookup cannot resolve, and
# fontconfig does not list the directory, so the rig names it to fontconfig.
WINE_FONTS = "/usr/share/wine/fonts"
FONTS_CONF = """<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>%s</dir>
</fontconfig>
""" % WINE_FONTS

SERIAL_PATTERNS = (
    "ttyS*", "ttyUSB*", "ttyACM*", "ttyAMA*", "ttyTHS*", "ttymxc*", "ttySAC*",
    "ttyO*", "ttyXRUSB*", "ttyMI*", "ttyHS*", "rfcomm*", "console",
)

# Runs as `sh -c GUARD_SH zrig-guard UID GID GROUPS DEV... -- CMD ARGS...`
# inside `unshare -m` (as root) or `unshare -r -m` (as a user).  UID "-"
# keeps the current user.
GUARD_SH = r"""
set -eu
uid=$1 gid=$2 groups=$3
shift 3
allow=
while [ "$1" != -- ]; do allow="$allow $1"; shift; done
shift
new=$(mktemp -d /tmp/zrig-dev.XXXXXX)
mount -t tmpfs -o mode=755,nosuid,noexec,size=256k zrig-dev "$new"
for n in null zero full random urandom tty; do
    : > "$new/$n"
    mount --bind "/dev/$n" "$new/$n"
done
# A ptmx node of our own finds the bound pts beside it; a bound one would not.
mknod -m 666 "$new/ptmx" c 5 2 2>/dev/null || ln -s pts/ptmx "$new/ptmx"
mkdir "$new/pts" "$new/shm"
mount --bind /dev/pts "$new/pts"
mount --bind /dev/shm "$new/shm"
ln -s /proc/self/fd "$new/fd"
ln -s /proc/self/fd/0 "$new/stdin"
ln -s /proc/self/fd/1 "$new/stdout"
ln -s /proc/self/fd/2 "$new/stderr"
for d in $allow; do
    rel=${d#/dev/}
    mkdir -p "$new/$(dirname "$rel")"
    : > "$new/$rel"
    mount --bind "$d" "$new/$rel"
done
mount --rbind "$new" /dev
umount -l "$new"
rmdir "$new"
if [ "$uid" = - ]; then
    exec setpriv --no-new-privs \
        --bounding-set=-mknod,-sys_admin,-sys_rawio,-sys_module,-sys_ptrace -- "$@"
fi
if [ -n "$groups" ]; then
    exec setpriv --no-new-privs --reuid="$uid" --regid="$gid" --groups="$groups" \
        --inh-caps=-all --bounding-set=-all -- "$@"
fi
exec setpriv --no-new-privs --reuid="$uid" --regid="$gid" --clear-groups \
    --inh-caps=-all --bounding-set=-all -- "$@"
"""


class GuardError(RuntimeError):
    """The rig cannot keep the machine's serial devices out of reach."""


def host_serial_devices():
    """Real serial device nodes of this machine (names in /dev)."""
    found = set()
    for pattern in SERIAL_PATTERNS:
        found.update(p for p in glob.glob("/dev/" + pattern) if _is_chardev(p))
    for sysdir in glob.glob("/sys/class/tty/*/device"):
        node = "/dev/" + os.path.basename(os.path.dirname(sysdir))
        if _is_chardev(node):
            found.add(node)
    return sorted(found)


def _is_chardev(path):
    try:
        return stat.S_ISCHR(os.stat(path).st_mode)
    except OSError:
        return False


_cache = {}


def _userns_available():
    if "userns" not in _cache:
        try:
            rc = subprocess.run(["unshare", "-r", "-m", "true"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=10).returncode
        except (OSError, subprocess.TimeoutExpired):
            rc = 1
        _cache["userns"] = rc == 0
    return _cache["userns"]


def _nobody_can_reach(paths):
    """Whether user nobody can read and traverse every path."""
    for p in paths:
        cmd = ["setpriv", "--reuid=%d" % NOBODY_UID, "--regid=%d" % NOBODY_GID,
               "--clear-groups", "test", "-r", p, "-a", "-x", p]
        if subprocess.run(cmd).returncode != 0:
            return False
    return True


class Guard:
    """Builds the command prefix that runs a program behind the device guard."""

    def __init__(self, reach_paths, allow_devices=()):
        self.allow = [os.path.realpath(d) for d in allow_devices]
        for d in self.allow:
            if not d.startswith("/dev/") or not _is_chardev(d):
                raise GuardError("%s is not a character device under /dev" % d)
        self.groups = ""
        if os.geteuid() == 0:
            self.mode = "root"
            if _nobody_can_reach(reach_paths):
                self.uid, self.gid = NOBODY_UID, NOBODY_GID
                # Named adapters are reached through their group (dialout), never root's.
                gids = {os.stat(d).st_gid for d in self.allow}
                for d in self.allow:
                    if os.stat(d).st_gid == 0:
                        sys.stderr.write("zrig: %s belongs to group root; programs under the rig "
                                         "(user nobody) cannot open it\n" % d)
                self.groups = ",".join(str(g) for g in sorted(gids - {0}))
            else:
                # The tree lies under a directory closed to nobody: stay root
                # inside the private /dev, without mknod and mount rights.
                self.uid = self.gid = None
                sys.stderr.write("zrig: build tree not readable by nobody; guarded programs"
                                 " run as root inside a private /dev\n")
        elif _userns_available():
            self.mode = "userns"
            self.uid = self.gid = None
        else:
            self.mode = "plain"
            self.uid = self.gid = None
            reachable = [d for d in host_serial_devices()
                         if d not in self.allow and os.access(d, os.R_OK | os.W_OK)]
            if reachable:
                raise GuardError(
                    "user namespaces are unavailable and this user can open %s; run as root "
                    "or from an account without access to serial devices" % ", ".join(reachable))

    @property
    def owner(self):
        """uid/gid that files written by guarded programs must belong to."""
        if self.uid is None:
            return os.geteuid(), os.getegid()
        return self.uid, self.gid

    def argv_user(self, cmd):
        """Runs `cmd` as the rig's user, without the private /dev.  Only for
        socat, whose ptys must be shared with the tests."""
        if self.mode != "root":
            return list(cmd)
        if self.uid is None:
            return ["setpriv", "--no-new-privs",
                    "--bounding-set=-mknod,-sys_admin,-sys_rawio,-sys_module,-sys_ptrace", "--"] + list(cmd)
        return ["setpriv", "--no-new-privs", "--reuid=%d" % self.uid, "--regid=%d" % self.gid,
                "--clear-groups", "--inh-caps=-all", "--bounding-set=-all", "--"] + list(cmd)

    def argv(self, cmd):
        """Runs `cmd` behind the whole guard."""
        if self.mode == "plain":
            return list(cmd)
        unshare = ["unshare", "-m", "--propagation", "private"]
        if self.mode == "userns":
            unshare = ["unshare", "-r", "-m", "--propagation", "private"]
        who = ["-", "-", ""] if self.uid is None else [str(self.uid), str(self.gid), self.groups]
        return unshare + ["sh", "-c", GUARD_SH, "zrig-guard"] + who + self.allow + ["--"] + list(cmd)


def can_run_32bit():
    """Whether this machine runs 32-bit x86 programs (and so i686 Windows ones)."""
    if "i386" not in _cache:
        ok = False
        if os.access(WINE32, os.X_OK):
            try:
                ok = subprocess.run([WINE32, "--version"], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, timeout=30).returncode == 0
            except (OSError, subprocess.TimeoutExpired):
                ok = False
        _cache["i386"] = ok
    return _cache["i386"]


def wine_build_tree(build="build"):
    """The tree under `build` whose Windows programs this machine can run:
    win32, or win64 where the kernel runs no 32-bit code."""
    return os.path.join(build, "win32" if can_run_32bit() else "win64")


def pe_machine(path):
    """The PE machine field of an exe: 0x14c for i386, 0x8664 for x86-64, None if not PE."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
    except OSError:
        return None
    if head[:2] != b"MZ" or len(head) < 64:
        return None
    off = struct.unpack_from("<I", head, 0x3C)[0]
    if off + 6 > len(head) or head[off:off + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", head, off + 4)[0]


def _loader_for(exe):
    """The Wine loader that runs `exe` (a path, or a builtin such as reg)."""
    if pe_machine(exe) == 0x14C:
        if not can_run_32bit():
            raise RuntimeError("%s is a 32-bit program and this machine cannot run 32-bit "
                               "code; use the build in %s" % (exe, wine_build_tree()))
        return WINE
    if os.access(WINE64, os.X_OK) and not can_run_32bit():
        return WINE64
    return WINE


_BAUD = {getattr(termios, n): int(n[1:]) for n in dir(termios)
         if re.fullmatch(r"B\d+", n)}


def _tcgetattr(path):
    """The termios attributes currently set on a pty end."""
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        return termios.tcgetattr(fd)
    finally:
        os.close(fd)


def tcgetattr_speed(path):
    """The output baud rate set on a pty end, as a number (e.g. 57600)."""
    return _BAUD[_tcgetattr(path)[5]]


def tcgetattr_cflag(path):
    """The c_cflag word set on a pty end (stop bits, parity, ...)."""
    return _tcgetattr(path)[2]


def open_far(path):
    """Opens a pty end for a test to play the device: raw, blocking, no echo."""
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    attrs = termios.tcgetattr(fd)
    attrs[0] = 0
    attrs[1] = 0
    attrs[2] = (attrs[2] & ~(termios.CSIZE | termios.PARENB)) | termios.CS8 | termios.CREAD | termios.CLOCAL
    attrs[3] = 0
    attrs[6][termios.VMIN] = 1
    attrs[6][termios.VTIME] = 0
    termios.tcsetattr(fd, termios.TCSANOW, attrs)
    return fd


def xwd_to_png(xwd, path):
    """Converts an xwd dump of a TrueColor screen to a PNG file."""
    h = struct.unpack_from(">25I", xwd, 0)
    header_size, width, height = h[0], h[4], h[5]
    byte_order, bpp, bpl = h[7], h[11], h[12]
    masks, ncolors = h[14:17], h[19]
    data = memoryview(xwd)[header_size + 12 * ncolors:]
    if len(data) < bpl * height:
        raise ValueError("xwd dump is truncated")
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    rows = bytearray()
    fast = bpp == 32 and byte_order == 0 and masks == (0xFF0000, 0xFF00, 0xFF)
    for y in range(height):
        line = data[y * bpl:(y + 1) * bpl]
        out = bytearray(3 * width)
        if fast:
            out[0::3] = line[2:4 * width:4]
            out[1::3] = line[1:4 * width:4]
            out[2::3] = line[0:4 * width:4]
        else:
            step = bpp // 8
            order = "little" if byte_order == 0 else "big"
            for x in range(width):
                px = int.from_bytes(line[x * step:(x + 1) * step], order)
                for c in range(3):
                    v = (px & masks[c]) >> shifts[c]
                    top = masks[c] >> shifts[c]
                    out[3 * x + c] = v * 255 // top if top else 0
        rows += b"\0" + out
    write_png(path, width, height, bytes(rows))


def write_png(path, width, height, raw):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def read_png_size(path):
    """(width, height) of a PNG file."""
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise ValueError("%s is not a PNG file" % path)
    return struct.unpack(">II", head[16:24])


# Modem-line bits as Linux numbers them (TIOCM_*).
TIOCM_DTR, TIOCM_RTS, TIOCM_CTS, TIOCM_CAR, TIOCM_RI, TIOCM_DSR = 0x2, 0x4, 0x20, 0x40, 0x80, 0x100
LINES_LIBRARY = "libzriglines.so"


class LineTable:
    """The control lines of the rig's cables, shared with zrig_lines.c (the
    library preloaded into the programs the rig runs) through a small file
    that both map.  Each slot is one pty end: its device number, the slot of
    the end across the cable (itself for a loopback plug), the DTR/RTS it
    drives, the ring the test gives it and the errno its line reads fail with."""

    MAGIC = b"ZRIGLIN2"
    ENDS = 64
    SLOT = struct.Struct("<Q14I")
    FIELDS = ("peer", "out", "ring", "fail", "frame", "parity", "overrun", "brk", "buf_overrun",
              "break_on", "breaks_sent", "last_break_ms", "break_start_ms")
    HEAD = len(MAGIC)

    def __init__(self, path, owner):
        self.path = path
        # A new file each time: a program of an earlier rig may still map the old one.
        if os.path.exists(path):
            os.remove(path)
        with open(path, "wb") as f:
            f.write(self.MAGIC + bytes(self.SLOT.size * self.ENDS))
        os.chmod(path, 0o600)
        os.chown(path, *owner)
        with open(path, "r+b") as f:
            self._map = mmap.mmap(f.fileno(), 0)

    def _offset(self, slot, field):
        at = 0 if field == "rdev" else 8 + 4 * self.FIELDS.index(field)
        return self.HEAD + slot * self.SLOT.size + at

    def get(self, slot, field):
        fmt = "<Q" if field == "rdev" else "<I"
        return struct.unpack_from(fmt, self._map, self._offset(slot, field))[0]

    def put(self, slot, field, value):
        fmt = "<Q" if field == "rdev" else "<I"
        struct.pack_into(fmt, self._map, self._offset(slot, field), value)

    def register(self, paths, outs):
        """Slots for the ptys `paths` (one: a loopback plug; two: the ends
        of a null-modem cable), driving `outs` at first."""
        free = [i for i in range(self.ENDS) if self.get(i, "rdev") == 0][:len(paths)]
        if len(free) < len(paths):
            raise RuntimeError("the rig's line table is full")
        for slot, peer, out in zip(free, reversed(free), outs):
            for field in self.FIELDS:
                self.put(slot, field, 0)
            self.put(slot, "peer", peer)
            self.put(slot, "out", out)
        for slot, path in zip(free, paths):
            self.put(slot, "rdev", os.stat(path).st_rdev)
        return free

    def release(self, slots):
        for slot in slots:
            self.put(slot, "rdev", 0)

    def close(self):
        self._map.close()


# The noise of a noisy cable, each direction: the chance that a bit arrives
# flipped, the chance that a byte is lost, and the seed that places them.
NoiseSpec = collections.namedtuple("NoiseSpec", "flip drop seed", defaults=(1e-4, 1e-5, 1))
# lay_again's noise when the cable laid again is to be as noisy as before.
AS_BEFORE = object()


class Cable:
    """One socat pty pair (or the noise relay's).  The rig keeps both ends open so that programs
    may open and close them as often as they like without socat seeing a
    hang-up; kill() makes the device vanish."""

    def __init__(self, rig, com_name, proc, app_path, far_path, lines=True):
        self.rig = rig
        self.com_name = com_name
        self.proc = proc
        self.app_path = app_path
        self.far_path = far_path
        self.link = None
        self.noise = self.noise_log = self._noise_counts = None
        self._holders = [os.open(p, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
                         for p in (app_path, far_path) if p]
        self._slots = []
        if lines:
            # The app end's lines are off until a program drives them; the
            # far end, the device, starts with DTR and RTS on.
            ends = [p for p in (app_path, far_path) if p]
            self._slots = rig.line_table().register(ends, (0, TIOCM_DTR | TIOCM_RTS))

    def set_lines(self, dtr=None, rts=None, ri=None):
        """The far end drives DTR and RTS (None leaves a line as it is); `ri`
        rings the app end."""
        table, app, far = self._line_slots()
        out = table.get(far, "out")
        for line, on in ((TIOCM_DTR, dtr), (TIOCM_RTS, rts)):
            if on is not None:
                out = out | line if on else out & ~line
        table.put(far, "out", out)
        if ri is not None:
            table.put(app, "ring", TIOCM_RI if ri else 0)

    def fail_line_reads(self, err):
        """Reading the app end's lines (TIOCMGET) fails with errno `err`; 0 mends it."""
        table, app, _ = self._line_slots()
        table.put(app, "fail", err)

    def far_lines(self):
        """What the far end sees: {"dsr", "cts", "dcd", "ri"} as booleans."""
        table, app, far = self._line_slots()
        out = table.get(app, "out")
        return {"dsr": bool(out & TIOCM_DTR), "cts": bool(out & TIOCM_RTS),
                "dcd": bool(out & TIOCM_DTR), "ri": bool(table.get(far, "ring"))}

    def inject_errors(self, **counts):
        """Line errors the app end's port reports next (TIOCGICOUNT), added
        to those before: frame=, parity=, overrun=, brk=, buf_overrun=."""
        table, app, _far = self._line_slots()
        for field, count in counts.items():
            table.put(app, field, table.get(app, field) + count)

    def far_breaks(self):
        """Breaks the far end received from the app end, and the app end's
        breaks sent with the length of the last one in ms."""
        table, app, far = self._line_slots()
        return {"received": table.get(far, "brk"), "sent": table.get(app, "breaks_sent"),
                "last_ms": table.get(app, "last_break_ms")}

    def noise_counts(self):
        """What the noise relay did so far, per direction ("to_far": what the
        app end sent, "to_app": what it was sent): {"read", "passed", "flips",
        "drops"} bytes and events."""
        if self._noise_counts is None:
            raise RuntimeError("this cable has no noise relay")
        with open(self._noise_counts, "rb") as f:
            values = zrig_noise.COUNTS.unpack(f.read(zrig_noise.COUNTS.size))
        n = len(zrig_noise.COUNT_FIELDS)
        return {d: dict(zip(zrig_noise.COUNT_FIELDS, values[i * n:(i + 1) * n]))
                for i, d in enumerate(zrig_noise.DIRECTIONS)}

    def _line_slots(self):
        if not self._slots:
            raise RuntimeError("this cable has no control lines")
        return self.rig.line_table(), self._slots[0], self._slots[-1]

    def kill(self):
        if self._slots:
            self.rig.line_table().release(self._slots)
            self._slots = []
        for fd in self._holders:
            os.close(fd)
        self._holders = []
        _end_process(self.proc, 5)

    @property
    def alive(self):
        return self.proc.poll() is None


UBOOT_IMAGE = "/usr/lib/u-boot/qemu_arm/u-boot.bin"


class UBoot:
    """U-Boot under qemu-system-arm at the far end of a cable.  qemu keeps a
    copy of everything U-Boot sends in `output_path`, so a test can follow
    U-Boot while the program under test reads the cable."""

    # At its prompt: nothing came after it.
    PROMPT = rb"\n=> \Z"
    # Free RAM above U-Boot's load area, for loadx/loady and crc32.
    LOAD_ADDR = 0x40200000

    def __init__(self, rig, cable, proc, output_path):
        self.rig = rig
        self.cable = cable
        self.proc = proc
        self.output_path = output_path
        self.boot_seconds = None

    def output(self):
        """Everything U-Boot has sent since it started."""
        try:
            with open(self.output_path, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def mark(self):
        """A place in the output, for wait_for(after=...)."""
        return len(self.output())

    def wait_for(self, pattern, after=0, timeout=10):
        """The re.Match of `pattern` (bytes) in the output from `after` on, as
        soon as it is there; AssertionError after `timeout` s."""
        timeout *= TIME_FACTOR
        deadline = time.monotonic() + timeout
        while True:
            text = self.output()[after:]
            found = re.search(pattern, text)
            if found:
                return found
            if self.proc.poll() is not None:
                raise AssertionError("qemu ended (rc %s) waiting for %r; U-Boot said %r"
                                     % (self.proc.returncode, pattern, text[-300:]))
            if time.monotonic() >= deadline:
                raise AssertionError("U-Boot did not say %r within %.0f s; it said %r"
                                     % (pattern, timeout, text[-300:]))
            time.sleep(0.02)

    def wait_prompt(self, after=0, timeout=10):
        return self.wait_for(self.PROMPT, after, timeout)

    def stop(self):
        """Ends qemu; the cable stays, and start_uboot() may boot it again."""
        _end_process(self.proc, 5)
        if self.proc in self.rig._procs:
            self.rig._procs.remove(self.proc)

    @property
    def alive(self):
        return self.proc.poll() is None


def _end_process(proc, grace):
    """Ends one process the rig started: SIGTERM, then SIGKILL after `grace` s."""
    if proc.poll() is not None:
        return
    try:
        proc.terminate()
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(5)
    except ProcessLookupError:
        pass


class Rig:
    def __init__(self, build_dir, name, display=None, allow_devices=(), wine_dir="wine"):
        self.build_dir = os.path.abspath(build_dir)
        self.name = name
        self.root = os.path.join(self.build_dir, wine_dir)
        self.prefix = os.path.join(self.root, "prefix")
        self.home = os.path.join(self.root, "home")
        self.logs = os.path.join(self.root, "logs")
        self.scratch = os.path.join(self.root, "scratch", name)
        self.display_request = display
        self.allow_devices = list(allow_devices)
        self.display = ""
        self.cables = []
        self.mapping = {}
        self._procs = []
        self._xvfb = None
        self._lock_fd = None
        self.guard = None
        self._lines = None
        # Built with the Windows tree, one copy per architecture; the loader
        # picks the one that fits each process through $LIB.
        self.lines_library = os.path.join(self.build_dir, "rig", "$LIB", LINES_LIBRARY)

    # --- lifetime -------------------------------------------------------

    def __enter__(self):
        try:
            self._setup()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _setup(self):
        os.makedirs(self.logs, exist_ok=True)
        self._lock()
        self.guard = Guard([self.build_dir, os.path.dirname(os.path.abspath(__file__))],
                           self.allow_devices)
        for d in (self.home, self.scratch, self.logs):
            os.makedirs(d, exist_ok=True)
            os.chown(d, *self.guard.owner)
        self._write_fonts_conf()
        if glob.glob(self.lines_library.replace("$LIB", "lib/*")):
            self._lines = LineTable(os.path.join(self.scratch, "modem-lines"), self.guard.owner)
        self._ensure_prefix()
        self._kill_wineserver()
        self._start_display()

    def _write_fonts_conf(self):
        """The user fontconfig file (read through $XDG_CONFIG_HOME) that adds
        fonts-wine's directory."""
        if not os.path.isdir(WINE_FONTS):
            return
        conf_dir = os.path.join(self.home, ".config", "fontconfig")
        os.makedirs(conf_dir, exist_ok=True)
        path = os.path.join(conf_dir, "fonts.conf")
        with open(path, "w") as f:
            f.write(FONTS_CONF)
        for p in (os.path.join(self.home, ".config"), conf_dir, path):
            os.chown(p, *self.guard.owner)

    def close(self):
        """Ends what the rig started, newest first, and releases the prefix."""
        try:
            if self.guard is not None:
                self._kill_wineserver()
        finally:
            for proc in reversed(self._procs):
                _end_process(proc, 5)
            self._procs = []
            for cable in self.cables:
                cable.kill()
            if self._lines is not None:
                self._lines.close()
                self._lines = None
            if self._xvfb is not None:
                _end_process(self._xvfb, 5)
                self._xvfb = None
            if self._lock_fd is not None:
                os.close(self._lock_fd)
                self._lock_fd = None

    def _lock(self):
        self._lock_fd = os.open(os.path.join(self.root, "prefix.lock"), os.O_RDWR | os.O_CREAT, 0o644)
        try:
            fcntl.flock(self._lock_fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            sys.stderr.write("zrig: waiting for another rig using %s\n" % self.prefix)
            fcntl.flock(self._lock_fd, fcntl.LOCK_EX)

    # --- environment ----------------------------------------------------

    def line_table(self):
        """The control lines of the rig's cables."""
        if self._lines is None:
            raise RuntimeError("%s is not built (it comes with the Windows tree)" % self.lines_library)
        return self._lines

    def _env(self, with_display=True, lines=True):
        env = {
            "PATH": "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin",
            "HOME": self.home,
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "WINEPREFIX": self.prefix,
            "WINEDEBUG": os.environ.get("ZRIG_WINEDEBUG", "-all"),
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "LANG": "C.UTF-8",
        }
        if lines and self._lines is not None:
            env["LD_PRELOAD"] = self.lines_library
            env["ZRIG_LINES"] = self._lines.path
        if not can_run_32bit() and os.access(WINE64, os.X_OK):
            env["WINELOADER"] = WINE64
        if with_display and self.display:
            env["DISPLAY"] = self.display
            if self._xvfb is None and os.environ.get("XAUTHORITY"):
                env["XAUTHORITY"] = os.environ["XAUTHORITY"]
            elif self._xvfb is None:
                env["XAUTHORITY"] = os.path.expanduser("~/.Xauthority")
        return env

    def _popen(self, cmd, log_name=None, with_display=True, stdout=None, stderr=None,
               cwd=None, pass_fds=(), private_dev=True):
        """Starts `cmd` behind the guard.  Output not given goes to the log
        `log_name` when one is named, else it is inherited."""
        log = None
        if log_name and (stdout is None or stderr is None):
            log = open(os.path.join(self.logs, log_name), "ab")
            stdout = log if stdout is None else stdout
            stderr = log if stderr is None else stderr
        try:
            argv = self.guard.argv(cmd) if private_dev else self.guard.argv_user(cmd)
            proc = subprocess.Popen(argv, env=self._env(with_display, lines=private_dev),
                                    stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr,
                                    cwd=cwd or self.scratch, pass_fds=pass_fds,
                                    start_new_session=True)
        finally:
            if log:
                log.close()
        self._procs.append(proc)
        return proc

    def run(self, argv, timeout=60, with_display=False, cwd=None, capture=True):
        """Runs a Linux command inside the guard: (rc, stdout, stderr), the
        output as text, or None for output left to this process's own.
        Output is collected through files: Wine's helper processes may keep
        a program's output open after the program has ended."""
        if not capture:
            proc = self._popen(argv, with_display=with_display, cwd=cwd)
            return self._wait(proc, timeout), None, None
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = self._popen(argv, with_display=with_display, stdout=out, stderr=err, cwd=cwd)
            rc = self._wait(proc, timeout)
            out.seek(0)
            err.seek(0)
            return rc, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace")

    def _wait(self, proc, timeout):
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise
        finally:
            self._procs.remove(proc)

    def _ensure_prefix(self):
        ready = os.path.join(self.prefix, ".zrig-ready")
        owner = self.guard.owner
        if os.path.exists(ready):
            if os.stat(self.prefix).st_uid != owner[0]:
                # Wine keeps its server directory, owned by the old user, in this file.
                server = os.path.join(self.prefix, "wineserver")
                if os.path.exists(server):
                    os.remove(server)
                subprocess.run(["chown", "-R", "%d:%d" % owner, self.prefix], check=True)
            return
        shutil.rmtree(self.prefix, ignore_errors=True)
        os.makedirs(self.prefix)
        os.chown(self.prefix, *owner)
        template = os.environ.get("ZRIG_PREFIX_TEMPLATE")
        if template:
            self._overlay_prefix(template, owner)
            return
        t0 = time.monotonic()
        rc, out, err = self.run([_loader_for("wineboot"), "wineboot", "-i"], timeout=300)
        self._kill_wineserver()
        if rc != 0 or not os.path.exists(os.path.join(self.prefix, "system.reg")):
            raise RuntimeError("wineboot failed (%s): %s%s" % (rc, out, err))
        with open(ready, "w") as f:
            f.write("%.1f\n" % (time.monotonic() - t0))
        self.prefix_seconds = time.monotonic() - t0
        sys.stderr.write("zrig: created Wine prefix %s in %.1f s\n" % (self.prefix, self.prefix_seconds))

    def _overlay_prefix(self, template, owner):
        """In scripts/zvm.py's guest, where wineboot takes minutes: the
        prefix is a writable layer in /tmp over one that zvm made once."""
        layer = tempfile.mkdtemp(prefix="zrig-prefix-")
        upper, work = os.path.join(layer, "upper"), os.path.join(layer, "work")
        os.mkdir(upper)
        os.mkdir(work)
        os.chown(upper, *owner)
        subprocess.run(["mount", "-t", "overlay", "-o", "lowerdir=%s,upperdir=%s,workdir=%s"
                        % (template, upper, work), "zrig-prefix", self.prefix], check=True)
        self._relink_user_folders()

    def _relink_user_folders(self):
        """wineboot linked Desktop, Documents and the like to the home of the
        guest that made the template, which is gone: the shell cannot browse
        them then, and every file dialog hangs.  They are linked to this home."""
        for user in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*")):
            for entry in os.scandir(user):
                if entry.is_symlink() and not os.path.exists(entry.path):
                    os.remove(entry.path)
                    os.symlink(self.home, entry.path)
                    os.lchown(entry.path, *self.guard.owner)

    def _kill_wineserver(self):
        """Ends the prefix's wineserver and with it every Wine process of the
        prefix; a process that outlives its server is killed by its pid."""
        try:
            self.run([WINESERVER, "-k"], timeout=30)
            self.run([WINESERVER, "-w"], timeout=10)
        except subprocess.TimeoutExpired:
            sys.stderr.write("zrig: wineserver did not end; killing the prefix's processes\n")
        ours = {p.pid for p in self._procs}
        if self._xvfb is not None:
            ours.add(self._xvfb.pid)
        ours.update(c.proc.pid for c in self.cables)
        for pid, _ in self.wine_processes():
            if pid not in ours:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass

    def _start_display(self):
        request = self.display_request
        if request == "none":
            return
        if request is None and os.environ.get("DISPLAY"):
            self.display = os.environ["DISPLAY"]
            return
        if not os.path.isdir("/tmp/.X11-unix"):
            os.makedirs("/tmp/.X11-unix", exist_ok=True)
            os.chmod("/tmp/.X11-unix", 0o1777)
        rfd, wfd = os.pipe()
        try:
            self._xvfb = self._popen(["Xvfb", "-displayfd", str(wfd), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"],
                                     log_name="xvfb-%s.log" % self.name, with_display=False,
                                     pass_fds=(wfd,))
            self._procs.remove(self._xvfb)
            os.close(wfd)
            wfd = -1
            number = b""
            deadline = time.monotonic() + 20
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = os.read(rfd, 16)
                if not chunk:
                    break
                number += chunk
            if not number.strip():
                raise RuntimeError("Xvfb did not start; see %s" % self.logs)
            self.display = ":" + number.decode().strip()
        finally:
            os.close(rfd)
            if wfd >= 0:
                os.close(wfd)

    # --- cables and ports ----------------------------------------------

    def _socat(self, second):
        log = self._cable_log("socat")
        want = 2 if second.startswith("pty") else 1
        return self._pty_maker(["socat", "-d", "-d", "-lf", log, "pty,raw,echo=0", second], log, want)

    def _cable_log(self, kind):
        log = os.path.join(self.logs, "%s-%s-%d.log" % (kind, self.name, len(self.cables)))
        if os.path.exists(log):
            os.remove(log)
        return log

    def _pty_maker(self, argv, log, want):
        """Starts the process of a cable, which names its ptys in `log` as
        socat does; (process, [pty paths])."""
        proc = self._popen(argv, with_display=False, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, private_dev=False)
        self._procs.remove(proc)
        deadline = time.monotonic() + 10
        ptys = []
        while time.monotonic() < deadline:
            if os.path.exists(log):
                with open(log, errors="replace") as f:
                    ptys = re.findall(r"PTY is (/dev/pts/\d+)", f.read())
            if len(ptys) >= want or proc.poll() is not None:
                break
            time.sleep(0.02)
        if len(ptys) < want:
            _end_process(proc, 2)
            raise RuntimeError("%s did not make its ptys; see %s" % (os.path.basename(argv[0]), log))
        return proc, ptys[:want]

    def _noise_relay(self, noise):
        """The process of a noisy cable: (process, [app pty, far pty], (log, counts file))."""
        log = self._cable_log("noise")
        counts = os.path.join(self.scratch, "noise-%d.counts" % len(self.cables))
        with open(counts, "wb") as f:
            f.write(bytes(zrig_noise.COUNTS.size))
        os.chown(counts, *self.guard.owner)
        argv = [sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "zrig_noise.py"),
                log, counts, repr(float(noise.flip)), repr(float(noise.drop)), str(noise.seed)]
        proc, ptys = self._pty_maker(argv, log, 2)
        return proc, ptys, (log, counts)

    def add_cable(self, com_name, lines=True, relay=False, noise=None):
        """A null-modem cable; its app end is mapped to `com_name` (unless None).
        lines=False leaves it a bare pty pair without control lines; relay=True
        maps the port to a link that lay_again() can point elsewhere; a
        NoiseSpec as `noise` passes the bytes through zrig_noise.py."""
        files = (None, None)
        if noise is None:
            proc, ptys = self._socat("pty,raw,echo=0")
        else:
            proc, ptys, files = self._noise_relay(noise)
        cable = Cable(self, com_name, proc, ptys[0], ptys[1], lines)
        cable.noise, (cable.noise_log, cable._noise_counts) = noise, files
        self.cables.append(cable)
        if com_name:
            self.map_com(com_name, self._point_link(com_name, cable) if relay else cable.app_path)
        return cable

    def lay_again(self, cable, lines=True, noise=AS_BEFORE):
        """A new cable at the COM number of `cable`, found through its link:
        as noisy as `cable`, or with `noise` (a NoiseSpec, None for none)."""
        if cable.link is None:
            raise ValueError("%s was not laid with relay=True" % cable.com_name)
        new = self.add_cable(None, lines, noise=cable.noise if noise is AS_BEFORE else noise)
        new.com_name = cable.com_name
        self._point_link(cable.com_name, new)
        return new

    def _point_link(self, com_name, cable):
        """Points the port's link at the cable's app end in one step."""
        link = os.path.join(self.scratch, "%s.link" % com_name.lower())
        fresh = link + ".new"
        if os.path.lexists(fresh):
            os.remove(fresh)
        os.symlink(cable.app_path, fresh)
        os.replace(fresh, link)
        cable.link = link
        return link

    def add_loopback(self, com_name, lines=True):
        """A cable whose far end echoes every byte back, with a loopback plug's
        wiring: the port's own DTR drives its DSR and DCD, its RTS its CTS."""
        proc, ptys = self._socat("pipe")
        cable = Cable(self, com_name, proc, ptys[0], None, lines)
        self.cables.append(cable)
        if com_name:
            self.map_com(com_name, cable.app_path)
        return cable

    def add_uboot(self, com_name, lines=True, timeout=30):
        """A cable mapped to `com_name` with U-Boot booted at its far end."""
        return self.start_uboot(self.add_cable(com_name, lines), timeout)

    def start_uboot(self, cable, timeout=30):
        """Boots U-Boot at the far end of `cable` and returns at its prompt,
        its boot output read off the app end: start it before the program
        under test opens the port.  Its autoboot is stopped with a Ctrl-C."""
        if not os.path.exists(UBOOT_IMAGE):
            raise RuntimeError("%s is missing: install u-boot-qemu (scripts/deps.sh)" % UBOOT_IMAGE)
        if cable.noise is not None:
            raise ValueError("U-Boot's boot output is read off the app end byte for byte: not through noise")
        app = os.open(cable.app_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        far = os.open(cable.far_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            # Bytes typed while no U-Boot ran would stop its autoboot and
            # reach its prompt; its own output must not reach the program.
            termios.tcflush(far, termios.TCIFLUSH)
            termios.tcflush(app, termios.TCIFLUSH)
            uboot = self._qemu_uboot(cable)
            try:
                t0 = time.monotonic()
                stop = uboot.wait_for(rb"Hit any key to stop autoboot", timeout=timeout)
                os.write(app, b"\x03")
                uboot.wait_prompt(after=stop.end(), timeout=timeout)
                uboot.boot_seconds = time.monotonic() - t0
                self._drain(app, len(uboot.output()), timeout)
            except BaseException:
                uboot.stop()
                raise
        finally:
            os.close(far)
            os.close(app)
        return uboot

    def _qemu_uboot(self, cable):
        output = os.path.join(self.scratch, "uboot-%s.out" % os.path.basename(cable.far_path))
        if os.path.exists(output):
            os.remove(output)
        cmd = ["qemu-system-arm", "-M", "virt", "-m", "256", "-bios", UBOOT_IMAGE,
               "-nodefaults", "-nic", "none", "-display", "none", "-monitor", "none",
               "-chardev", "serial,id=console,path=%s,logfile=%s" % (cable.far_path, output),
               "-serial", "chardev:console"]
        proc = self._popen(cmd, log_name="qemu-%s.log" % self.name, with_display=False)
        return UBoot(self, cable, proc, output)

    @staticmethod
    def _drain(fd, count, timeout):
        """Reads and drops `count` bytes from a pty end."""
        deadline = time.monotonic() + timeout * TIME_FACTOR
        while count > 0:
            left = deadline - time.monotonic()
            if left <= 0:
                raise RuntimeError("%d bytes of U-Boot's output never reached the app end" % count)
            if select.select([fd], [], [], left)[0]:
                count -= len(os.read(fd, count))

    def map_com(self, com_name, unix_path):
        m = re.fullmatch(r"COM(\d+)", com_name.upper())
        if not m or not 1 <= int(m.group(1)) <= 256:
            raise ValueError("bad COM name %r (COM1 to COM256)" % com_name)
        ours = ({c.app_path for c in self.cables} | {c.far_path for c in self.cables}
                | {c.link for c in self.cables if c.link})
        real = os.path.realpath(unix_path)
        if unix_path not in ours and real not in self.guard.allow:
            raise GuardError("%s is neither a cable of this rig nor an allowed device" % unix_path)
        self.mapping[com_name.upper()] = unix_path if unix_path in ours else real

    def map_ports(self):
        """Makes HKLM\\Software\\Wine\\Ports hold exactly the rig's mappings."""
        state = os.path.join(self.prefix, ".zrig-ports")
        try:
            with open(state) as f:
                if json.load(f) == self.mapping:
                    return
        except (OSError, ValueError):
            pass
        if os.path.exists(state):
            os.remove(state)
        lines = ["REGEDIT4", "", r"[-HKEY_LOCAL_MACHINE\Software\Wine\Ports]", "",
                 r"[HKEY_LOCAL_MACHINE\Software\Wine\Ports]"]
        lines += ['"%s"="%s"' % (k, v) for k, v in sorted(self.mapping.items())]
        regfile = os.path.join(self.scratch, "ports.reg")
        with open(regfile, "w") as f:
            f.write("\r\n".join(lines) + "\r\n")
        os.chown(regfile, *self.guard.owner)
        rc, out, err = self.run([_loader_for("regedit"), "regedit", "/S", regfile], timeout=60)
        self._kill_wineserver()
        if rc != 0:
            raise RuntimeError("regedit failed (%d): %s%s" % (rc, out, err))
        # Wine lays links only for ports it knows; links of earlier mappings would stay.
        for link in glob.glob(os.path.join(self.prefix, "dosdevices", "com*")):
            os.remove(link)
        with open(state, "w") as f:
            json.dump(self.mapping, f)

    def dosdevice_links(self):
        """{name: target} of the prefix's COM links as Wine last laid them."""
        links = {}
        for p in glob.glob(os.path.join(self.prefix, "dosdevices", "com*")):
            links[os.path.basename(p).upper()] = os.readlink(p)
        return links

    # --- programs -------------------------------------------------------

    def _program(self, exe_path):
        """(loader, path) for a program: a file, or a Wine builtin such as notepad."""
        if os.path.exists(exe_path):
            exe_path = os.path.abspath(exe_path)
        return _loader_for(exe_path), exe_path

    def start(self, exe_path, args=(), desktop=None, cwd=None, stdout=None, stderr=None):
        """Starts a program under Wine and returns its Popen."""
        self.map_ports()
        loader, exe_path = self._program(exe_path)
        if desktop:
            # explorer takes the program as a Windows path.
            win_path = "Z:" + exe_path.replace("/", "\\") if os.path.isabs(exe_path) else exe_path
            cmd = [_loader_for("explorer"), "explorer", "/desktop=%s,%s" % tuple(desktop), win_path]
        else:
            cmd = [loader, exe_path]
        log = "%s-%s.log" % (self.name, os.path.splitext(os.path.basename(exe_path))[0])
        if cwd is None and os.path.isabs(exe_path):
            cwd = os.path.dirname(exe_path)
        return self._popen(cmd + list(args), log_name=log, stdout=stdout, stderr=stderr, cwd=cwd)

    def wine(self, exe_path, args=(), timeout=60, cwd=None, capture=True):
        """Runs a program under Wine to completion: (rc, stdout, stderr);
        with capture=False its output goes straight to this process's."""
        self.map_ports()
        loader, exe_path = self._program(exe_path)
        if cwd is None and os.path.isabs(exe_path):
            cwd = os.path.dirname(exe_path)
        return self.run([loader, exe_path] + list(args), timeout=timeout, with_display=True,
                        cwd=cwd, capture=capture)

    def wine_processes(self):
        """[(pid, command line)] of the live processes of the rig's prefix."""
        found = []
        want = ("WINEPREFIX=" + self.prefix).encode()
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if want not in f.read().split(b"\0"):
                        continue
                with open("/proc/%s/stat" % entry) as f:
                    if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                        continue
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    cmdline = f.read().replace(b"\0", b" ").decode("utf-8", "replace").strip()
            except OSError:
                continue
            found.append((int(entry), cmdline))
        return found

    def screenshot(self, path):
        """Writes a PNG of the rig's X screen to `path`."""
        if not self.display:
            raise RuntimeError("this rig runs without a display")
        proc = self._popen(["xwd", "-root", "-silent", "-display", self.display],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            dump, err = proc.communicate(timeout=30)
        finally:
            self._procs.remove(proc)
        if proc.returncode != 0:
            raise RuntimeError("xwd failed: %s" % err.decode(errors="replace"))
        xwd_to_png(dump, path)
        return path


def _main(argv):
    if len(argv) >= 1 and argv[0] == "wine-tree":
        print(wine_build_tree(argv[1] if len(argv) > 1 else "build"))
        return 0
    if len(argv) == 2 and argv[0] == "prefix":
        t0 = time.monotonic()
        with Rig(argv[1], "prefix", display="none"):
            pass
        print("prefix ready in %.1f s" % (time.monotonic() - t0))
        return 0
    sys.stderr.write(__doc__.split("CLI:")[1])
    return 2


if __name__ == "__main__":
    sys.exit(_main(sys.argv[1:]))
