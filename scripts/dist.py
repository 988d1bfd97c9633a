#!/usr/bin/env python3
"""Makes ZEVRIK's release files from built trees (`make dist` runs it).

    dist.py --tree build/dist/win32 --tools build/dist/tools --out dist

--tree is a Windows build tree holding src/zevrik.exe and version.txt (the
CMake project version); --tools a native tree holding
tools/zevrik_csi_examples.  Writes to --out:
    zevrik-<version>-win32.zip   zevrik.exe, README.txt, LICENSE.txt, examples/*.csi
    zevrik-<version>-setup.exe   the NSIS installer (installer/zevrik.nsi, x86-unicode)
    SHA256SUMS                   of both

Every time the files carry is $SOURCE_DATE_EPOCH (make dist sets it to the
last commit's time; without it, the last commit's time is asked of git): the
staged files' modification times, which the zip and the installer record,
and the zip members' times.  Members go into the zip in one fixed order with
fixed attributes, so one commit always gives the same bytes.  Debian's NSIS
3.08 records nothing else that varies: its installer's PE time stamp is the
one of the stub that Debian built (the same for every build with that
package), and neither the build path nor the clock reach the file.

The end-to-end install test uses stage() and installer() to build the same
script around the exe this machine can run.
"""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NSI = os.path.join(ROOT, "installer", "zevrik.nsi")
GUIDE = os.path.join(ROOT, "docs", "guide.md")
LICENSE = os.path.join(ROOT, "LICENSE")
EXAMPLES = ("default.csi", "loopback-115200.csi")
# Files of a stage, as the zip and the installer carry them.
STAGED = ("zevrik.exe", "README.txt", "LICENSE.txt") + tuple("examples/" + e for e in EXAMPLES)


def source_date_epoch():
    """The time every release file carries, in seconds since 1970."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    out = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], check=True,
                         capture_output=True, text=True).stdout
    return int(out)


def version(tree):
    with open(os.path.join(tree, "version.txt")) as f:
        return f.read().strip()


def version_quad(ver):
    """The four numbers Windows version records hold: 2.1 is 2.1.0.0."""
    return ".".join((ver.split(".") + ["0", "0"])[:3] + ["0"])


def _plain_line(line):
    """One line of Markdown as plain text: pictures named, links spelled out,
    emphasis and code marks dropped."""
    line = re.sub(r"!\[([^\]]*)\]\(([^)]*)\)", r"[Picture: \1]", line)
    line = re.sub(r"\[([^\]]*)\]\((https?:[^)]*)\)", r"\1 (\2)", line)
    line = re.sub(r"\[([^\]]*)\]\(([^)]*)\)", r"\1", line)
    line = re.sub(r"\*\*([^*]+)\*\*", r"\1", line)
    return line.replace("`", "")


def guide_text(markdown):
    """The guide as plain text with CRLF line ends: headings underlined, code
    blocks indented, everything else as written."""
    out = []
    in_code = False
    for line in markdown.splitlines():
        if line.startswith("```"):
            in_code = not in_code
            continue
        if in_code:
            out.append("    " + line if line else "")
            continue
        heading = re.match(r"^(#+)\s+(.*)$", line)
        if heading:
            title = _plain_line(heading.group(2))
            out.append(title)
            out.append(("=" if len(heading.group(1)) == 1 else "-") * len(title))
            continue
        out.append(_plain_line(line))
    return "\r\n".join(out).rstrip("\r\n") + "\r\n"


def _crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def stage(out_dir, exe, tools_tree):
    """Lays out the release's files under out_dir (emptied first)."""
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(os.path.join(out_dir, "examples"))
    shutil.copyfile(exe, os.path.join(out_dir, "zevrik.exe"))
    with open(GUIDE, encoding="utf-8") as f:
        readme = guide_text(f.read())
    with open(os.path.join(out_dir, "README.txt"), "w", encoding="utf-8", newline="") as f:
        f.write(readme)
    with open(LICENSE, encoding="utf-8") as f:
        license_text = _crlf(f.read())
    with open(os.path.join(out_dir, "LICENSE.txt"), "w", encoding="utf-8", newline="") as f:
        f.write(license_text)
    tool = os.path.join(tools_tree, "tools", "zevrik_csi_examples")
    subprocess.run([tool, os.path.join(out_dir, "examples")], check=True)
    epoch = source_date_epoch()
    for name in STAGED:
        path = os.path.join(out_dir, name)
        if not os.path.isfile(path):
            raise RuntimeError("stage lacks %s" % name)
        os.utime(path, (epoch, epoch))
    return out_dir


def installer(stage_dir, ver, target, out_file):
    """Builds installer/zevrik.nsi for `target` (x86-unicode or amd64-unicode)."""
    os.makedirs(os.path.dirname(os.path.abspath(out_file)), exist_ok=True)
    subprocess.run(["makensis", "-V2", "-DVERSION=" + ver, "-DVERSION_QUAD=" + version_quad(ver),
                    "-DTARGET=" + target,
                    "-DSTAGE=" + os.path.abspath(stage_dir),
                    "-DOUTFILE=" + os.path.abspath(out_file), NSI], check=True)
    return out_file


def make_zip(stage_dir, out_file):
    # DOS times have no zone: the UTC time, as other reproducible zips do.
    when = time.gmtime(max(source_date_epoch(), 315532800))[:6]
    with zipfile.ZipFile(out_file, "w") as z:
        for name in STAGED:
            member = zipfile.ZipInfo(name, date_time=when)
            member.compress_type = zipfile.ZIP_DEFLATED
            member.create_system = 3
            member.external_attr = 0o100644 << 16
            with open(os.path.join(stage_dir, name), "rb") as f:
                z.writestr(member, f.read(), compresslevel=9)
    return out_file


def sha256sums(paths, out_file):
    lines = []
    for p in paths:
        with open(p, "rb") as f:
            lines.append("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), os.path.basename(p)))
    with open(out_file, "w") as f:
        f.writelines(lines)
    return out_file


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tree", required=True, help="i686 release tree")
    parser.add_argument("--tools", required=True, help="native tree with tools/zevrik_csi_examples")
    parser.add_argument("--out", default=os.path.join(ROOT, "dist"))
    opts = parser.parse_args(argv)
    ver = version(opts.tree)
    os.makedirs(opts.out, exist_ok=True)
    staged = stage(os.path.join(opts.tree, "stage"), os.path.join(opts.tree, "src", "zevrik.exe"),
                   opts.tools)
    files = [make_zip(staged, os.path.join(opts.out, "zevrik-%s-win32.zip" % ver)),
             installer(staged, ver, "x86-unicode", os.path.join(opts.out, "zevrik-%s-setup.exe" % ver))]
    sums = sha256sums(files, os.path.join(opts.out, "SHA256SUMS"))
    for p in files + [sums]:
        print("%-40s %9d bytes" % (os.path.relpath(p), os.path.getsize(p)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
