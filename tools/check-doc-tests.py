"""Checks that every test docs/reliability.md names is in the run's reports.

Names are written in backticks: a GoogleTest case as Suite.Name, with /*
for all the instances of a parameterized case, or a fuzzer as fuzz_name.
Usage: check-doc-tests.py DOC RESULTS_FOLDER
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

ran = set()
for report in pathlib.Path(sys.argv[2]).glob("*.xml"):
    for suite in ET.parse(report).getroot().iter("testsuite"):
        for case in suite.iter("testcase"):
            ran.add(f"{suite.get('name')}.{case.get('name')}")
            ran.add(case.get("name"))

def found(name):
    if name.endswith("/*"):
        return any(r.startswith(name[:-1]) for r in ran)
    return any(r == name or r.startswith(name + "/") for r in ran)

text = pathlib.Path(sys.argv[1]).read_text(encoding="utf-8")
names = set(re.findall(r"`([A-Z]\w+\.[A-Z]\w+(?:/\*)?|fuzz_\w+)`", text))
missing = sorted(n for n in names if not found(n))
for name in missing:
    print(f"{sys.argv[1]} names a test missing from the run: {name}")
print(f"docs: {len(names) - len(missing)} of {len(names)} tests named in {pathlib.Path(sys.argv[1]).name} are in the run")
sys.exit(1 if missing or not names else 0)
