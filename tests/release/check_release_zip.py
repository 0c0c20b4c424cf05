#!/usr/bin/env python3
"""Checks the release zip as someone who ships it would find it: it unpacks to
one top folder holding exactly x64/ and x86/ (Gantry.dll and gantry-cli.exe
each), Native/Gantry.java, README.md and java-integration.md; the files are the
ones the build trees made, stripped; and both DLLs pass the same export, import and PE
header checks as the builds themselves.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PE_CHECK = os.path.join(ROOT, "tests", "pe", "check_pe_image.py")
ARCHES = {"x64": "x86_64-w64-mingw32", "x86": "i686-w64-mingw32"}
sys.path.insert(0, os.path.dirname(PE_CHECK))
from check_pe_image import SYSTEM_DLLS  # noqa: E402


def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def is_stripped_build_output(shipped, built, strip, scratch):
    """The shipped binary is the build's own with every symbol stripped."""
    expected = os.path.join(scratch, "expected-" + os.path.basename(built))
    subprocess.run([strip, "--strip-all", "-o", expected, built], check=True,
                   env=dict(os.environ, SOURCE_DATE_EPOCH="0"))
    return same_bytes(shipped, expected) and os.path.getsize(shipped) < os.path.getsize(built)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--x64-build", required=True)
    parser.add_argument("--x86-build", required=True)
    parser.add_argument("zip")
    args = parser.parse_args()
    builds = {"x64": args.x64_build, "x86": args.x86_build}
    failures = []

    def check(name, ok, detail=""):
        print(f"[{'       OK ' if ok else '  FAILED  '}] {name}" + ("" if ok else f": {detail}"))
        if not ok:
            failures.append(name)

    with zipfile.ZipFile(args.zip) as archive:
        names = sorted(n for n in archive.namelist() if not n.endswith("/"))
        tops = {n.split("/", 1)[0] for n in names}
        check("one top folder", len(tops) == 1, sorted(tops))
        top = next(iter(tops)) if tops else ""
        expected = sorted(f"{top}/{p}" for p in (
            "x64/Gantry.dll", "x64/gantry-cli.exe", "x86/Gantry.dll", "x86/gantry-cli.exe",
            "Native/Gantry.java", "README.md", "java-integration.md"))
        check("exactly the release files", names == expected,
              f"missing {sorted(set(expected) - set(names))}, extra {sorted(set(names) - set(expected))}")
        with tempfile.TemporaryDirectory() as scratch:
            archive.extractall(scratch)
            unpacked = os.path.join(scratch, top)
            if failures:
                return 1
            check("Native/Gantry.java is the project's contract",
                  same_bytes(os.path.join(unpacked, "Native", "Gantry.java"),
                             os.path.join(ROOT, "Native", "Gantry.java")))
            for arch, tool_prefix in ARCHES.items():
                objdump = tool_prefix + "-objdump"
                bin_dir = os.path.join(builds[arch], "bin")
                for name in ("Gantry.dll", "gantry-cli.exe"):
                    check(f"{arch}/{name} is the {arch} build's, stripped",
                          is_stripped_build_output(os.path.join(unpacked, arch, name),
                                                   os.path.join(bin_dir, name),
                                                   tool_prefix + "-strip", scratch))
                dll = os.path.join(unpacked, arch, "Gantry.dll")
                table = os.path.join(builds[arch], "generated", "gantry_export_table.inc")
                run = subprocess.run([sys.executable, PE_CHECK, "--objdump", objdump, "--arch", arch,
                                      "--exports", table, dll], capture_output=True, text=True)
                for line in run.stdout.splitlines():
                    print(f"    {arch} Gantry.dll: {line}")
                check(f"{arch}/Gantry.dll passes the export, import and header checks",
                      run.returncode == 0, run.stderr.strip())
                dump = subprocess.run([objdump, "-p", os.path.join(unpacked, arch, "gantry-cli.exe")],
                                      check=True, capture_output=True, text=True).stdout
                dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)}
                fmt = "pei-x86-64" if arch == "x64" else "pei-i386"
                check(f"{arch}/gantry-cli.exe is a {arch} program importing system DLLs only",
                      fmt in dump and dlls and dlls <= SYSTEM_DLLS, f"{sorted(dlls)}")
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
