"""The Plot window's figures in ZEVRIK under Wine (a benchmark, not a test;
bench/plot --build DIR runs it after the pure figures).

    python3 bench/plot_app.py --build build/win32 [--seconds 60] [--redraws 200] [--view console]

Stream: the device end of COM5 prints 16 channels at 2,000 lines a second
for --seconds, into ZEVRIK with the Plot window closed (the terminal alone,
the floor of the app's figures), then with it open, then with it open and
the terminal not showing the lines (RE released), then into a plain
overlapped read loop (plain_read.exe, the floor of the read path). Printed
for each: what arrived against what was sent (lines the plot recorded, the
terminal's last line, the plain loop's bytes and hash), the app's CPU as a
share of one core, the main window's message round trip (zdrive ping every
50 ms: p50, p99), and with the plot open the refreshes a second its status
line shows (sampled once a second after the first two). The terminal shows
the lines in its classic view, or with --view console in console mode with
the long history.

Redraw: 1,000,000 lines of 10 channels recorded as fast as the cable takes
them (the terminal not showing them: RE off), the line axis spanning them
all, the view held (Pause). --redraws
redraws forced from zdrive (RedrawWindow has the app paint before it
returns) beside as many pings, the round trip each redraw includes.
"""

import argparse
import json
import math
import os
import re
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))
sys.path.insert(0, HERE)

from rx_display_bench import fnv1a, percentile, read_lines  # noqa: E402

RATE, CHANNELS = 2000, 16
REDRAW_LINES, REDRAW_CHANNELS = 1000000, 10
PLOT_COMMAND, PLOT_TITLE = 40031, "Plot"
AXIS, SPAN, PAUSE, VIEW, STATUS = 1124, 1125, 1120, 1133, 1135
RECEIVE_ENABLE = 1012


def stream_lines(count):
    """16 sensor-like channels a line: every line differs from the others."""
    return [("%d," % n + ",".join("%.3f" % (100 * math.sin(n / (50.0 + 7 * c))) for c in range(1, CHANNELS))
             + "\r\n").encode() for n in range(count)]


class Pacer(threading.Thread):
    """Writes the lines at RATE a second, a few milliseconds' worth at a time."""

    def __init__(self, peer, lines):
        super().__init__(daemon=True)
        self.peer, self.lines, self.sent = peer, lines, 0

    def run(self):
        started = time.monotonic()
        while self.sent < len(self.lines):
            due = min(len(self.lines), int((time.monotonic() - started) * RATE))
            if due > self.sent:
                self.peer.write(b"".join(self.lines[self.sent:due]))
                self.sent = due
            time.sleep(0.004)


def status_of(app, dlg):
    """(lines recorded, refreshes in the last second, the last drawing's ms)."""
    text = app.text(dlg, STATUS)
    found = re.match(r"(\d+) lines, \d+ channels \| refresh (\d+)/s, draw ([\d.]+) ms", text)
    return (int(found.group(1)), int(found.group(2)), float(found.group(3))) if found else (0, 0, 0.0)


def open_plot(app):
    app.command(PLOT_COMMAND)
    return app.wait_dialog(PLOT_TITLE)["hwnd"]


def release_receive_enable(app, harness):
    app.call("click", "tb", RECEIVE_ENABLE)
    harness.wait_until(lambda: app.control("tb", RECEIVE_ENABLE)["check"] == 0, 10, "RE off")


def measure_app(harness, lines, plot, shown=True, console=False):
    """One streaming run; the plot window open or never opened, the terminal
    showing the lines or not (RE released), in the console view or not."""
    app = harness.App()
    try:
        peer = harness.Peer(app.suite.cables[harness.MAIN_PORT])
        peer.drain()
        app.open_port(harness.MAIN_PORT)
        if console:
            app.set_terminal_options(history=1, console=1)
        dlg = open_plot(app) if plot else None
        if not shown:
            release_receive_enable(app, harness)
        app.call("unhook")
        pacer = Pacer(peer, lines)
        cpu_before = app.cpu_seconds()
        started = time.monotonic()
        pacer.start()
        pings, rates, draws, looked = [], [], [], started
        while pacer.is_alive():
            ping = app.call("ping", 1000)
            pings.append(ping["us"] if ping["answered"] else 1e6)
            if dlg and time.monotonic() - looked >= 1.0:
                looked = time.monotonic()
                if looked - started > 2:
                    _, rate, draw = status_of(app, dlg)
                    rates.append(rate)
                    draws.append(draw)
            time.sleep(0.05)
        cpu = (app.cpu_seconds() - cpu_before) / (time.monotonic() - started)
        time.sleep(2)
        recorded = status_of(app, dlg)[0] if dlg else None
        # The console view wraps the line at its width.
        last = lines[-1].decode().rstrip()
        last_shown = last in app.terminal()[-400:].replace("\r\n", "")
        peer.close()
    finally:
        app.quit()
    return {"cpu": cpu, "pings": pings, "rates": rates, "draws": draws or [0.0], "recorded": recorded,
            "last_shown": last_shown}


def measure_plain(harness, lines, data):
    suite = harness.suite()
    exe = os.path.join(suite.build, "bench", "plain_read.exe")
    proc = suite.rig.start(exe, (harness.MAIN_PORT, str(len(data))), stdout=subprocess.PIPE)
    peer = harness.Peer(suite.cables[harness.MAIN_PORT])
    try:
        peer.drain()
        if not json.loads(read_lines(proc, 1, 60)[0]).get("ready"):
            raise RuntimeError("plain_read could not open the port")
        pacer = Pacer(peer, lines)
        pacer.start()
        result = json.loads(read_lines(proc, 1, 900)[0])
        pacer.join(10)
    finally:
        peer.close()
        proc.wait(30)
    return result


