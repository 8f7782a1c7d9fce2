#!/usr/bin/env python3
"""Packs the Windows release: make_zip.py ZIP FILE... puts each FILE at the top of a folder
named after the archive, so unpacking gives pikorina-2.00-win64/pikorina.exe and friends, and
writes the archive's SHA-256 to SHA256SUMS beside it (`sha256sum -c SHA256SUMS` checks it).

The same files always give the same archive, byte for byte: the entries come in the order given,
with fixed attributes, and all carry one time, the releases' own (tools/release.py: the last
commit's, or SOURCE_DATE_EPOCH). Nothing of the machine, the folder or the clock of the build
goes in."""
import os
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tools"))
sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
from release import record_sum, source_date_epoch  # noqa: E402

ZIP_EARLIEST = 315532800  # 1980-01-01 00:00:00 UTC, the first time a zip entry can hold


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
    os.replace(partial, archive)
    record_sum(archive)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: make_zip.py ZIP FILE...")
    main(sys.argv[1], sys.argv[2:])
