#!/usr/bin/python3
"""Reads the documents provider_tests.exe leaves in provider-interop/ with two independent
native readers, python3-olefile and libgsf's gsf tool, and checks what they find.

    check_interop.py FOLDER

Exits 0 when every check passes, 1 on a mismatch, 77 (skipped) when a reader is missing or
the documents were not written yet.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
from native_readers import (SKIPPED, check_gsf_props, pattern, ready_documents,  # noqa: E402
                            report)

STORAGE_CLSID = "0000000B-0000-0000-C000-000000000046"


def check_with_olefile(path, failures):
    import olefile

    with olefile.OleFileIO(path) as ole:
        streams = sorted("/".join(entry) for entry in ole.listdir(streams=True, storages=False))
        expected = sorted(["\x05DocumentSummaryInformation", "\x05SummaryInformation", "Empty",
                           "Large", "Nested/Deep", "Nested/Deeper/Deepest", "Small"])
        if streams != expected:
            failures.append(f"{path}: streams {streams}")
        contents = {
            "Small": pattern(100, 1),
            "Large": pattern(70000, 2),
            "Empty": b"",
            "Nested/Deep": pattern(5000, 3),
            "Nested/Deeper/Deepest": b"bottom",
        }
        for name, data in contents.items():
            if ole.openstream(name).read() != data:
                failures.append(f"{path}: contents of {name}")
        if ole.getclsid("Nested").upper() != STORAGE_CLSID:
            failures.append(f"{path}: class of Nested is {ole.getclsid('Nested')}")
        summary = ole.getproperties("\x05SummaryInformation", convert_time=False)
        if summary.get(2) != b"Quarterly report" or summary.get(4) != b"Accounts":
            failures.append(f"{path}: summary strings {summary}")
        if summary.get(14) != 7:
            failures.append(f"{path}: page count {summary.get(14)}")
        document = ole.getproperties("\x05DocumentSummaryInformation")
        if document.get(15) != b"Z64 Ltd" or document.get(2) != b"Invoices":
            failures.append(f"{path}: document summary {document}")


def check_with_gsf(path, failures):
    listing = subprocess.run(["gsf", "list", path], capture_output=True, text=True, check=False)
    for name in ("Small", "Large", "Nested", "Deepest"):
        if name not in listing.stdout:
            failures.append(f"{path}: gsf list lacks {name}")
    # The user-defined properties come from the second section of the document-summary stream.
    expected = {
        "dc:title": '"Quarterly report"',
        "dc:creator": '"Accounts"',
        "gsf:page-count": "7",
        "dc:publisher": '"Z64 Ltd"',
        "gsf:category": '"Invoices"',
        "Client": '"M\\303\\274ller & Co"',  # gsf prints UTF-8 bytes in octal
        "Amount": "1234.500000",
        "Paid": "TRUE",
        "Invoices": "42",
    }
    check_gsf_props(path, expected, failures)


def main():
    documents = ready_documents(
        sys.argv[1], ("written-by-provider-512.stg", "written-by-provider-4096.stg"),
        "provider_tests")
    if documents is None:
        return SKIPPED
    failures = []
    for path in documents:
        check_with_olefile(path, failures)
        check_with_gsf(path, failures)
    return report(failures, len(documents))


if __name__ == "__main__":
    sys.exit(main())
