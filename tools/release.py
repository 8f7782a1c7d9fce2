#!/usr/bin/env python3
"""What the two releases, the Windows zip and the Debian package, share so that the same commit
gives the same bytes wherever and whenever it is built:

  release.py epoch      prints the time their archives' entries carry: SOURCE_DATE_EPOCH when it
                        is set, otherwise the time of the sources' last git commit, otherwise
                        2000-01-01 00:00:00
  release.py sum FILE   writes FILE's SHA-256 into SHA256SUMS in FILE's folder, beside the sums
                        of the other release files there (`sha256sum -c SHA256SUMS`)

The zip's packer imports the two functions; CMake runs the commands for the package."""
import hashlib
import os
import subprocess
import sys

FALLBACK_EPOCH = 946684800  # 2000-01-01 00:00:00 UTC


def source_date_epoch():
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", os.path.dirname(os.path.abspath(__file__)), "log", "-1",
                              "--format=%ct"], capture_output=True, text=True, check=True).stdout
        return int(out.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        return FALLBACK_EPOCH


def record_sum(path):
    """One line a file, sorted by name, so that the file does not depend on which release was
    made first; lines of files that are gone are dropped."""
    folder, name = os.path.split(os.path.abspath(path))
    with open(path, "rb") as f:
        sums = {name: hashlib.sha256(f.read()).hexdigest()}
    listing = os.path.join(folder, "SHA256SUMS")
    if os.path.exists(listing):
        with open(listing) as f:
            for line in f:
                digest, _, other = line.rstrip("\n").partition("  ")
                if other and other not in sums and os.path.exists(os.path.join(folder, other)):
                    sums[other] = digest
    with open(listing + ".part", "w", newline="\n") as f:
        f.writelines(f"{sums[n]}  {n}\n" for n in sorted(sums))
    os.replace(listing + ".part", listing)


if __name__ == "__main__":
    if sys.argv[1:] == ["epoch"]:
        print(source_date_epoch())
    elif len(sys.argv) == 3 and sys.argv[1] == "sum":
        record_sum(sys.argv[2])
    else:
        sys.exit("usage: release.py epoch | release.py sum FILE")
