#!/usr/bin/env python3
"""Packs the Windows release: make_zip.py ZIP FILE... puts each FILE at the top of a folder
named after the archive, so unpacking gives pikorina-2.00-win64/pikorina.exe and friends, and
writes the archive's SHA-256 to SHA256SUMS beside it (`sha256sum -c SHA256SUMS` checks it).

The same files always give the same archive, byte for byte: the entries come in the order given,
with fixed attributes, and all carry one time, SOURCE_DATE_EPOCH when it is set, otherwise the
time of the sources' last git commit, otherwise 2000-01-01 00:00:00. Nothing of the machine,
the folder or the clock of the build goes in."""
import hashlib
import os
import subprocess
import sys
import time
import zipfile

FALLBACK_EPOCH = 946684800  # 2000-01-01 00:00:00 UTC
ZIP_EARLIEST = 315532800  # 1980-01-01 00:00:00 UTC, the first time a zip entry can hold


def source_date_epoch():
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", os.path.dirname(os.path.abspath(__file__)), "log", "-1",
                              "--format=%ct"], capture_output=True, text=True, check=True).stdout
        return int(out.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        return FALLBACK_EPOCH


def main(archive, files):
    folder = os.path.basename(archive)[: -len(".zip")]
    stamp = time.gmtime(max(source_date_epoch(), ZIP_EARLIEST))[:6]
    os.makedirs(os.path.dirname(os.path.abspath(archive)), exist_ok=True)
    partial = archive + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as z:
        for path in files:
            entry = zipfile.ZipInfo(f"{folder}/{os.path.basename(path)}", stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, whatever machine packs it, so the mode below counts
            entry.external_attr = 0o100644 << 16  # a plain file, rw-r--r--
            with open(path, "rb") as f:
                z.writestr(entry, f.read())
    with open(partial, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    os.replace(partial, archive)
    sums = os.path.join(os.path.dirname(os.path.abspath(archive)), "SHA256SUMS")
    with open(sums + ".part", "w", newline="\n") as f:
        f.write(f"{digest}  {os.path.basename(archive)}\n")
    os.replace(sums + ".part", sums)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: make_zip.py ZIP FILE...")
    main(sys.argv[1], sys.argv[2:])
