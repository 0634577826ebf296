#!/usr/bin/python3
"""Reads a CTest JUnit report and lists every test that skipped or did not run, with the
reason the test gave. Exit status: 0 when every test ran, 2 when some did not, 1 when the
report is missing or unreadable."""
import re
import sys
import xml.etree.ElementTree as ElementTree


def skip_reason(output):
    # GoogleTest prints "<file>:<line>: Skipped", the message, then "[  SKIPPED ] <name>".
    match = re.search(r": Skipped\n(.*?)\[  SKIPPED \]", output, re.S)
    if match and match.group(1).strip():
        return " ".join(match.group(1).split())
    return None


def main():
    path, stage = sys.argv[1], sys.argv[2]
    try:
        cases = ElementTree.parse(path).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError) as error:
        print(f"{stage}: no readable test report ({error})")
        return 1
    missing = []
    for case in cases:
        skipped = case.find("skipped")
        status = case.get("status", "")
        if skipped is None and status not in ("notrun", "disabled"):
            continue
        output = case.findtext("system-out") or ""
        if status == "disabled":
            reason = "disabled (DISABLED_ in its name)"
        elif skipped is None:
            reason = "did not run: " + (" ".join(output.split())[:200] or "no output")
        else:
            reason = skip_reason(output) or "skipped without a reason"
        missing.append((case.get("name"), reason))
    if not missing:
        return 0
    banner = "*" * 78
    print(banner)
    print(f"{stage}: {len(missing)} test(s) SKIPPED or NOT RUN - they tested nothing:")
    for name, reason in missing:
        print(f"  SKIPPED {name}: {reason}")
    print(banner)
    return 2


if __name__ == "__main__":
    sys.exit(main())