def measure_redraws(harness, count):
    app = harness.App()
    try:
        peer = harness.Peer(app.suite.cables[harness.MAIN_PORT])
        peer.drain()
        app.open_port(harness.MAIN_PORT)
        dlg = open_plot(app)
        # The terminal stops showing what comes (RE off): the plot records it
        # all the same, many times faster.
        release_receive_enable(app, harness)
        lines = (("%d," % n + ",".join("%d" % (n * c % 997) for c in range(1, REDRAW_CHANNELS)) + "\r\n").encode()
                 for n in range(REDRAW_LINES))
        streamer = harness.Streamer(peer, b"".join(lines), chunk=65536)
        fill_started = time.monotonic()
        streamer.start()
        harness.wait_until(lambda: status_of(app, dlg)[0] >= REDRAW_LINES, 900, "the million lines")
        filled = time.monotonic() - fill_started
        app.call("select", dlg, AXIS, 1)
        app.call("settext", dlg, SPAN, "1048576")
        app.call("click", dlg, PAUSE)
        harness.wait_until(lambda: app.control(dlg, PAUSE)["check"] == 1, 10, "Pause")
        view = app.control(dlg, VIEW)["hwnd"]
        memory = app.private_bytes()
        app.call("unhook")
        redraws, pings = [], []
        for _ in range(count):
            redraws.append(app.call("redraw", view)["us"])
            pings.append(app.call("ping", 1000)["us"])
        draw_text = app.text(dlg, STATUS)
        peer.close()
    finally:
        app.quit()
    return {"redraws": redraws, "pings": pings, "fill_seconds": filled, "memory": memory, "status": draw_text}


def ms(values, share):
    return percentile(values, share) / 1000


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="Windows build tree")
    parser.add_argument("--seconds", type=int, default=60, help="seconds of streaming (default 60)")
    parser.add_argument("--redraws", type=int, default=200, help="redraws to time (default 200)")
    parser.add_argument("--view", choices=("classic", "console"), default="classic",
                        help="the terminal's view while it shows the lines")
    opts = parser.parse_args(argv)
    os.environ["ZEVRIK_E2E_BUILD"] = os.path.abspath(opts.build)
    import harness

    lines = stream_lines(RATE * opts.seconds)
    data = b"".join(lines)
    try:
        console = opts.view == "console"
        closed = measure_app(harness, lines, plot=False, console=console)
        shown = measure_app(harness, lines, plot=True, console=console)
        alone = measure_app(harness, lines, plot=True, shown=False)
        plain = measure_plain(harness, lines, data)
        redraw = measure_redraws(harness, opts.redraws)
    finally:
        harness.close_suite()

    def mark(ok):
        return "met" if ok else "NOT MET"

    sent = len(lines)
    print("stream: %d lines of %d channels at %d lines/s (%d bytes, %d s), the terminal's %s view"
          % (sent, CHANNELS, RATE, len(data), opts.seconds, opts.view))
    runs = (("plot window closed", closed), ("plot window open", shown),
            ("plot window open, RE released (the terminal shows nothing)", alone))
    for name, run in runs:
        print("%s: app CPU %.2f of a core, UI round trip p50 %.1f ms, p99 %.1f ms (%d pings)"
              % (name, run["cpu"], ms(run["pings"], 0.5), ms(run["pings"], 0.99), len(run["pings"])))
        if run is not alone:
            print("  the terminal's last line %s" % ("shown" if run["last_shown"] else "NOT SHOWN"))
        if run["recorded"] is not None:
            print("  plot: %d of %d lines recorded; refresh %d/s lowest, %d/s median (%d samples); a drawing "
                  "%.1f ms median, %.1f ms most (the status line's last one, sampled)"
                  % (run["recorded"], sent, min(run["rates"] or [0]), percentile(run["rates"] or [0], 0.5),
                     len(run["rates"]), percentile(run["draws"], 0.5), max(run["draws"])))
    plain_ok = plain["bytes"] == len(data) and plain["fnv1a"] == fnv1a(data)
    print("plain overlapped read loop: %d of %d bytes, hash %s"
          % (plain["bytes"], len(data), "matches" if plain_ok else "DIFFERS"))
    print("redraw of %d channels x %d lines (held, line axis over all; recorded in %.0f s, app memory %d MiB):"
          % (REDRAW_CHANNELS, REDRAW_LINES, redraw["fill_seconds"], redraw["memory"] >> 20))
    print("  forced redraw p50 %.1f ms, p99 %.1f ms, max %.1f ms; its round trip alone (ping) p50 %.1f ms, "
          "p99 %.1f ms" % (ms(redraw["redraws"], 0.5), ms(redraw["redraws"], 0.99), max(redraw["redraws"]) / 1000,
                           ms(redraw["pings"], 0.5), ms(redraw["pings"], 0.99)))
    print("  the plot's own status after them: %s" % redraw["status"])
    print("goal no line lost: %s" % mark(shown["recorded"] == sent == alone["recorded"] and plain_ok
                                          and shown["last_shown"]))
    for name, run in (("with the terminal showing the lines", shown), ("with RE released", alone)):
        print("goal refresh >= 30/s %s: %s" % (name, mark(min(run["rates"] or [0]) >= 30)))
        print("goal UI round trip p99 < 20 ms %s: %s" % (name, mark(ms(run["pings"], 0.99) < 20)))
        print("goal app CPU < 0.5 core %s: %s" % (name, mark(run["cpu"] < 0.5)))
    print("goal redraw p99 < 33 ms: %s" % mark(ms(redraw["redraws"], 0.99) < 33))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
