#!/usr/bin/python3
"""Checks every project include line against the one-way order of the folders.

Each source folder may include its own headers and those of the folders listed for it below
(the list is already closed downwards). Includes are written as tree paths ("base/memory.h"),
never relative to the including file. Tests under tests/<folder> may include what <folder> may,
plus tests/. Prints each offending line and exits 1 when there is one.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TOP_FOLDERS = ("platform", "base", "common", "crypto", "remoteshell", "service", "desktop", "tests")

_REMOTESHELL_BELOW = ["crypto", "base", "platform"]
ALLOWED = {
    "platform": [],
    "base": ["platform"],
    "crypto": ["base", "platform"],
    "remoteshell/core": _REMOTESHELL_BELOW,
    "remoteshell/net": ["remoteshell/core"] + _REMOTESHELL_BELOW,
    "remoteshell/terminal": ["remoteshell/net", "remoteshell/core"] + _REMOTESHELL_BELOW,
    "remoteshell/ssh": ["remoteshell/net", "remoteshell/core"] + _REMOTESHELL_BELOW,
    "remoteshell": ["remoteshell/ssh", "remoteshell/terminal", "remoteshell/net", "remoteshell/core"]
    + _REMOTESHELL_BELOW,
    "common": ["platform"],
    "service": ["common", "remoteshell", "crypto", "base", "platform"],
    "desktop/shell": ["common", "platform"],
    "desktop/pools": ["desktop/shell", "common", "platform"],
    "desktop/results": ["desktop/shell", "common", "platform"],
    "desktop": ["desktop/shell", "desktop/pools", "desktop/results", "common", "platform"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def folder_of(path):
    """The most specific folder of the table that holds the path (a path of the tree)."""
    parts = path.split("/")[:-1]
    while parts:
        key = "/".join(parts)
        if key in ALLOWED:
            return key
        parts.pop()
    return None


def allowed_folders(source):
    if source.startswith("tests/fuzz/"):
        # A fuzz target drives one parser wherever it lives, the desktop's file imports too.
        return set(ALLOWED) | {"tests"}
    if source.startswith("tests/"):
        mirrored = folder_of(source[len("tests/"):])
        # Tests of the whole service may drive every layer it stands on; support code too.
        below = ALLOWED[mirrored] + [mirrored] if mirrored else ALLOWED["service"] + ["service"]
        return set(below) | {"tests"}
    own = folder_of(source)
    return set(ALLOWED[own]) | {own}


def offence(source, included):
    """Why an include line breaks the order, or None."""
    if included.split("/")[0] not in TOP_FOLDERS:
        return None  # a system or library header
    target = folder_of(included) or included.split("/")[0]
    if included.startswith("tests/"):
        target = "tests"
    # Allowing a folder allows the layers inside it too (service may use any remote-shell layer).
    if any(target == folder or target.startswith(folder + "/") for folder in allowed_folders(source)):
        return None
    return f"{folder_of(source) or source} may not include {target}/"


def main():
    failures = []
    for path in sorted(ROOT.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".c") or not path.is_file():
            continue
        relative = path.relative_to(ROOT).as_posix()
        if relative.split("/")[0] not in TOP_FOLDERS or folder_of(relative) is None and not relative.startswith("tests/"):
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            bracket, included = match.groups()
            if bracket == '"' and "/" not in included and not relative.startswith("tests/"):
                if (path.parent / included).exists() or included.endswith(".h"):
                    failures.append(f"{relative}:{number}: write the tree path, not \"{included}\"")
                continue
            why = offence(relative, included)
            if why:
                failures.append(f"{relative}:{number}: {line.strip()}  ({why})")
    for failure in failures:
        print(failure)
    if failures:
        print(f"{len(failures)} include line(s) break the order of the folders", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
