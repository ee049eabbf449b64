#!/usr/bin/python3
"""Reads the documents z64eveze_tests.exe leaves in library-interop/ (made through the
library's storage functions, and a converted flat document) with python3-olefile and
libgsf's gsf, and checks that they find the same streams and properties.

    check_documents.py FOLDER CORPUS

It also compares the summary-information texts that the library's typed readers gave for
each document of the shared corpus (and two made from one of them), listed in
FOLDER/corpus-summary.txt, with what olefile reads from the same files.

Exits 0 when every check passes, 1 on a mismatch, 77 (skipped) when a reader is missing or
the documents were not written yet.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
from native_readers import (SKIPPED, check_gsf_props, pattern, ready_documents,  # noqa: E402
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


SUMMARY_TEXTS = (2, 3, 4, 5, 6, 7, 8, 9, 18)  # title ... revision number, application name


def expected_text(value, code_page, ansi):
    """The text olefile reads for a property, as the library's readers must give it.
    olefile hands narrow strings out as their bytes with every zero byte removed, which
    leaves the Latin-1 texts of a Unicode (1200) set as Latin-1 bytes."""
    if value is None:
        return ""
    if isinstance(value, bytes):
        return value.decode("latin-1" if code_page == 1200 else f"cp{code_page or ansi}")
    return value.rstrip("\x00")


def check_corpus_summary(folder, corpus, failures):
    """Each corpus document with a summary set must be listed, and each text the library
    read (narrow reader in the ANSI code page, wide reader as UTF-8) must equal olefile's."""
    import olefile

    listing = os.path.join(folder, "corpus-summary.txt")
    if not os.path.exists(listing):
        failures.append("corpus-summary.txt was not written")
        return 0
    with open(listing, encoding="ascii") as lines:
        rows = [line.rstrip("\n").split("\t") for line in lines]
    ansi = int(rows.pop(0)[1])
    seen = {}
    for document, identifier, result, narrow, wide in rows:
        seen.setdefault(document, {})[int(identifier)] = (
            int(result), bytes.fromhex(narrow.strip("-")).decode(f"cp{ansi}"),
            bytes.fromhex(wide.strip("-")).decode("utf-8"))
    real = os.path.join(corpus, "cfb-peers", "real")
    with_summary = set()
    for name in os.listdir(real):
        path = os.path.join(real, name)
        if olefile.isOleFile(path):
            try:
                with olefile.OleFileIO(path) as ole:
                    if ole.exists("\x05SummaryInformation"):
                        with_summary.add(name)
            except OSError:
                pass  # a damaged file of the corpus
    made = {"unicode-set.doc", "no-code-page.doc"}
    if set(seen) != with_summary | made:
        failures.append(f"corpus-summary.txt lists {sorted(seen)}, not {sorted(with_summary | made)}")
    for document, texts in seen.items():
        with olefile.OleFileIO(os.path.join(folder, "corpus", document)) as ole:
            properties = ole.getproperties("\x05SummaryInformation", convert_time=False)
        code_page = properties.get(1, 0) & 0xFFFF
        for identifier in SUMMARY_TEXTS:
            expected = expected_text(properties.get(identifier), code_page, ansi)
            result = 0 if identifier in properties else 1  # S_OK, or S_FALSE when absent
            if texts.get(identifier) != (result, expected, expected):
                failures.append(f"{document}: summary {identifier} read as "
                                f"{texts.get(identifier)}, olefile reads {expected!r}")
    return len(seen)


def main():
    folder = sys.argv[1]
    documents = ready_documents(folder, ("made-by-library.ac", "converted.ac"), "z64eveze_tests")
    if documents is None:
        return SKIPPED
    made, converted = documents
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
    documents = 2 + check_corpus_summary(folder, sys.argv[2], failures)
    return report(failures, documents)


if __name__ == "__main__":
    sys.exit(main())
