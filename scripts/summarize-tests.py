#!/usr/bin/env python3
"""Counts test cases over the given result folders and prints "N passed, N failed".

A test executable that writes GoogleTest results counts by its test cases; any other CTest
test (a crashed executable, a script) counts as one. Exits 1 when anything failed.
"""
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    root = ET.parse(path).getroot()
    total = int(root.get("tests", 0)) - int(root.get("disabled", 0))
    failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
    skipped = int(root.get("skipped", 0))
    return total - failed - skipped, failed


def summarize(folder):
    passed = failed = 0
    junit = os.path.join(folder, "ctest.xml")
    if not os.path.exists(junit):
        print(f"{folder}: no CTest results", file=sys.stderr)
        return 0, 1
    for case in ET.parse(junit).getroot().iter("testcase"):
        name = case.get("name")
        ok = case.get("status") in ("run", "passed", None) and case.find("failure") is None
        gtest_file = os.path.join(folder, name + ".xml")
        if os.path.exists(gtest_file):
            p, f = gtest_counts(gtest_file)
            if not ok and f == 0:
                f = 1
            passed += p
            failed += f
        elif ok:
            passed += 1
        else:
            failed += 1
        if not ok:
            print(f"FAILED: {folder}: {name}", file=sys.stderr)
    return passed, failed


total_passed = total_failed = 0
for folder in sys.argv[1:]:
    p, f = summarize(folder)
    print(f"{folder}: {p} passed, {f} failed")
    total_passed += p
    total_failed += f
print(f"{total_passed} passed, {total_failed} failed")
sys.exit(1 if total_failed else 0)
