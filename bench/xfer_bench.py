"""Protocol transfer speed of ZEVRIK under Wine (a benchmark, not a test).

    python3 bench/xfer_bench.py --build build/win32 [--mib 1 4] [--turnaround-mib 1]

Everything over the same virtual cable (COM5) in one run, each figure beside
its floor:

- ZMODEM send to lrzsz's rz and ZMODEM receive from sz, against ZEVRIK's raw
  file send and capture of the same file (timed as transfer_bench.py times
  them: send from the first byte to the last at the device, capture from the
  start of the stream until the dialog counted every byte). A ZMODEM run is
  timed at the device from the start of rz or sz to its exit, so the
  protocol's handshake and close count against it. Goal: at least 0.8 of
  the raw rate.
- XMODEM-1K send to rx -c and YMODEM send to rb: the turnaround, from the
  receiver's ACK going into the cable to the first byte of the next block
  coming out of it. lrzsz runs on a pty of its own behind a relay on the
  cable's far end that stamps every chunk it passes (so the figure is the
  app's and Wine's, not lrzsz's). The floor is plain_turnaround.exe, which
  answers each byte with a 1K block, one overlapped read and one write on one
  thread, timed the same way at the far end. Goal: p99 at most 2 ms.

zdrive's window hooks are taken off the app once the port is open; the
protocol transfers are started through the File Transfer dialog.
"""

import argparse
import json
import math
import os
import pty
import select
import shutil
import subprocess
import sys
import threading
import time
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))
sys.path.insert(0, HERE)

GOAL_SHARE = 0.8
GOAL_P99_MS = 2.0
ACK, SOH, STX = 0x06, 0x01, 0x02


def percentile(values, share):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(share * len(ordered)) - 1)]


class Relay(threading.Thread):
    """Runs `argv` on a pty of its own in `cwd` and passes bytes between it
    and the cable's far end, stamping each chunk after it was passed on."""

    def __init__(self, far_fd, argv, cwd):
        super().__init__(daemon=True)
        self.far_fd = far_fd
        self.master, slave = pty.openpty()
        tty.setraw(slave)
        self.proc = subprocess.Popen(argv, stdin=slave, stdout=slave, stderr=subprocess.DEVNULL, cwd=cwd)
        os.close(slave)
        self.started = time.monotonic()
        self.ended = None
        self.to_app, self.from_app = [], []
        self.start()

    def run(self):
        while True:
            try:
                ready = select.select([self.far_fd, self.master], [], [], 0.2)[0]
                for fd in ready:
                    data = os.read(fd, 65536)
                    if fd == self.master:
                        os.write(self.far_fd, data)
                        self.to_app.append((time.monotonic(), data))
                    else:
                        os.write(self.master, data)
                        self.from_app.append((time.monotonic(), data))
            except OSError:  # the program ended and its pty with it
                break
            if not ready and self.proc.poll() is not None:
                break
        self.ended = time.monotonic()

    def finish(self, timeout=120):
        rc = self.proc.wait(timeout)
        self.join(10)
        os.close(self.master)
        return rc

    def turnarounds(self):
        """ACK into the cable -> the next block's first byte out of it. An
        ACK that the receiver follows with more (YMODEM's 'C' after block 0)
        is not what the block answers, and is left out."""
        gaps, i = [], 0
        for n, (at, data) in enumerate(self.to_app):
            if data != bytes([ACK]):
                continue
            while i < len(self.from_app) and self.from_app[i][0] < at:
                i += 1
            later = self.to_app[n + 1][0] if n + 1 < len(self.to_app) else float("inf")
            if i < len(self.from_app) and self.from_app[i][1][0] in (SOH, STX) and self.from_app[i][0] < later:
                gaps.append(self.from_app[i][0] - at)
        return gaps


def zmodem_run(sx, app, peer, direction, path, data, work):
    """ZMODEM through the dialog with rz or sz behind the relay; the seconds
    from the program's start to its end, and whether the file came whole."""
    name = os.path.basename(path)
    peer.drain()
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    os.chmod(work, 0o777)
    if direction == "send":
        sx.start_send(app, "zmodem", [path])
        relay = Relay(peer.fd, ["rz"], work)
        got_path = os.path.join(work, name)
    else:
        sx.start_receive(app, "zmodem", work)
        sx.progress_dialog(app)
        relay = Relay(peer.fd, ["sz", name], os.path.dirname(path))
        got_path = os.path.join(work, name)
    rc = relay.finish()
    text = sx.wait_end(app, timeout=300)
    with open(got_path, "rb") as f:
        same = f.read() == data and rc == 0 and "complete" in text
    return {"seconds": relay.ended - relay.started, "same": same}


def turnaround_run(sx, app, peer, protocol, path, work):
    peer.drain()
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    sx.start_send(app, protocol, [path])
    argv = ["rx", "-c", "got.bin"] if protocol == "xmodem" else ["rb"]
    relay = Relay(peer.fd, argv, work)
    rc = relay.finish(600)
    text = sx.wait_end(app, timeout=60)
    if rc != 0 or "complete" not in text:
        raise RuntimeError("%s send failed: %s" % (protocol, text))
    return relay.turnarounds()


