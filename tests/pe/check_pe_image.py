#!/usr/bin/env python3
"""Static checks of a built Gantry.dll, for either architecture: what Windows
XP and the Java runtime need of the image, read with objdump -p.

  - imports: Windows system DLLs only, and no function that Windows XP lacks;
  - PE header: subsystem and OS version 5.01 (x86) or 5.02 (x64);
  - exports: exactly the native methods that Native/Gantry.java declares,
    every one of them, each by the exact name the JVM looks up (plain on x64;
    "_Name@bytes" on x86, the bytes from the Java signature).
"""
import argparse
import os
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll",
               "version.dll", "msi.dll", "setupapi.dll", "msvcrt.dll"}
# Functions that appeared after Windows XP / Server 2003; a static import of
# any of them stops the DLL from loading there.
NOT_ON_XP = {"GetTickCount64", "InitializeSRWLock", "AcquireSRWLockExclusive",
             "AcquireSRWLockShared", "ReleaseSRWLockExclusive", "ReleaseSRWLockShared",
             "InitializeConditionVariable", "SleepConditionVariableCS", "SleepConditionVariableSRW",
             "WakeConditionVariable", "WakeAllConditionVariable", "InitOnceExecuteOnce",
             "InitOnceBeginInitialize", "RegDeleteKeyExW", "RegDeleteKeyExA", "RegGetValueW",
             "RegDeleteTreeW", "RegSetKeyValueW", "CreateSymbolicLinkW", "GetFinalPathNameByHandleW",
             "FlsAlloc", "FlsGetValue", "FlsSetValue", "FlsFree", "GetLocaleInfoEx",
             "CompareStringEx", "LCMapStringEx", "GetUserDefaultLocaleName", "CreateEventExW",
             "CreateMutexExW", "CreateSemaphoreExW", "WaitForSingleObjectEx_Vista",
             "SHGetKnownFolderPath", "GetErrorMode", "QueryFullProcessImageNameW",
             "GetProcessId", "GetThreadId", "InitializeCriticalSectionEx"}


JAVA_SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "Native", "Gantry.java")


def java_native_methods(path):
    """The native methods of the Java class, in declaration order, each with
    the bytes of its native arguments on x86: JNIEnv* and jclass, then 8 for
    a long or double and 4 for anything else."""
    methods = []
    text = open(path, encoding="utf-8").read()
    for name, params in re.findall(r"\bnative\s+[\w.\[\]]+\s+(\w+)\s*\(([^)]*)\)", text):
        size = 8
        for param in filter(None, (p.strip() for p in params.split(","))):
            size += 8 if param.split()[0] in ("long", "double") else 4
        methods.append((name, size))
    return methods


def export_name(arch, method, size):
    base = "Java_Native_Gantry_" + method
    return base if arch == "x64" else f"_{base}@{size}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--arch", choices=["x64", "x86"], required=True)
    parser.add_argument("--java", default=JAVA_SOURCE, help="the Java contract, Native/Gantry.java")
    parser.add_argument("--exports", help="generated export table the tests use; checked against the Java source")
    parser.add_argument("dll")
    args = parser.parse_args()

    dump = subprocess.run([args.objdump, "-p", args.dll], check=True, capture_output=True,
                          text=True).stdout
    failures = []
    passed = 0

    def check(name, ok, detail=""):
        nonlocal passed
        if ok:
            passed += 1
            print(f"[       OK ] {name}")
        else:
            failures.append(name)
            print(f"[  FAILED  ] {name}: {detail}")

    dlls = [m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)]
    check("imports only Windows system DLLs", bool(dlls) and set(dlls) <= SYSTEM_DLLS,
          f"imports {sorted(set(dlls) - SYSTEM_DLLS)} (all: {dlls})")
    imported = set(re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)\s*$", dump, re.M))
    check("import table readable", "GetFileAttributesW" in imported, f"{len(imported)} names read")
    check("imports nothing Windows XP lacks", not (imported & NOT_ON_XP),
          f"imports {sorted(imported & NOT_ON_XP)}")

    want = "5.1" if args.arch == "x86" else "5.2"
    fields = {k: re.search(rf"^{k}\s+(\d+)", dump, re.M) for k in
              ("MajorSubsystemVersion", "MinorSubsystemVersion",
               "MajorOSystemVersion", "MinorOSystemVersion")}
    values = {k: (m.group(1) if m else None) for k, m in fields.items()}
    check(f"subsystem version {want}",
          f"{values['MajorSubsystemVersion']}.{values['MinorSubsystemVersion']}" == want, str(values))
    check(f"OS version {want}",
          f"{values['MajorOSystemVersion']}.{values['MinorOSystemVersion']}" == want, str(values))
    check("is a DLL for " + args.arch,
          ("file format pei-i386" in dump) if args.arch == "x86" else ("pei-x86-64" in dump),
          dump.splitlines()[1] if len(dump.splitlines()) > 1 else "")

    methods = java_native_methods(args.java)
    check("the Java contract declares 17 native methods", len(methods) == 17,
          f"{len(methods)} declared: {[m for m, _ in methods]}")
    expected = {export_name(args.arch, method, size) for method, size in methods}
    if args.exports:
        table = re.findall(r'\{"(\w+)", (\d+)\}', open(args.exports).read())
        check("the tests' export table is the Java contract's",
              [(m, int(b)) for m, b in table] == methods, f"table {table}, Java {methods}")
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    exported = set()
    if len(table) == 2:
        for line in table[1].splitlines()[1:]:
            entry = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if not entry:
                break
            exported.add(entry.group(1))
    check("exports exactly the Java contract's methods by their JVM names", exported == expected,
          f"missing {sorted(expected - exported)}, unexpected {sorted(exported - expected)}")

    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
