"""What olefile does for the qvdoc benchmark: opens each file (reading its allocation tables
and directory), walks its element tree and, unless --tree-only, reads every stream whole.
Damaged files count as read when olefile refuses them.

usage: olefile_read.py [--tree-only] FILE...
"""
import sys

import olefile

BLOCK = 1024 * 1024

tree_only = sys.argv[1:2] == ["--tree-only"]
for path in sys.argv[2 if tree_only else 1:]:
    try:
        with olefile.OleFileIO(path) as ole:
            for entry in ole.listdir(streams=True, storages=False):
                if tree_only:
                    ole.get_size(entry)
                    continue
                with ole.openstream(entry) as stream:
                    while stream.read(BLOCK):
                        pass
    except Exception as error:  # noqa: BLE001 (a damaged file is refused, not fatal)
        print(f"{path}: {type(error).__name__}", file=sys.stderr)