def floor_turnaround(harness, count):
    suite = harness.suite()
    exe = os.path.join(suite.build, "bench", "plain_turnaround.exe")
    peer = harness.Peer(suite.cables[harness.MAIN_PORT])
    gaps = []
    try:
        peer.drain()
        proc = suite.rig.start(exe, (harness.MAIN_PORT, str(count)), stdout=subprocess.PIPE)
        if not json.loads(proc.stdout.readline()).get("ready"):
            raise RuntimeError("plain_turnaround could not open the port")
        for _ in range(count):
            at = time.monotonic()
            peer.write(bytes([ACK]))
            if not select.select([peer.fd], [], [], 10)[0]:
                raise RuntimeError("plain_turnaround stopped answering")
            gaps.append(time.monotonic() - at)
            if len(peer.read(1029, timeout=10)) != 1029:
                raise RuntimeError("plain_turnaround sent a short block")
        proc.wait(30)
    finally:
        peer.close()
    return gaps


def random_file(directory, name, size):
    path = os.path.join(directory, name)
    data = os.urandom(size)
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, 0o644)
    return path, data


def measure(harness, opts):
    import steps_transfer as st
    import steps_xfer as sx
    import transfer_bench as tb

    suite = harness.suite()
    scratch = suite.rig.scratch
    results = {"rates": [], "turnaround": {}}
    app = harness.App()
    try:
        peer = harness.Peer(suite.cables[harness.MAIN_PORT])
        peer.drain()
        app.open_port(harness.MAIN_PORT)
        app.call("unhook")
        # The raw transfers first: File Transfer keeps the protocol last chosen.
        for mib in opts.mib:
            size = int(mib * (1 << 20))
            path, data = random_file(scratch, "xbench-%d.bin" % size, size)
            row = {"mib": mib, "size": size, "path": path, "data": data}
            row["raw_send"] = tb.zevrik_send(harness, st, app, peer, path, data)
            row["raw_capture"] = tb.zevrik_capture(harness, st, app, peer,
                                                   os.path.join(scratch, "xbench-capture.bin"), data)
            results["rates"].append(row)
        work = os.path.join(scratch, "xbench-work")
        for row in results["rates"]:
            row["z_send"] = zmodem_run(sx, app, peer, "send", row["path"], row["data"], work)
            row["z_receive"] = zmodem_run(sx, app, peer, "receive", row["path"], row["data"], work)
        path, _ = random_file(scratch, "xbench-turn.bin", int(opts.turnaround_mib * (1 << 20)))
        sx.set_options(app, xblock=2)
        for protocol in ("xmodem", "ymodem"):
            results["turnaround"][protocol] = turnaround_run(sx, app, peer, protocol, path, work)
        sx.set_options(app, xblock=1)
        peer.close()
        app.command(40008)
        harness.wait_until(lambda: app.summary() == "", 10, "the port to close")
    finally:
        app.quit()
    results["floor"] = floor_turnaround(harness, len(results["turnaround"]["xmodem"]))
    return results


def report(results):
    def rate(r, size):
        return size / r["seconds"] if r["seconds"] > 0 else 0.0

    all_fast, all_same = True, True
    for row in results["rates"]:
        size = row["size"]
        print("size %g MiB (%d bytes)" % (row["mib"], size))
        for mine, raw, what in (("z_send", "raw_send", "send"), ("z_receive", "raw_capture", "receive")):
            share = rate(row[mine], size) / rate(row[raw], size) if rate(row[raw], size) else 0.0
            all_fast &= share >= GOAL_SHARE
            all_same &= row[mine]["same"] and row[raw]["same"]
            print("  ZMODEM %-7s %10.0f bytes/s (%.3f s, %s); raw file %-7s %10.0f bytes/s (%.3f s); share %.2f"
                  % (what, rate(row[mine], size), row[mine]["seconds"],
                     "identical" if row[mine]["same"] else "DIFFERENT",
                     "send" if what == "send" else "capture", rate(row[raw], size), row[raw]["seconds"], share))
    floor = [g * 1000 for g in results["floor"]]
    print("turnaround, ACK into the cable to the next block's first byte out of it (ms):")
    print("  floor (plain_turnaround.exe) p50 %.3f p99 %.3f max %.3f over %d"
          % (percentile(floor, 0.5), percentile(floor, 0.99), max(floor), len(floor)))
    turn_ok = True
    for protocol, gaps in results["turnaround"].items():
        ms = [g * 1000 for g in gaps]
        p99 = percentile(ms, 0.99)
        turn_ok &= p99 <= GOAL_P99_MS
        print("  %-6s send        p50 %.3f p99 %.3f max %.3f over %d blocks"
              % (protocol.upper(), percentile(ms, 0.5), p99, max(ms), len(ms)))

    def mark(ok):
        return "met" if ok else "NOT MET"

    print("goal ZMODEM at least %.1f of the raw rate: %s" % (GOAL_SHARE, mark(all_fast)))
    print("goal byte-identical: %s" % mark(all_same))
    print("goal turnaround p99 at most %.0f ms: %s" % (GOAL_P99_MS, mark(turn_ok)))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="Windows build tree")
    parser.add_argument("--mib", type=float, nargs="+", default=[1, 4], help="ZMODEM sizes in MiB (default 1 4)")
    parser.add_argument("--turnaround-mib", type=float, default=1, help="file for the turnaround (default 1 MiB)")
    opts = parser.parse_args(argv)
    os.environ["ZEVRIK_E2E_BUILD"] = os.path.abspath(opts.build)
    import harness

    try:
        results = measure(harness, opts)
    finally:
        harness.close_suite()
    report(results)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
