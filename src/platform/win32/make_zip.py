#!/usr/bin/env python3
"""Packs the Windows release: make_zip.py ZIP FILE... puts each FILE at the top of a folder
named after the archive, so unpacking gives pikorina-2.00-win64/pikorina.exe and friends.
Entries get a fixed time stamp, so the same files always give the same archive."""
import os
import sys
import zipfile


def main(archive, files):
    folder = os.path.basename(archive)[: -len(".zip")]
    os.makedirs(os.path.dirname(os.path.abspath(archive)), exist_ok=True)
    partial = archive + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as z:
        for path in files:
            entry = zipfile.ZipInfo(f"{folder}/{os.path.basename(path)}", (2000, 1, 1, 0, 0, 0))
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o644 << 16
            with open(path, "rb") as f:
                z.writestr(entry, f.read())
    os.replace(partial, archive)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: make_zip.py ZIP FILE...")
    main(sys.argv[1], sys.argv[2:])
