#!/usr/bin/env python3
"""Checks the shipped exe itself: a 32-bit GUI program that needs no DLL
beyond those of Windows, with every resource the program loads.

    check-product.py path/to/zevrik.exe
"""
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
               "msvcrt.dll", "advapi32.dll", "shell32.dll", "ole32.dll"}
# Resource type -> ids the program loads by number.
EXPECTED = {
    4: {101},                                      # menu
    5: set(range(115, 130)) | {136, 137, 160, 161},  # dialogs
    # the program icon, the animation frames and the toolbar pictures
    14: {102} | set(range(141, 151)) | {104, 106} | set(range(108, 115)) | {120, 121},
    16: {1},                                       # version
    24: {1},                                       # manifest
}


def resources(dump):
    """{type: {ids}} from objdump's listing of the resource directory."""
    table = {}
    kind = None
    section = dump.split("The .rsrc Resource Directory section:", 1)[-1]
    for line in section.splitlines():
        m = re.match(r"^[0-9a-f]+( +)Entry: ID: 0x([0-9a-f]+)", line)
        if not m:
            continue
        depth, ident = len(m.group(1)), int(m.group(2), 16)
        if depth == 3:
            kind = ident
            table[kind] = set()
        elif depth == 5 and kind is not None:
            table[kind].add(ident)
    return table


def main(exe):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", exe], check=True,
                          capture_output=True, text=True).stdout
    problems = []
    if "file format pei-i386" not in dump:
        problems.append("not a 32-bit x86 PE file")
    if not re.search(r"^Subsystem\s+00000002", dump, re.M):
        problems.append("not a GUI program")
    dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)}
    if dlls - SYSTEM_DLLS:
        problems.append("needs DLLs that Windows does not have: %s" % sorted(dlls - SYSTEM_DLLS))
    found = resources(dump)
    for kind, ids in EXPECTED.items():
        missing = ids - found.get(kind, set())
        if missing:
            problems.append("resource type %d lacks ids %s" % (kind, sorted(missing)))
    for p in problems:
        print("check-product: %s: %s" % (exe, p))
    print("check-product: %d passed, %d failed" % (int(not problems), int(bool(problems))))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
