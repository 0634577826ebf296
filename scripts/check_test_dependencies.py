#!/usr/bin/python3
"""Checks that every test program that starts MirvaleSrv or Mirvale depends on it in CMake, so
that building a test target alone never runs it against a stale program.

A test source starts MirvaleSrv when it, or a test header it includes, uses ServiceProcess or
names <build>/bin/MirvaleSrv; it starts Mirvale when it uses DesktopProcess or names
<build>/bin/Mirvale. The helpers' own headers count only where they are used, not where they are
included (service_process.h also serves for its temporary folders). Targets and their sources
come from the CMake files under tests/ (mirvale_add_test, mirvale_add_benchmark, add_executable,
foreach loops expanded). Prints each target that lacks a dependency and exits 1 when one does.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TESTS = ROOT / "tests"
HELPERS = {"tests/support/service_process.h", "tests/desktop/support/desktop_process.h"}
STARTS = {
    "MirvaleSrv": re.compile(r'\bServiceProcess\b|"/bin/MirvaleSrv"'),
    "Mirvale": re.compile(r'\bDesktopProcess\b|"/bin/Mirvale"'),
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"(tests/[^"]+)"', re.M)
COMMAND = re.compile(r"(\w+)\s*\(((?:[^()\"]|\"[^\"]*\")*)\)", re.S)
ARGUMENT = re.compile(r'"[^"]*"|[^\s"]+')
TARGET_COMMANDS = ("mirvale_add_test", "mirvale_add_benchmark", "add_executable")
KEYWORDS = {"SOURCES", "LIBS", "LABEL", "TIMEOUT", "SERIAL"}


def programs_started(path, seen=None):
    """The programs a test source starts, itself or through the test headers it includes."""
    seen = set() if seen is None else seen
    if not path.is_file() or not path.resolve().is_relative_to(ROOT):
        return set()  # generated, or a variable that is no file here
    relative = path.resolve().relative_to(ROOT).as_posix()
    if relative in seen:
        return set()
    seen.add(relative)
    text = path.read_text(encoding="utf-8", errors="replace")
    started = set()
    if relative not in HELPERS:
        started = {program for program, pattern in STARTS.items() if pattern.search(text)}
    for included in INCLUDE.findall(text):
        if included not in HELPERS:
            started |= programs_started(ROOT / included, seen)
    return started


def without_comments(text):
    lines = []
    for line in text.splitlines():
        quoted = False
        for i, c in enumerate(line):
            if c == '"':
                quoted = not quoted
            elif c == "#" and not quoted:
                line = line[:i]
                break
        lines.append(line)
    return "\n".join(lines)


def commands_of(cmake_file):
    """The file's commands as (name, arguments), foreach loops expanded."""
    variables = {"CMAKE_CURRENT_LIST_DIR": str(cmake_file.parent), "CMAKE_CURRENT_SOURCE_DIR": str(cmake_file.parent),
                 "CMAKE_SOURCE_DIR": str(ROOT)}
    parsed = [(m.group(1).lower(), [a.strip('"') for a in ARGUMENT.findall(m.group(2))])
              for m in COMMAND.finditer(without_comments(cmake_file.read_text(encoding="utf-8")))]

    def expand(commands, values):
        out, i = [], 0
        while i < len(commands):
            name, args = commands[i]
            if name == "foreach":
                depth, j = 1, i + 1
                while depth:
                    depth += {"foreach": 1, "endforeach": -1}.get(commands[j][0], 0)
                    j += 1
                for item in args[1:]:
                    out += expand(commands[i + 1:j - 1], dict(values, **{args[0]: item}))
                i = j
                continue
            substituted = [re.sub(r"\$\{(\w+)\}", lambda v: values.get(v.group(1), v.group(0)), a) for a in args]
            out.append((name, substituted))
            i += 1
        return out

    return expand(parsed, variables)


def main():
    sources, dependencies = {}, {}
    for cmake_file in sorted(TESTS.rglob("*.cmake")) + sorted(TESTS.rglob("CMakeLists.txt")):
        for name, args in commands_of(cmake_file):
            if name in TARGET_COMMANDS and args:
                listed = args[1:]
                if name != "add_executable":
                    start = listed.index("SOURCES") + 1 if "SOURCES" in listed else len(listed)
                    listed = listed[start:]
                    listed = listed[:next((i for i, a in enumerate(listed) if a in KEYWORDS), len(listed))]
                sources.setdefault(args[0], []).extend(cmake_file.parent / source for source in listed)
            elif name == "add_dependencies" and args:
                dependencies.setdefault(args[0], set()).update(args[1:])
    failures = []
    for target, listed in sorted(sources.items()):
        needed = set()
        for source in listed:
            needed |= programs_started(source)
        for program in sorted(needed - dependencies.get(target, set())):
            failures.append(f"{target} starts {program} but does not depend on it: add_dependencies({target} {program})")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
