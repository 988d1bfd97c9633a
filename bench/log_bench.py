"""The log's cost under Wine (a benchmark, not a test).

    python3 bench/log_bench.py --build build/win32 [--mib 4] [--paced-mib 2] [--rounds 3]

Display: the device end of COM5 streams N MiB of numbered lines as fast as
the cable takes them, with no log, then with a text log and with a hex log
running, in rounds (best of each kept, so a busy machine hurts all alike);
printed is the rate at which the bytes reach the terminal beside the run
without a log, and the plain overlapped read loop (plain_read.exe) over the
same cable for scale.

Keeping up: the same lines paced at 921,600 baud (92,160 bytes/s) into a
text log and a hex log. Printed for each: how far the file was behind the
line at its worst and after the stream (the log's thread writes every
100 ms), and the CPU time of the log's own thread (read from Linux for the
thread the start created) per MiB logged. Goals: display with a log >= 0.9
of without, the log behind by under a second, CPU < 0.1 s per MiB logged.
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, HERE)

from rx_display_bench import fnv1a, measure_plain, stream_data  # noqa: E402

LINE_BYTES = 16
LINE_RATE = 92160  # 921,600 baud, 10 bits a byte
PACE = 0.1  # seconds between the paced chunks
SAMPLE = 0.05


def tasks(app):
    app.cpu_seconds()  # finds the app's Linux process
    return set(os.listdir("/proc/%d/task" % app.unix_pid))


def tasks_cpu(app, tids):
    """CPU seconds of the app's Linux threads `tids`."""
    total = 0
    for tid in tids:
        with open("/proc/%d/task/%s/stat" % (app.unix_pid, tid)) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        total += int(fields[11]) + int(fields[12])
    return total / os.sysconf("SC_CLK_TCK")


def start_log(harness, app, out, fmt):
    """Starts a log of format `fmt` (0 text, 1 hex) into the empty folder
    `out`; returns its window and the threads the start created."""
    import test_log
    for name in os.listdir(out):
        os.remove(os.path.join(out, name))
    log = test_log.LogWindow(app)
    log.set(fmt=fmt, pattern="Z:" + out.replace("/", "\\") + "\\bench.log")
    before = tasks(app)
    log.press(test_log.START)
    log.wait_state("Logging to")
    return log, tasks(app) - before


def logged_bytes(out, fmt):
    """Stream bytes the log holds, from its last whole line: a text line is a
    stream line (its number tells how many came before), a hex row starts
    with its offset."""
    path = os.path.join(out, "bench.log")
    if not os.path.exists(path):
        return 0
    with open(path, "rb") as f:
        f.seek(max(0, os.path.getsize(path) - 512))
        lines = [line for line in f.read().split(b"\r\n")[1:-1] if line[23:24] != b"*"]
    if not lines:
        return 0
    fields = lines[-1][24:].split()
    if fmt == 0:
        return (int(fields[0]) + 1) * LINE_BYTES
    return int(fields[0], 16) + len(fields) - 2


