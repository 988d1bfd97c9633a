"""Receive display throughput of ZEVRIK under Wine (a benchmark, not a test).

    python3 bench/rx_display_bench.py --build build/win32 [--mib 4] [--view console]

The device end of a cable streams N MiB of numbered lines as fast as the
cable takes them into ZEVRIK with COM5 open, while the terminal's text and
the main window's message round trip are sampled.  Then, over the same
cable, a plain overlapped read loop (plain_read.exe) takes the same stream.

Printed: bytes per second reaching the terminal, the app's CPU seconds per
MiB, the 50th and 99th percentile of the round trip while streaming, the
plain loop's rate, and the goals beside them.  The terminal keeps only its
last ~2000 characters, so for the display "no byte lost" is judged on every
sampled window (each must be a contiguous piece of the stream) and on the
final tail; the plain loop hashes every byte.  With --view console the
terminal keeps the long history in console mode; its whole text (up to the
full history) is then read once a second and at the end, the round trip is
still sampled every 50 ms, and the memory the app holds after the stream is
printed beside its figure before it.
"""

import argparse
import json
import math
import os
import select
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

RECORD = 16
# Between two samples; sampling goes through the same UI thread as the display.
SAMPLE_PAUSE = 0.05


def stream_data(mib):
    """Numbered 16-byte lines: every window of the stream is unique."""
    return b"".join(b"%014d\r\n" % n for n in range(mib * (1 << 20) // RECORD))


def fnv1a(data):
    h = 2166136261
    for byte in data:
        h = ((h ^ byte) * 16777619) & 0xFFFFFFFF
    return h


def percentile(values, share):
    """Nearest-rank percentile."""
    ordered = sorted(values)
    return ordered[max(0, math.ceil(share * len(ordered)) - 1)]


def measure_display(harness, data, console):
    app = harness.App()
    try:
        if console:
            app.set_terminal_options(history=1, console=1)
        peer = harness.Peer(app.suite.cables[harness.MAIN_PORT])
        peer.drain()
        app.open_port(harness.MAIN_PORT)
        app.clear_terminal()
        cpu_before = app.cpu_seconds()
        kib_before = app.private_bytes()
        streamer = harness.Streamer(peer, data, chunk=65536)
        pings, samples, broken = [], 0, 0
        streamer.start()
        deadline = time.monotonic() + 900 * len(data) / (1 << 20)
        text, piece, shown_at, rounds = "", b"", None, 0
        while time.monotonic() < deadline:
            look = not console or rounds % 20 == 0 or not streamer.is_alive()
            rounds += 1
            if look:
                text = app.terminal()
                samples += 1
                piece = text.encode("latin-1")
                if data.find(piece) < 0:
                    broken += 1
            ping = app.call("ping", 1000)
            pings.append(ping["us"] if ping["answered"] else 1e6)
            if look and not streamer.is_alive() and len(text) >= 1987 and data.endswith(piece):
                shown_at = time.monotonic()
                break
            time.sleep(SAMPLE_PAUSE)
        cpu = app.cpu_seconds() - cpu_before
        kib_after = app.private_bytes()
        streamer.join(10)
        app.close_port()
        peer.close()
    finally:
        app.quit()
    if shown_at is None:
        raise RuntimeError("the last bytes never showed in the terminal (it ends %r)" % text[-40:])
    return {
        "seconds": shown_at - streamer.started_at,
        "cpu_seconds": cpu,
        "pings_us": pings,
        "samples": samples,
        "broken_samples": broken,
        "tail_ok": data.endswith(text.encode("latin-1")),
        "memory": (kib_before, kib_after),
    }


def measure_plain(harness, data):
    suite = harness.suite()
    exe = os.path.join(suite.build, "bench", "plain_read.exe")
    proc = suite.rig.start(exe, (harness.MAIN_PORT, str(len(data))), stdout=subprocess.PIPE)
    peer = harness.Peer(suite.cables[harness.MAIN_PORT])
    try:
        peer.drain()
        lines = read_lines(proc, 1, 60)
        if not json.loads(lines[0]).get("ready"):
            raise RuntimeError("plain_read could not open the port: %s" % lines[0])
        streamer = harness.Streamer(peer, data, chunk=65536)
        streamer.start()
        result = json.loads(read_lines(proc, 1, 600)[0])
        streamer.join(10)
    finally:
        peer.close()
        proc.wait(30)
    return result


def read_lines(proc, count, timeout):
    fd = proc.stdout.fileno()
    data = b""
    deadline = time.monotonic() + timeout
    while data.count(b"\n") < count:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise RuntimeError("plain_read gave no answer in %d s" % timeout)
        chunk = os.read(fd, 4096)
        if not chunk:
            raise RuntimeError("plain_read ended early")
        data += chunk
    return data.decode().splitlines()[:count]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="Windows build tree")
    parser.add_argument("--mib", type=int, default=4, help="MiB to stream (default 4)")
    parser.add_argument("--view", choices=("classic", "console"), default="classic",
                        help="terminal view: classic text, or console mode with the long history")
    opts = parser.parse_args(argv)
    os.environ["ZEVRIK_E2E_BUILD"] = os.path.abspath(opts.build)
    import harness

    data = stream_data(opts.mib)
    try:
        shown = measure_display(harness, data, opts.view == "console")
        plain = measure_plain(harness, data)
    finally:
        harness.close_suite()

    total = len(data)
    display_rate = total / shown["seconds"]
    plain_rate = plain["bytes"] / plain["seconds"] if plain["seconds"] > 0 else 0.0
    plain_ok = plain["bytes"] == total and plain["fnv1a"] == fnv1a(data)
    p50 = percentile(shown["pings_us"], 0.50) / 1000
    p99 = percentile(shown["pings_us"], 0.99) / 1000
    display_ok = shown["tail_ok"] and shown["broken_samples"] == 0

    def mark(ok):
        return "met" if ok else "NOT MET"

    print("view: %s" % opts.view)
    print("stream: %d MiB (%d bytes) of numbered lines, as fast as the cable takes them" % (opts.mib, total))
    print("app memory: %s before the stream, %s after" % shown["memory"])
    print("display: %.0f bytes/s reaching the terminal (%.2f s), %d samples, %d not contiguous, tail %s"
          % (display_rate, shown["seconds"], shown["samples"], shown["broken_samples"],
             "intact" if shown["tail_ok"] else "WRONG"))
    print("app CPU: %.3f s per MiB" % (shown["cpu_seconds"] / opts.mib))
    print("UI round trip while streaming: p50 %.1f ms, p99 %.1f ms (%d pings)"
          % (p50, p99, len(shown["pings_us"])))
    print("plain overlapped read loop: %.0f bytes/s (%d bytes in %.2f s, %d reads, hash %s)"
          % (plain_rate, plain["bytes"], plain["seconds"], plain["reads"],
             "matches" if plain_ok else "DIFFERS"))
    print("goal no byte lost: %s" % mark(display_ok and plain_ok))
    print("goal display >= 1/3 of the plain loop (%.0f bytes/s): %s (%.2f of it)"
          % (plain_rate / 3, mark(display_rate >= plain_rate / 3), display_rate / plain_rate if plain_rate else 0))
    print("goal UI round trip p99 < 100 ms: %s" % mark(p99 < 100))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
