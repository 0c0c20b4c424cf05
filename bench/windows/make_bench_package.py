#!/usr/bin/env python3
"""Makes the benchmark's client package: a few hundred files of about 30 MB in
a few folders, random (incompressible) and text-like (compressible) mixed,
the same for every run of the same seed.

    make_bench_package.py OUT_DIR [--files 300] [--megabytes 30] [--seed 8]

Writes to OUT_DIR:
  bench-client.msi   the package: Directory, Component, File, Feature,
                     FeatureComponents, Media ("#Calix.cab"), Property and the
                     sequence tables an administrative installation needs,
                     and the cabinet as its stream "Calix.cab"
  Calix.cab          the same cabinet as a file (MSZIP, gcab -z)
  manifest.txt       one line per file: File key, path below the client
                     folder, size, CRC-32 of the bytes (hex)

The Directory keys are the folder names themselves, so the basic client
installation (which names folders by key) and an administrative installation
(which uses DefaultDir) lay out the same tree.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zlib

# (Directory key, parent key); every key below INSTALLDIR is its own folder name.
FOLDERS = [
    ("INSTALLDIR", "TARGETDIR"),
    ("Modules", "INSTALLDIR"),
    ("Resources", "INSTALLDIR"),
    ("Locale", "Resources"),
    ("Docs", "INSTALLDIR"),
]

WORDS = ("session client farm desktop connection window server printer drive "
         "redirect display keyboard audio license policy gateway ticket "
         "the and of to in for with on by from is are was be this that "
         "0 1 2 3 10 20 100 1024 true false none default value key name").split()


def text_like(rng, size):
    lines = []
    length = 0
    while length < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14)))
        line = f"{rng.randint(0, 99999):05d}: {line}\r\n"
        lines.append(line)
        length += len(line)
    return "".join(lines).encode("ascii")[:size]


def plan_sizes(rng, count, total):
    # Log-uniform sizes from 1 KiB to 1 MiB, scaled to the total.
    raw = [2 ** rng.uniform(10, 20) for _ in range(count)]
    scale = total / sum(raw)
    sizes = [max(1, int(r * scale)) for r in raw]
    sizes[-1] += total - sum(sizes)
    return sizes


def write_idt(path, columns, types, table_keys, rows):
    with open(path, "w", encoding="ascii", newline="\r\n") as out:
        out.write("\t".join(columns) + "\n")
        out.write("\t".join(types) + "\n")
        out.write("\t".join(table_keys) + "\n")
        for row in rows:
            out.write("\t".join(str(cell) for cell in row) + "\n")


def make(out_dir, file_count, megabytes, seed):
    rng = random.Random(seed)
    total = int(megabytes * 1024 * 1024)
    os.makedirs(out_dir, exist_ok=True)
    stage = tempfile.mkdtemp(prefix="bench-package-", dir=out_dir)
    try:
        payload = os.path.join(stage, "payload")
        os.makedirs(payload)
        folder_keys = [key for key, _ in FOLDERS]
        files = []  # (key, folder key, long name, size, hash)
        for index, size in enumerate(plan_sizes(rng, file_count, total), start=1):
            folder = folder_keys[index % len(folder_keys)]
            compressible = index % 2 == 0
            data = text_like(rng, size) if compressible else rng.randbytes(size)
            key = f"fil{index:04d}"
            long_name = f"{'notes' if compressible else 'module'} {index:04d}.{'txt' if compressible else 'bin'}"
            with open(os.path.join(payload, key), "wb") as out:
                out.write(data)
            files.append((key, folder, long_name, size, zlib.crc32(data)))

        cabinet = os.path.join(out_dir, "Calix.cab")
        if os.path.exists(cabinet):
            os.remove(cabinet)
        # gcab -z: MSZIP, as a real client package's cabinet is compressed.
        subprocess.run(["gcab", "-c", "-z", "-n", cabinet] +
                       [os.path.join(payload, f[0]) for f in files], check=True)

        tables = os.path.join(stage, "tables")
        os.makedirs(tables)
        write_idt(os.path.join(tables, "Directory.idt"),
                  ["Directory", "Directory_Parent", "DefaultDir"], ["s72", "S72", "l255"],
                  ["Directory", "Directory"],
                  [("TARGETDIR", "", "SourceDir")] +
                  [(key, parent, "Kuv" if key == "INSTALLDIR" else key) for key, parent in FOLDERS])
        components = [(f"cmp{key}", key) for key in folder_keys]
        write_idt(os.path.join(tables, "Component.idt"),
                  ["Component", "ComponentId", "Directory_", "Attributes", "Condition", "KeyPath"],
                  ["s72", "S38", "s72", "i2", "S255", "S72"], ["Component", "Component"],
                  [(name, "{8D5C2E10-4B6A-4F1E-9C3D-%012X}" % (i + 1), key, 0, "", "")
                   for i, (name, key) in enumerate(components)])
        # 16384: compressed, so the administrative installation takes the
        # files from the cabinet whatever the summary information says.
        write_idt(os.path.join(tables, "File.idt"),
                  ["File", "Component_", "FileName", "FileSize", "Version", "Language", "Attributes", "Sequence"],
                  ["s72", "s72", "l255", "i4", "S72", "S20", "I2", "i4"], ["File", "File"],
                  [(key, f"cmp{folder}", f"F{seq:06d}.{name[-3:].upper()}|{name}", size, "", "", 16384 | 512, seq)
                   for seq, (key, folder, name, size, _) in enumerate(files, start=1)])
        write_idt(os.path.join(tables, "Media.idt"),
                  ["DiskId", "LastSequence", "DiskPrompt", "Cabinet", "VolumeLabel", "Source"],
                  ["i2", "i4", "L64", "S255", "S32", "S72"], ["Media", "DiskId"],
                  [(1, len(files), "", "#Calix.cab", "", "")])
        write_idt(os.path.join(tables, "Feature.idt"),
                  ["Feature", "Feature_Parent", "Title", "Description", "Display", "Level", "Directory_", "Attributes"],
                  ["s38", "S38", "L64", "L255", "I2", "i2", "S72", "i2"], ["Feature", "Feature"],
                  [("Complete", "", "Client", "", 1, 1, "INSTALLDIR", 0)])
        write_idt(os.path.join(tables, "FeatureComponents.idt"),
                  ["Feature_", "Component_"], ["s38", "s72"], ["FeatureComponents", "Feature_", "Component_"],
                  [("Complete", name) for name, _ in components])
        write_idt(os.path.join(tables, "Property.idt"),
                  ["Property", "Value"], ["s72", "l0"], ["Property", "Property"],
                  [("ProductCode", "{5B2A9C41-7E3D-4A6F-8B10-2C3D4E5F6A7B}"),
                   ("UpgradeCode", "{5B2A9C41-7E3D-4A6F-8B10-2C3D4E5F6A7C}"),
                   ("ProductName", "Kuv Client (benchmark package)"),
                   ("ProductVersion", "10.1.1238"),
                   ("ProductLanguage", "1033"),
                   ("Manufacturer", "Gantry benchmark")])
        execute = [("CostInitialize", 800), ("FileCost", 900), ("CostFinalize", 1000),
                   ("InstallValidate", 1400), ("InstallInitialize", 1500),
                   ("InstallFiles", 4000), ("InstallFinalize", 6600)]
        for table, rows in (("InstallExecuteSequence", execute),
                            ("AdminExecuteSequence", execute + [("InstallAdminPackage", 3900)]),
                            ("AdminUISequence", [("CostInitialize", 800), ("FileCost", 900),
                                                 ("CostFinalize", 1000), ("ExecuteAction", 1300)])):
            write_idt(os.path.join(tables, f"{table}.idt"),
                      ["Action", "Condition", "Sequence"], ["s72", "S255", "I2"], [table, "Action"],
                      [(action, "", sequence) for action, sequence in rows])

        package = os.path.join(out_dir, "bench-client.msi")
        if os.path.exists(package):
            os.remove(package)
        command = ["msibuild", package]
        for name in sorted(os.listdir(tables)):
            command += ["-i", os.path.join(tables, name)]
        command += ["-a", "Calix.cab", cabinet]
        subprocess.run(command, check=True)

        with open(os.path.join(out_dir, "manifest.txt"), "w", encoding="utf-8", newline="\n") as out:
            for key, folder, name, size, digest in files:
                relative = name if folder == "INSTALLDIR" else \
                    ("Resources\\Locale\\" if folder == "Locale" else folder + "\\") + name
                out.write(f"{key}\t{relative}\t{size}\t{digest:08x}\n")
        compressible_bytes = sum(f[3] for f in files if f[2].endswith(".txt"))
        print(f"{len(files)} files, {sum(f[3] for f in files)} bytes "
              f"({compressible_bytes} text-like), cabinet {os.path.getsize(cabinet)} bytes, "
              f"package {os.path.getsize(package)} bytes")
    finally:
        shutil.rmtree(stage)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--megabytes", type=float, default=30)
    parser.add_argument("--seed", type=int, default=8)
    args = parser.parse_args()
    make(args.out_dir, args.files, args.megabytes, args.seed)


if __name__ == "__main__":
    sys.exit(main())
