#!/usr/bin/env python3
"""Checks the release as someone who ships it would find it: the zip unpacks to
one top folder holding exactly x64/ and x86/ (Gantry.dll and gantry-cli.exe
each), Native/Gantry.java, README.md and java-integration.md; the files are the
ones the build trees made, stripped; both DLLs pass the same export, import and
PE header checks as the builds themselves. Beside the zip, the native jars for
Java web launchers: Gantry-<version>-natives-windows-x64.jar and -x86.jar hold
Gantry.dll at their root, byte for byte the zip's (and a -macos.jar, when there
is one, libGantry.jnilib).

With --signed, every binary carries a valid SHA-256 Authenticode signature
(osslsigncode verify, against --ca-file when given), is the stripped build
output once the signature is removed, and every jar is signed (jarsigner
-verify) in all of its entries. Without it, nothing is signed.
"""
import argparse
import os
import re
import struct
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


def jdk_tool(name):
    """The JDK's tool: JAVA_HOME's when it is set, as the build takes its JDK."""
    home = os.environ.get("JAVA_HOME")
    return os.path.join(home, "bin", name) if home else name


def pe_layout(data):
    """Offsets of the PE checksum field and of the certificate table's directory entry."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    return optional + 64, optional + (96 if magic == 0x10B else 112) + 4 * 8


def certificate_table(data):
    """(address, size) of the PE image's certificate table (data directory 4)."""
    return struct.unpack_from("<II", data, pe_layout(data)[1])


def has_certificate_table(path):
    with open(path, "rb") as f:
        return certificate_table(f.read()) != (0, 0)


def unsigned_image(data):
    """The image as it was before signing: the certificate table cut off, the
    checksum and the table's directory entry zeroed (signing rewrites both)."""
    address, size = certificate_table(data)
    image = bytearray(data[:address] if address else data)
    checksum, directory = pe_layout(data)
    image[checksum:checksum + 4] = bytes(4)
    image[directory:directory + 8] = bytes(8)
    return bytes(image)


def is_signed_copy(signed, unsigned):
    """The signed file is the unsigned one with a signature appended after at
    most 7 bytes of zero padding (the table starts 8-byte aligned)."""
    with open(signed, "rb") as f:
        signed_image = unsigned_image(f.read())
    with open(unsigned, "rb") as f:
        original = unsigned_image(f.read())
    padding = len(signed_image) - len(original)
    return 0 <= padding < 8 and signed_image == original + bytes(padding)


def authenticode(path, ca_file):
    """(ok, detail) of osslsigncode verify: a valid signature with a SHA-256 digest."""
    command = ["osslsigncode", "verify"] + (["-CAfile", ca_file] if ca_file else []) + ["-in", path]
    run = subprocess.run(command, capture_output=True, text=True)
    out = run.stdout + run.stderr
    ok = (run.returncode == 0 and "Signature verification: ok" in out
          and re.search(r"Message digest algorithm\s*:\s*SHA256", out) is not None)
    signer = re.search(r"Subject:\s*(.+)", out)
    if ok and signer:
        return True, signer.group(1).strip()
    return False, " | ".join(out.strip().splitlines()[-4:])


def is_stripped_build_output(shipped, built, strip, scratch, signed):
    """The shipped binary is the build's own with every symbol stripped (and,
    when signed, a signature added)."""
    expected = os.path.join(scratch, "expected-" + os.path.basename(built))
    subprocess.run([strip, "--strip-all", "-o", expected, built], check=True,
                   env=dict(os.environ, SOURCE_DATE_EPOCH="0"))
    same = is_signed_copy(shipped, expected) if signed else same_bytes(shipped, expected)
    return same and os.path.getsize(expected) < os.path.getsize(built)


def check_native_jars(args, folder, top, unpacked, check):
    """The jars for web launchers beside the zip: the library at the root, the zip's bytes."""
    version = re.sub(r"^Gantry-(.*)-windows$", r"\1", top)
    jars = {f"Gantry-{version}-natives-windows-{arch}.jar": ("Gantry.dll", os.path.join(unpacked, arch, "Gantry.dll"))
            for arch in ARCHES}
    jars[f"Gantry-{version}-natives-macos.jar"] = ("libGantry.jnilib", None)
    for name, (library, zipped) in jars.items():
        path = os.path.join(folder, name)
        if zipped is None and not os.path.exists(path):
            continue  # the macOS jar is made on a Mac only
        check(f"{name} is there", os.path.exists(path))
        if not os.path.exists(path):
            continue
        with zipfile.ZipFile(path) as jar:
            entries = sorted(jar.namelist())
            content = jar.read(library) if library in entries else None
        signature_files = sorted(e for e in entries if re.match(r"META-INF/[^/]+\.(SF|RSA|EC|DSA)$", e))
        plain = sorted(set(entries) - set(signature_files))
        check(f"{name} holds {library} at its root and a manifest: {entries}",
              plain == sorted(["META-INF/", "META-INF/MANIFEST.MF", library]), entries)
        if zipped is not None:
            with open(zipped, "rb") as f:
                check(f"{name}: its {library} is the zip's, byte for byte", content == f.read())
        verify = subprocess.run([jdk_tool("jarsigner"), "-verify", "-verbose", "-certs", path],
                                capture_output=True, text=True)
        if args.signed:
            entry_lines = [line for line in verify.stdout.splitlines()
                           if re.match(r"^\s*\S*\s+\d+ .* " + re.escape(library) + r"$", line)]
            signer = re.search(r"Signed by \"([^\"]+)\"", verify.stdout)
            check(f"{name} is signed and verifies ({signer.group(1) if signer else 'no signer'})",
                  verify.returncode == 0 and "jar verified." in verify.stdout and len(signature_files) == 2
                  and len(entry_lines) == 1 and entry_lines[0].lstrip().startswith("sm"),
                  verify.stdout[-600:])
        else:
            check(f"{name} is not signed", not signature_files and "jar is unsigned" in verify.stdout,
                  verify.stdout[-300:])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--x64-build", required=True)
    parser.add_argument("--x86-build", required=True)
    parser.add_argument("--signed", action="store_true",
                        help="every binary and jar must be signed, and the signatures valid")
    parser.add_argument("--ca-file", help="CA certificates for the Authenticode signatures")
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
                    shipped = os.path.join(unpacked, arch, name)
                    if args.signed:
                        ok, detail = authenticode(shipped, args.ca_file)
                        check(f"{arch}/{name} has a valid SHA-256 Authenticode signature"
                              + (f" ({detail})" if ok else ""), ok, detail)
                    else:
                        check(f"{arch}/{name} is not signed", not has_certificate_table(shipped))
                    check(f"{arch}/{name} is the {arch} build's, stripped"
                          + (", with the signature added" if args.signed else ""),
                          is_stripped_build_output(shipped, os.path.join(bin_dir, name),
                                                   tool_prefix + "-strip", scratch, args.signed))
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
            check_native_jars(args, os.path.dirname(os.path.abspath(args.zip)), top, unpacked, check)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
