"""What the scripts that read the Windows tests' documents with native readers share:
python3-olefile and libgsf's gsf tool.
"""
import os
import shutil
import subprocess

SKIPPED = 77  # ctest's skip code for these scripts


def pattern(count, seed):
    """The bytes test_support::patternBytes makes: (index * 7 + seed) & 0xFF."""
    return bytes(((index * 7 + seed) & 0xFF) for index in range(count))


def missing_reader():
    """Why the native readers cannot run here, or None when both are installed."""
    try:
        import olefile  # noqa: F401
    except ImportError:
        return "python3-olefile is not installed"
    if shutil.which("gsf") is None:
        return "gsf (libgsf-bin) is not installed"
    return None


def ready_documents(folder, names, writer):
    """The paths of the documents named, or None after saying why they cannot be read here:
    a native reader is missing, or `writer` (the test program that writes them) has not run."""
    missing = missing_reader()
    if missing:
        print(missing)
        return None
    paths = [os.path.join(folder, name) for name in names]
    if not all(os.path.exists(path) for path in paths):
        print(f"run {writer} first")
        return None
    return paths


def check_gsf_props(path, expected, failures):
    """Compares what `gsf props` shows for each name with the expected text."""
    shown = subprocess.run(["gsf", "props", path, *expected], capture_output=True, text=True,
                           check=False).stdout
    values = {}
    for line in shown.splitlines():  # name: <tab>= value
        name, separator, value = line.partition(": \t= ")
        if separator:
            values[name.strip()] = value.strip()
    for name, value in expected.items():
        if values.get(name) != value:
            failures.append(f"{path}: gsf shows {name} as {values.get(name)}, not {value}")


def report(failures, documents):
    """Prints the mismatches and a summary; the script's exit code."""
    for failure in failures:
        print(failure)
    print(f"{documents} documents, {len(failures)} mismatches")
    return 1 if failures else 0