def run(harness, data, fmt, paced, out):
    """One stream into a fresh app; fmt None for no log. Returns seconds until
    the terminal showed the last bytes, the app's and the log thread's CPU
    seconds, and the log's worst and final lag."""
    app = harness.App()
    try:
        peer = harness.Peer(app.suite.cables[harness.MAIN_PORT])
        peer.drain()
        app.open_port(harness.MAIN_PORT)
        log, log_tids = start_log(harness, app, out, fmt) if fmt is not None else (None, set())
        cpu_before, log_before = app.cpu_seconds(), tasks_cpu(app, log_tids)
        chunk = int(LINE_RATE * PACE) // LINE_BYTES * LINE_BYTES if paced else 65536
        streamer = harness.Streamer(peer, data, chunk=chunk, pause=PACE if paced else 0.0)
        streamer.start()
        worst, shown_at = 0.0, None
        tail = data[-60:].decode("latin-1")
        while shown_at is None:
            if log is not None and paced:
                sent = min(len(data), (time.monotonic() - streamer.started_at) / PACE * chunk)
                worst = max(worst, (sent - logged_bytes(out, fmt)) / LINE_RATE)
            if not streamer.is_alive() and app.terminal().endswith(tail):
                shown_at = time.monotonic()
            time.sleep(SAMPLE)
        final = None
        if log is not None:
            while logged_bytes(out, fmt) < len(data) and time.monotonic() - shown_at < 10:
                time.sleep(0.01)
            final = time.monotonic() - shown_at
        cpu, log_cpu = app.cpu_seconds() - cpu_before, tasks_cpu(app, log_tids) - log_before
        if log is not None:
            log.press(1152)
        app.close_port()
        peer.close()
    finally:
        app.quit()
    return {"seconds": shown_at - streamer.started_at, "cpu": cpu, "log_cpu": log_cpu, "worst_lag": worst,
            "final_lag": final}


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="Windows build tree")
    parser.add_argument("--mib", type=int, default=4, help="MiB streamed as fast as the cable goes")
    parser.add_argument("--paced-mib", type=int, default=2, help="MiB streamed at 921,600 baud")
    parser.add_argument("--rounds", type=int, default=3, help="rounds of the display runs")
    opts = parser.parse_args(argv)
    os.environ["ZEVRIK_E2E_BUILD"] = os.path.abspath(opts.build)
    import harness

    fast, paced = stream_data(opts.mib), stream_data(opts.paced_mib)
    try:
        out = os.path.join(harness.suite().rig.scratch, "log-bench")
        os.makedirs(out, exist_ok=True)
        os.chown(out, *harness.suite().rig.guard.owner)
        rounds = [{fmt: run(harness, fast, fmt, False, out) for fmt in (None, 0, 1)} for _ in range(opts.rounds)]
        kept = {fmt: run(harness, paced, fmt, True, out) for fmt in (0, 1)}
        plain = measure_plain(harness, fast)
    finally:
        harness.close_suite()

    def mark(ok):
        return "met" if ok else "NOT MET"

    names = {None: "no log", 0: "text log", 1: "hex log"}
    best = {fmt: min(r[fmt]["seconds"] for r in rounds) for fmt in (None, 0, 1)}
    floor = len(fast) / best[None]
    plain_ok = plain["bytes"] == len(fast) and plain["fnv1a"] == fnv1a(fast)
    print("display, %d MiB of numbered lines as fast as the cable takes them, best of %d rounds:"
          % (opts.mib, opts.rounds))
    print("  plain overlapped read loop: %.0f bytes/s (hash %s)"
          % (plain["bytes"] / plain["seconds"], "matches" if plain_ok else "DIFFERS"))
    for fmt in (None, 0, 1):
        rate = len(fast) / best[fmt]
        each = ", ".join("%.0f" % (len(fast) / r[fmt]["seconds"]) for r in rounds)
        log_cpu = ", log's thread %.3f s per MiB" % (min(r[fmt]["log_cpu"] for r in rounds) / opts.mib)
        print("  %-8s %9.0f bytes/s (rounds: %s), %.2f of no log%s%s"
              % (names[fmt], rate, each, rate / floor, "" if fmt is None else log_cpu,
                 "" if fmt is None else ": goal >= 0.9 %s" % mark(rate >= 0.9 * floor)))
    print("keeping up, %d MiB at 921,600 baud (%d bytes/s):" % (opts.paced_mib, LINE_RATE))
    for fmt in (0, 1):
        per_mib = kept[fmt]["log_cpu"] / opts.paced_mib
        print("  %-8s behind at worst %.2f s, all logged %.2f s after the screen showed the end; "
              "log's thread %.3f s CPU per MiB (app %.3f): goals %s, %s"
              % (names[fmt], kept[fmt]["worst_lag"], kept[fmt]["final_lag"], per_mib,
                 kept[fmt]["cpu"] / opts.paced_mib,
                 mark(kept[fmt]["worst_lag"] < 1.0 and kept[fmt]["final_lag"] < 1.0), mark(per_mib < 0.1)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
