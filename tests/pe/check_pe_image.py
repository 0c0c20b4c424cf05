#!/usr/bin/env python3
"""Static checks of a built Gantry.dll, for either architecture: what Windows
XP and the Java runtime need of the image, read with objdump -p.

  - imports: Windows system DLLs only, and no function that Windows XP lacks;
  - PE header: subsystem and OS version 5.01 (x86) or 5.02 (x64);
  - exports: exactly the implemented native methods, each by the exact name
    the JVM looks up (plain on x64; "_Name@bytes" on x86).
"""
import argparse
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--arch", choices=["x64", "x86"], required=True)
    parser.add_argument("--exports", required=True, help="generated export table")
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

    expected = set()
    declared = 0
    for name, params, built in re.findall(r'\{"(\w+)", (\d+), (true|false)\}',
                                          open(args.exports).read()):
        declared += 1
        if built == "true":
            base = "Java_Native_Gantry_" + name
            expected.add(base if args.arch == "x64" else f"_{base}@{8 + 4 * int(params)}")
    check("the Java contract declares 17 methods", declared == 17, f"{declared} declared")
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    exported = set()
    if len(table) == 2:
        for line in table[1].splitlines()[1:]:
            entry = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if not entry:
                break
            exported.add(entry.group(1))
    check("exports exactly the implemented methods by their JVM names", exported == expected,
          f"missing {sorted(expected - exported)}, unexpected {sorted(exported - expected)}")

    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
