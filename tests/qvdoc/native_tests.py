"""The native qvdoc against python3-olefile, an independent reader, on the shared corpus and
the sample documents: ls --json lists what olefile lists, cat gives the bytes olefile reads,
and check reads every file, damaged ones included, without crashing or hanging.

usage: native_tests.py QVDOC CORPUS SAMPLES
"""
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "common"))
from native_readers import SKIPPED, missing_reader  # noqa: E402

TIMEOUT = 30  # seconds for one run; a hang fails the test


def run(qvdoc, *arguments):
    # The native build alone: nothing is handed to the Windows build here.
    environment = dict(os.environ, QVDOC_WINDOWS_PROGRAM="/nonexistent")
    return subprocess.run([qvdoc, *arguments], capture_output=True, timeout=TIMEOUT, env=environment,
                          check=False)


def olefile_listing(path):
    import olefile
    with olefile.OleFileIO(path) as ole:
        listing = {}
        for entry in ole.listdir(streams=True, storages=True):
            name = "/" + "/".join(entry)
            kind = ole.get_type(entry)
            listing[name] = ("storage", 0) if kind == olefile.STGTY_STORAGE else \
                ("stream", ole.get_size(entry))
        return listing


def check_listing(qvdoc, path, failures):
    shown = run(qvdoc, "ls", "--json", path)
    if shown.returncode != 0:
        failures.append(f"{path}: ls gave {shown.returncode}: {shown.stderr.decode()}")
        return
    listing = {element["path"]: (element["type"], element["size"])
               for element in json.loads(shown.stdout)["elements"] if element["path"] != "/"}
    expected = olefile_listing(path)
    if listing != expected:
        failures.append(f"{path}: ls shows {listing}, olefile {expected}")
    import olefile
    with olefile.OleFileIO(path) as ole:
        for name, (kind, _) in expected.items():
            if kind != "stream":
                continue
            escaped = "".join(f"\\{ord(c):03o}" if ord(c) < 32 else c for c in name)
            cat = run(qvdoc, "cat", path, escaped)
            if cat.returncode != 0 or cat.stdout != ole.openstream(name[1:].split("/")).read():
                failures.append(f"{path}: cat {escaped} differs from olefile ({cat.returncode})")


def check_corpus(qvdoc, corpus, failures):
    files = sorted(os.path.join(folder, name) for folder, _, names in os.walk(corpus)
                   for name in names if not name.endswith(".md"))
    checked = run(qvdoc, "check", "--json", *files)
    if checked.returncode != 1:
        failures.append(f"check of the corpus gave {checked.returncode}, not 1 (some damaged)")
    results = json.loads(checked.stdout)["files"]
    if [result["path"] for result in results] != files:
        failures.append("check did not report one result per file, in order")
    for result in results:
        damaged = "fuzzed" in result["path"] or "FatChainLoop" in result["path"]
        if result["sound"] == damaged:
            failures.append(f"{result['path']}: check says sound={result['sound']}")
    return [result["path"] for result in results if result["sound"]]


def main():
    qvdoc, corpus, samples = sys.argv[1:4]
    reason = missing_reader()
    if reason:
        print(f"skipped: {reason}")
        return SKIPPED
    failures = []
    sound = check_corpus(qvdoc, corpus, failures)
    compound_samples = [os.path.join(samples, "ledger-2026.ac")]
    for path in sound + compound_samples:
        check_listing(qvdoc, path, failures)
    flat = run(qvdoc, "ls", os.path.join(samples, "ledger-2019.ac"))
    if flat.returncode != 4:
        failures.append(f"ls of the flat sample gave {flat.returncode}, not 4")
    for failure in failures:
        print(failure)
    print(f"{len(sound) + len(compound_samples)} documents compared with olefile, "
          f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
