"""gzip_file.py IN OUT: IN compressed as gzip -9n would, with no name or time stamp in the
header, so that two builds give the same bytes."""
import gzip
import sys

with open(sys.argv[1], "rb") as source, open(sys.argv[2], "wb") as target:
    target.write(gzip.compress(source.read(), 9, mtime=0))
