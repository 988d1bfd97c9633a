"""Runs engine_test under Wine on a virtual cable made by the rig.

    run_engine_tests.py --build-dir DIR --exe ENGINE_TEST CASE

CASE main: every case the program runs on its own.
CASE cablekill: the program opens the port and signals READY; this driver
then pulls the cable (ends its socat) and signals KILLED, and the program
checks how the engine takes the loss of the device.
CASE maskcut: as cablekill, on a cable with control lines, after the program
has changed the event mask under the status worker's pending wait.
COM5 is the engine's end of the cable, COM6 the far end the program plays.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import zrig  # noqa: E402


def _windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _program_lines(text):
    """The program's own report, without what Wine writes to the same log."""
    keep = ("==", "   ", "FAIL", "usage:")
    return "".join(line for line in text.splitlines(True)
                   if line.startswith(keep) or line.rstrip().endswith("failure(s)"))


def _lay_cable(rig, lines=False):
    # A bare pty pair: the engine's checks include how it takes a port that
    # cannot tell its modem lines.
    cable = rig.add_cable("COM5", lines=lines)
    rig.map_com("COM6", cable.far_path)
    rig.map_ports()
    return cable


def run_main(args):
    with zrig.Rig(args.build_dir, "engine-main") as rig:
        _lay_cable(rig)
        rc, out, err = rig.wine(args.exe, ["main"], timeout=540)
        sys.stdout.write(out)
        sys.stderr.write(err[-4000:])
        return rc


def run_cablekill(args):
    with zrig.Rig(args.build_dir, "engine-" + args.case) as rig:
        cable = _lay_cable(rig, lines=args.case == "maskcut")
        ready = os.path.join(rig.scratch, "ready")
        killed = os.path.join(rig.scratch, "killed")
        for marker in (ready, killed):
            if os.path.exists(marker):
                os.remove(marker)
        log = os.path.join(rig.logs, "engine-%s-output.log" % args.case)
        with open(log, "wb") as out:
            proc = rig.start(args.exe, [args.case, _windows_path(ready), _windows_path(killed)],
                             stdout=out, stderr=out)
        deadline = time.monotonic() + 120
        while not os.path.exists(ready) and proc.poll() is None and time.monotonic() < deadline:
            time.sleep(0.05)
        if os.path.exists(ready):
            cable.kill()
            with open(killed, "w") as f:
                f.write("killed\n")
        else:
            sys.stdout.write("the program never became ready\n")
        try:
            rc = proc.wait(120)
        except Exception:
            proc.kill()
            rc = -1
        with open(log, "rb") as f:
            sys.stdout.write(_program_lines(f.read().decode("utf-8", "replace")))
        return rc if os.path.exists(ready) else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("case", choices=["main", "cablekill", "maskcut"])
    args = parser.parse_args()
    rc = run_main(args) if args.case == "main" else run_cablekill(args)
    print("engine_test %s exit code %s" % (args.case, rc))
    return 0 if rc == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
