"""Sums a run into one closing line: CTest's JUnit report, in which each
GoogleTest executable, wrapper script or check is one case, with the
executables' own reports (RESULTS/NAME.xml or NAME-*.xml, GoogleTest or
CTest JUnit) in place of their one case.

Usage: count-results.py CTEST_JUNIT RESULTS_FOLDER
"""
import pathlib
import sys
import xml.etree.ElementTree as ET


def outcome(case):
    if case.find("failure") is not None or case.find("error") is not None:
        return "failed"
    if (case.get("result") == "skipped" or case.get("status") in ("notrun", "disabled")
            or case.find("skipped") is not None):
        return "skipped"
    return "passed"


counts = {"passed": 0, "failed": 0, "skipped": 0}
results = pathlib.Path(sys.argv[2])
for test in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    name = test.get("name")
    reports = sorted(set(results.glob(f"{name}.xml")) | set(results.glob(f"{name}-*.xml")))
    cases = [outcome(c) for r in reports for c in ET.parse(r).getroot().iter("testcase")]
    if not cases:
        counts[outcome(test)] += 1
        continue
    for result in cases:
        counts[result] += 1
    # An executable that failed after its cases passed (a crash on exit, a
    # wrapper's own check) still fails the run.
    if outcome(test) == "failed" and "failed" not in cases:
        counts["failed"] += 1
print(f"tests: {counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped")
sys.exit(1 if counts["failed"] or counts["passed"] == 0 else 0)
