#!/usr/bin/env python3
"""A full-system emulator for the rig: runs a command in a Debian amd64 guest
whose kernel runs 32-bit programs, on a machine whose kernel does not, so that
the i686 exe and the x86 installer that ship are run by the project's tests.

    python3 scripts/zvm.py prepare BUILD       makes BUILD/vm once (idempotent)
    python3 scripts/zvm.py run BUILD [--cwd DIR] [--timeout S] -- CMD ARG...
    python3 scripts/zvm.py needed              exit 0 where this kernel needs it

prepare takes Debian 12's own amd64 kernel (`apt-get download`, unpacked
with `dpkg-deb -x`, never installed) and writes an initramfs of busybox
(busybox-static) and the modules the 9p root needs, beside the package's
version in BUILD/vm/ready.  run prepares when needed, then boots a fresh
guest: qemu-system-x86_64 under TCG with one vCPU and the instruction clock
(-icount), so that time inside the guest measures emulated work, not the
host's load (ZVM_CLOCK=real: two vCPUs on the host's clock instead).  The guest mounts this machine's / read-only over 9p, lays a
tmpfs over it (what the command writes is gone after the boot), chroots into
it and runs CMD as root in DIR (default: the current directory).  The
command's output comes back live on this program's stdout through a second
serial port; its exit status through a small writable share
(BUILD/vm/share, seen at the same path in the guest: a command may leave
files there).  The kernel's console is in BUILD/vm/console.log.

It refuses to run where the kernel runs 32-bit code: the rig then runs the
i686 build natively.  One guest at a time per BUILD (a lock file).
"""

import argparse
import fcntl
import hashlib
import lzma
import os
import re
import shutil
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import zrig  # noqa: E402

KERNEL_META = "linux-image-amd64"
BUSYBOX = "/bin/busybox"
# What the 9p root, the overlay and the share need; their `depends=` follow.
MODULES = ("virtio_pci", "9pnet_virtio", "9p", "overlay")
# qemu 7.2 under TCG: SMAP makes every Wine process oops at iret.
QEMU = ("qemu-system-x86_64", "-cpu", "max,-smap", "-m", "6144", "-nodefaults",
        "-display", "none", "-no-reboot")
# The guest's clock: "icount" counts instructions (one vCPU: a second never
# comes up with -icount), so that time-outs measure emulated work; "real"
# runs two vCPUs on the host's clock.
CLOCKS = {
    "icount": ("-accel", "tcg,thread=single", "-icount", "shift=0,sleep=on", "-smp", "1"),
    "real": ("-accel", "tcg,thread=multi", "-smp", "2"),
}
P9 = "trans=virtio,version=9p2000.L,msize=262144"
# The rig's waits in a guest: with one instruction a nanosecond the guest is
# a slower machine than this one (the chosen tests take 3-4 times their
# native time there, counted on the guest's clock).
TIME_FACTOR = "4"

INIT = r"""#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
out=/dev/ttyS1
stty -F $out raw -echo
fail() { echo "zvm guest: $*" >$out; sync; poweroff -f; }
for m in $(cat /modules); do insmod /lib/modules/$m.ko || fail "insmod $m"; done
share=$(sed -n 's/.* zvm_share=\([^ ]*\).*/\1/p' /proc/cmdline)
cwd=$(sed -n 's/.* zvm_cwd=\([^ ]*\).*/\1/p' /proc/cmdline)
mkdir -p /lower /rw /root
mount -t 9p -o ro,cache=loose,@P9@ hostroot /lower || fail "9p root"
mount -t tmpfs -o mode=755,size=5g rw /rw
mkdir /rw/upper /rw/work
mount -t overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work overlay /root ||
    fail overlay
r=/root
mount -t proc proc $r/proc
mount -t sysfs sysfs $r/sys
mount -t devtmpfs devtmpfs $r/dev
mkdir -p $r/dev/pts $r/dev/shm
mount -t devpts -o newinstance,ptmxmode=666,mode=620,gid=5 devpts $r/dev/pts
mount -t tmpfs -o mode=1777 shm $r/dev/shm
mount -t tmpfs -o mode=1777 tmp $r/tmp
# A command run from under /tmp still sees its directory, writable.
case $cwd in /tmp/*)
    mkdir -p /rw/cwd-upper /rw/cwd-work $r$cwd
    mount -t overlay -o lowerdir=/lower$cwd,upperdir=/rw/cwd-upper,workdir=/rw/cwd-work overlay \
        $r$cwd || fail "overlay on $cwd";;
esac
mount -t tmpfs -o mode=755 run $r/run
mkdir -p $r$share
mount -t 9p -o @P9@ zvmshare $r$share || fail share
ifconfig lo 127.0.0.1 up
echo "zvm: guest up" >$out
chroot $r /bin/sh $share/cmd.sh >$out 2>&1 </dev/null
echo $? >$r$share/rc
sync
poweroff -f
""".replace("@P9@", P9)


