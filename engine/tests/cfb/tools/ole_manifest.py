"""Prints what python's olefile reads from a compound file, one element a line:
D <hex of the UTF-8 path>                      for a storage
F <hex of the UTF-8 path> <size> <hex bytes>   for a stream
Paths join the names from the root with '/'."""
import sys

import olefile

ole = olefile.OleFileIO(sys.argv[1])
for entry in ole.listdir(streams=True, storages=True):
    path = "/".join(entry).encode("utf-8").hex()
    if ole.get_type(entry) == olefile.STGTY_STREAM:
        data = ole.openstream(entry).read()
        print("F", path, len(data), data.hex())
    else:
        print("D", path)
