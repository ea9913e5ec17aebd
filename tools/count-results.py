"""Sums the GoogleTest XML reports of a run into one closing line."""
import pathlib
import sys
import xml.etree.ElementTree as ET

passed = failed = skipped = 0
for report in sorted(pathlib.Path(sys.argv[1]).glob("*.xml")):
    for case in ET.parse(report).getroot().iter("testcase"):
        if case.find("failure") is not None:
            failed += 1
        elif case.get("result") == "skipped" or case.find("skipped") is not None:
            skipped += 1
        else:
            passed += 1
print(f"tests: {passed} passed, {failed} failed, {skipped} skipped")
sys.exit(1 if failed or passed == 0 else 0)
