#!/usr/bin/python3
"""Reads the documents z64eveze_tests.exe leaves in library-interop/ (made through the
library's storage functions, and a converted flat document) with python3-olefile and
libgsf's gsf, and checks that they find the same streams and properties.

    check_documents.py FOLDER

Exits 0 when every check passes, 1 on a mismatch, 77 (skipped) when a reader is missing or
the documents were not written yet.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
from native_readers import (SKIPPED, check_gsf_props, missing_reader, pattern,  # noqa: E402
                            report)


def text(value):
    """olefile keeps the terminating NUL of wide strings and gives narrow ones as bytes."""
    if isinstance(value, bytes):
        value = value.decode("cp1252")
    return value.rstrip("\x00") if isinstance(value, str) else value


def check_olefile(path, streams, summary, failures):
    import olefile

    with olefile.OleFileIO(path) as ole:
        found = sorted("/".join(entry) for entry in ole.listdir())
        if found != sorted(streams):
            failures.append(f"{path}: streams {found}")
        for name, data in streams.items():
            if data is not None and ole.exists(name) and ole.openstream(name).read() != data:
                failures.append(f"{path}: contents of {name}")
        properties = ole.getproperties("\x05SummaryInformation", convert_time=False)
        for identifier, value in summary.items():
            if text(properties.get(identifier)) != value:
                failures.append(f"{path}: summary {identifier} is {properties.get(identifier)}")


def main():
    folder = sys.argv[1]
    missing = missing_reader()
    if missing:
        print(missing)
        return SKIPPED
    made = os.path.join(folder, "made-by-library.ac")
    converted = os.path.join(folder, "converted.ac")
    if not (os.path.exists(made) and os.path.exists(converted)):
        print("run z64eveze_tests first")
        return SKIPPED
    failures = []
    check_olefile(made, {
        "\x05SummaryInformation": None,
        "\x05DocumentSummaryInformation": None,
        "QuorvaneDocument": b"X8.99" + pattern(3000, 1),
        "Attachment": pattern(2500, 2),
    }, {2: "Quarterly ledger", 14: 7}, failures)
    # The user-defined properties live in the second section of the document summary.
    check_gsf_props(made, {
        "dc:title": '"Quarterly ledger"',
        "gsf:page-count": "7",
        "Client": '"M\\303\\274ller & Co"',  # gsf prints UTF-8 bytes in octal
        "Amount": "1234.500000",
        "Paid": "TRUE",
        "Invoices": "42",
    }, failures)
    check_olefile(converted, {
        "\x05SummaryInformation": None,
        "QuorvaneDocument": b"X8.97" + pattern(5000, 3),
    }, {2: "converted.ac", 6: "5005 bytes", 18: "Quorvane"}, failures)
    return report(failures, 2)


if __name__ == "__main__":
    sys.exit(main())
