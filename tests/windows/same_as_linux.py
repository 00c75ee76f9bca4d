#!/usr/bin/env python3
"""The Windows programs do what the Linux programs do, to the byte.

    same_as_linux.py LINUX_BIN WINDOWS_BIN WINE_RUN WINE_PREFIX

Runs one sequence of packall and quarnet-cli commands twice, in two fresh
folders holding the same inputs: once with the Linux programs, once with
the .exe programs under wine. After every step the exit status, standard
output, standard error and every file in the two folders must be equal.
"""
import gzip
import io
import os
import random
import subprocess
import sys
import tarfile
import tempfile
from pathlib import Path

VERSION = "V100R001C00"
STEPS = [
    # Item heads, with the date taken from a file so both runs agree.
    ("packall", ["-H", "-Kimage.bin", f"-v{VERSION}", "-Ddate.txt"]),
    ("packall", ["-H", "-Rfs.bin", f"-v{VERSION}", "-Ddate.txt"]),
    ("packall", ["-Uuboot.bin", "-Kkernel[Head].bin", "-Rrootfs[Head].bin", f"-v{VERSION}",
                 "-L1A0|1D1|"]),
    ("packall", ["-Q"]),
    ("quarnet-cli", ["info", "package[UKR].bin"]),
    ("quarnet-cli", ["info", "package[UKR].bin", "--json"]),
    ("quarnet-cli", ["unpack", "package[UKR].bin", "-C", "out"]),
    ("quarnet-cli", ["repack", "--original", "package[UKR].bin", "--output", "new.bin",
                     "--config", "cfg.xml", "--progress"]),
    ("quarnet-cli", ["repack", "--original", "new.bin", "--output", "new.bin",
                     "--config", "cfg.xml", "--no-default"]),
    ("quarnet-cli", ["info", "new.bin"]),
    ("quarnet-cli", ["diff", "package[UKR].bin", "new.bin"]),
    ("quarnet-cli", ["diff", "new.bin", "package[UKR].bin", "--json"]),
    ("quarnet-cli", ["repack", "--output", "fresh.bin", "--config", "cfg.xml",
                     "--products", "1A0|"]),
    ("quarnet-cli", ["repack", "--original", "fs.bin", "--output", "bad.bin", "--config", "cfg.xml"]),
    # The chosen files' checks: expat and zlib judge alike on both systems.
    ("quarnet-cli", ["repack", "--original", "new.bin", "--output", "bad.bin", "--config", "bad.xml"]),
    ("quarnet-cli", ["repack", "--original", "new.bin", "--output", "packed.bin", "--config-pack", "pack.tar.gz",
                     "--update-mode", "normal", "--update-script", "evil.tar.gz"]),
    ("quarnet-cli", ["repack", "--original", "new.bin", "--output", "packed.bin", "--config-pack", "pack.tar.gz",
                     "--update-mode", "normal", "--update-script", "evil.tar.gz", "--force"]),
    ("quarnet-cli", ["info", "missing.bin"]),
    ("quarnet-cli", ["products"]),
]


def tar_gz(members):
    """A gzip stream of a tar archive of (name, contents) files, the same bytes on every call."""
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode="w", format=tarfile.USTAR_FORMAT) as tar:
        for name, contents in members:
            info = tarfile.TarInfo(name)
            info.size, info.mtime = len(contents), 1368000000
            tar.addfile(info, io.BytesIO(contents))
    return gzip.compress(data.getvalue(), mtime=0)


def make_inputs(folder):
    rng = random.Random(17)
    (folder / "image.bin").write_bytes(rng.randbytes(70001))
    (folder / "fs.bin").write_bytes(rng.randbytes(300007))
    (folder / "uboot.bin").write_bytes(rng.randbytes(5003))
    (folder / "date.txt").write_bytes(b"2026-12-07_10:00:00\n")
    (folder / "cfg.xml").write_bytes(b'<?xml version="1.0"?>\r\n<config><a value="1"/></config>\r\n')
    (folder / "bad.xml").write_bytes(b'<config>\r\n  <a value="1"></b>\r\n</config>\r\n')
    (folder / "pack.tar.gz").write_bytes(tar_gz([("xml/config.xml", b"<config/>\n")]))
    (folder / "evil.tar.gz").write_bytes(tar_gz([("run.sh", b"#!/bin/sh\n"), ("../etc/rc", b"x")]))
    (folder / "out").mkdir()


def tree(folder):
    return {str(p.relative_to(folder)): p.read_bytes() for p in sorted(folder.rglob("*")) if p.is_file()}


def main():
    linux_bin, windows_bin, wine_run, prefix = (Path(a).resolve() for a in sys.argv[1:5])
    failures = 0
    with tempfile.TemporaryDirectory(prefix="same-as-linux-") as top:
        linux, windows = Path(top, "linux"), Path(top, "windows")
        for folder in (linux, windows):
            folder.mkdir()
            make_inputs(folder)
        for program, arguments in STEPS:
            ran = [subprocess.run([str(linux_bin / program)] + arguments, cwd=linux, capture_output=True),
                   subprocess.run([str(wine_run), str(prefix), str(windows_bin / f"{program}.exe")] + arguments,
                                  cwd=windows, capture_output=True)]
            step = " ".join([program] + arguments)
            for what in ("returncode", "stdout", "stderr"):
                a, b = (getattr(r, what) for r in ran)
                if a != b:
                    failures += 1
                    print(f"{step}: {what} differs\n  linux:   {a!r:.600}\n  windows: {b!r:.600}")
            trees = tree(linux), tree(windows)
            for name in sorted(set(trees[0]) | set(trees[1])):
                if trees[0].get(name) != trees[1].get(name):
                    failures += 1
                    print(f"{step}: file {name} differs or is missing on one side")
            print(f"{step}: exit {ran[0].returncode}, {len(trees[0])} files")
    print(f"{failures} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