def log(msg):
    sys.stderr.write("zvm: %s\n" % msg)
    sys.stderr.flush()


class Paths:
    def __init__(self, build):
        self.root = os.path.join(os.path.abspath(build), "vm")
        self.ready = os.path.join(self.root, "ready")
        self.kernel = os.path.join(self.root, "vmlinuz")
        self.initrd = os.path.join(self.root, "initrd.cpio")
        self.share = os.path.join(self.root, "share")
        self.console = os.path.join(self.root, "console.log")
        self.lock = os.path.join(self.root, "lock")
        self.prefix = os.path.join(self.root, "prefix")
        self.prefix_ready = os.path.join(self.root, "prefix.ready")


# --- prepare ---------------------------------------------------------------

def kernel_package():
    """The versioned package Debian's amd64 kernel meta-package names."""
    out = subprocess.run(["apt-cache", "depends", KERNEL_META], check=True,
                         capture_output=True, text=True).stdout
    m = re.search(r"Depends: (linux-image-\S+)", out)
    if not m:
        raise RuntimeError("apt-cache names no kernel for %s: run apt-get update" % KERNEL_META)
    return m.group(1)


def unpack_kernel(pkg, work):
    """Downloads and unpacks `pkg` into work/unpacked; returns its root."""
    os.makedirs(work, exist_ok=True)
    for old in os.listdir(work):
        if old.endswith(".deb"):
            os.remove(os.path.join(work, old))
    # apt's download sandbox user must be able to write here.
    subprocess.run(["apt-get", "download", "-o", "APT::Sandbox::User=root", pkg], cwd=work,
                   check=True)
    debs = [f for f in os.listdir(work) if f.endswith(".deb")]
    root = os.path.join(work, "unpacked")
    shutil.rmtree(root, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-x", os.path.join(work, debs[0]), root], check=True)
    return root


def modinfo_depends(data):
    m = re.search(rb"(?:^|\0)depends=([^\0]*)\0", data)
    return [d for d in m.group(1).decode().split(",") if d] if m else []


def module_files(modroot):
    """{name: path} of every module of the unpacked kernel (- and _ alike)."""
    found = {}
    for d, _, files in os.walk(modroot):
        for f in files:
            m = re.match(r"(.+)\.ko(\.xz)?$", f)
            if m:
                found[m.group(1).replace("-", "_")] = os.path.join(d, f)
    return found


def ordered_modules(modroot, wanted):
    """[(name, ko bytes)] of `wanted` and what they depend on, each after its
    dependencies; names built into the kernel are left out."""
    files = module_files(modroot)
    done, order = set(), []

    def visit(name):
        name = name.replace("-", "_")
        if name in done:
            return
        done.add(name)
        if name not in files:
            return  # built in
        path = files[name]
        data = lzma.decompress(open(path, "rb").read()) if path.endswith(".xz") else \
            open(path, "rb").read()
        for dep in modinfo_depends(data):
            visit(dep)
        order.append((name, data))

    for name in wanted:
        visit(name)
    return order


def cpio(entries):
    """A newc archive of (path, mode, data) entries."""
    out = bytearray()
    for ino, (path, mode, data) in enumerate(list(entries) + [("TRAILER!!!", 0, b"")], 1):
        name = path.encode() + b"\0"
        fields = (ino, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(name), 0)
        out += b"070701" + b"".join(b"%08X" % v for v in fields) + name
        out += b"\0" * (-len(out) % 4) + data
        out += b"\0" * (-len(out) % 4)
    return bytes(out)


def make_initrd(modroot, path):
    mods = ordered_modules(modroot, MODULES)
    entries = [(d, 0o40755, b"") for d in ("bin", "dev", "proc", "sys", "lib", "lib/modules")]
    entries.append(("bin/busybox", 0o100755, open(BUSYBOX, "rb").read()))
    entries.append(("init", 0o100755, INIT.encode()))
    entries.append(("modules", 0o100644, "".join(n + "\n" for n, _ in mods).encode()))
    entries += [("lib/modules/%s.ko" % n, 0o100644, data) for n, data in mods]
    with open(path + ".tmp", "wb") as f:
        f.write(cpio(entries))
    os.replace(path + ".tmp", path)
    return [n for n, _ in mods]


def prepare(paths):
    """Makes what is missing or stale: the kernel and initramfs, then the
    Wine prefix template."""
    os.makedirs(paths.root, exist_ok=True)
    pkg = kernel_package()
    prepare_guest(paths, pkg)
    prepare_prefix(paths, pkg)


def prepare_prefix(paths, pkg):
    """A Wine prefix made once by wineboot in a guest (minutes there), kept
    as BUILD/vm/prefix; the rig in a guest lays every new prefix over it
    (ZRIG_PREFIX_TEMPLATE)."""
    wine = subprocess.run([zrig.WINE64, "--version"], capture_output=True, text=True).stdout
    stamp = "%s %s" % (pkg, wine)
    if os.path.exists(paths.prefix_ready) and open(paths.prefix_ready).read() == stamp \
            and os.path.isdir(paths.prefix):
        return
    work = "/tmp/zvm-prefix"
    script = ('python3 %s prefix %s && tar -C %s/wine/prefix -cf %s/prefix.tar .'
              % (os.path.join(HERE, "zrig.py"), work, work, paths.share))
    t0 = time.monotonic()
    if boot(paths, ["sh", "-c", script], HERE, 3600) != 0:
        raise RuntimeError("no Wine prefix was made in the guest")
    shutil.rmtree(paths.prefix, ignore_errors=True)
    os.makedirs(paths.prefix)
    tar = os.path.join(paths.share, "prefix.tar")
    subprocess.run(["tar", "-xf", tar, "-C", paths.prefix], check=True)
    os.remove(tar)
    with open(paths.prefix_ready, "w") as f:
        f.write(stamp)
    log("Wine prefix template made in %.0f s" % (time.monotonic() - t0))


def prepare_guest(paths, pkg):
    """Fetches the kernel and writes the initramfs unless the same kernel
    package is already prepared."""
    made_by = hashlib.sha256((INIT + " ".join(MODULES)).encode()).hexdigest()[:16]
    stamp = "%s %s %s\n" % (pkg, os.stat(BUSYBOX).st_size, made_by)
    if os.path.exists(paths.ready) and open(paths.ready).read() == stamp:
        return
    t0 = time.monotonic()
    root = unpack_kernel(pkg, os.path.join(paths.root, "kernel"))
    vmlinuz = [f for f in os.listdir(os.path.join(root, "boot")) if f.startswith("vmlinuz-")]
    shutil.copyfile(os.path.join(root, "boot", vmlinuz[0]), paths.kernel)
    mods = make_initrd(os.path.join(root, "lib", "modules"), paths.initrd)
    shutil.rmtree(os.path.dirname(root))
    with open(paths.ready, "w") as f:
        f.write(stamp)
    log("prepared %s with modules %s in %.0f s" % (pkg, " ".join(mods), time.monotonic() - t0))


# --- run -------------------------------------------------------------------

def shell_quote(arg):
    return "'" + arg.replace("'", "'\\''") + "'"


def write_command(paths, argv, cwd):
    env = {"PATH": "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
           "HOME": "/root", "LANG": "C.UTF-8", "PYTHONUNBUFFERED": "1",
           "ZRIG_TIME_FACTOR": os.environ.get("ZRIG_TIME_FACTOR", TIME_FACTOR)}
    if os.path.exists(paths.prefix):
        env["ZRIG_PREFIX_TEMPLATE"] = paths.prefix
    lines = ["export %s=%s" % (k, shell_quote(v)) for k, v in sorted(env.items())]
    lines += ["cd %s || exit 126" % shell_quote(cwd), " ".join(shell_quote(a) for a in argv)]
    with open(os.path.join(paths.share, "cmd.sh"), "w") as f:
        f.write("\n".join(lines) + "\n")


def boot(paths, argv, cwd, timeout):
    """Runs argv in a fresh guest; returns its exit status (125: the guest
    ended without one)."""
    if re.search(r"\s", paths.share + cwd):
        raise RuntimeError("the paths must not hold blanks: %s, %s" % (paths.share, cwd))
    shutil.rmtree(paths.share, ignore_errors=True)
    os.makedirs(paths.share)
    write_command(paths, argv, cwd)
    cmd = list(QEMU) + list(CLOCKS[os.environ.get("ZVM_CLOCK", "icount")]) + [
        "-kernel", paths.kernel, "-initrd", paths.initrd,
        "-append", "console=ttyS0 panic=-1 quiet zvm_share=%s zvm_cwd=%s" % (paths.share, cwd),
        "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,"
                   "multidevs=remap",
        "-virtfs", "local,path=%s,mount_tag=zvmshare,security_model=none" % paths.share,
        "-serial", "file:" + paths.console,
        "-chardev", "stdio,id=out,signal=off", "-serial", "chardev:out"]
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
    timer = threading.Timer(timeout, _overrun, (proc, timeout))
    timer.start()
    try:
        _forward(proc.stdout, t0)
        proc.wait()
    finally:
        timer.cancel()
    rc_file = os.path.join(paths.share, "rc")
    took = time.monotonic() - t0
    if not os.path.exists(rc_file):
        log("the guest ended without an exit status after %.0f s (qemu %s); see %s"
            % (took, proc.returncode, paths.console))
        return 125
    rc = int(open(rc_file).read().strip() or 125)
    log("guest ran for %.0f s, exit status %d" % (took, rc))
    return rc


def _overrun(proc, timeout):
    log("the guest overran %d s; stopping qemu (pid %d)" % (timeout, proc.pid))
    proc.kill()


def _forward(pipe, t0):
    """Copies the guest's output to stdout, the boot marker as a figure."""
    marker = b"zvm: guest up\n"
    for line in iter(pipe.readline, b""):
        if line.endswith(marker):
            log("guest up after %.0f s" % (time.monotonic() - t0))
            line = line[:-len(marker)]
        sys.stdout.buffer.write(line)
        sys.stdout.flush()


def run(build, argv, cwd, timeout):
    if zrig.can_run_32bit():
        log("this kernel runs 32-bit code: run the i686 build natively, not in a guest")
        return 2
    paths = Paths(build)
    os.makedirs(paths.root, exist_ok=True)
    with open(paths.lock, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        prepare(paths)
        return boot(paths, argv, cwd, timeout)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="what", required=True)
    p = sub.add_parser("prepare")
    p.add_argument("build")
    r = sub.add_parser("run")
    r.add_argument("build")
    r.add_argument("--cwd", default=os.getcwd())
    r.add_argument("--timeout", type=float, default=3600)
    r.add_argument("command", nargs="+")
    sub.add_parser("needed")
    opts = parser.parse_args(argv)
    if opts.what == "needed":
        return 1 if zrig.can_run_32bit() else 0
    if opts.what == "prepare":
        paths = Paths(opts.build)
        os.makedirs(paths.root, exist_ok=True)
        with open(paths.lock, "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            prepare(paths)
        return 0
    return run(opts.build, opts.command, os.path.abspath(opts.cwd), opts.timeout)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
