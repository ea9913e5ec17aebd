"""Checks that the code depends one way: ui -> scan -> core.

No file in core/ may include a header of scan/ or ui/, and no file in scan/
one of ui/; the native fuzz build and the tests of the lower folders rely on
it. Usage: check-layers.py ROOT
"""
import pathlib
import re
import sys

ABOVE = {"core": ("scan", "ui"), "scan": ("ui",)}

root = pathlib.Path(sys.argv[1])
include = re.compile(r'^\s*#\s*include\s*"([^/"]+)/')
wrong = []
checked = 0
for folder, upper in ABOVE.items():
    for source in sorted((root / folder).rglob("*")):
        if source.suffix not in (".cpp", ".h"):
            continue
        checked += 1
        for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
            match = include.match(line)
            if match and match.group(1) in upper:
                wrong.append(f"{source.relative_to(root)}:{number}: {line.strip()}")
for line in wrong:
    print(f"includes a layer above its own: {line}")
print(f"layers: {checked} files of core/ and scan/, {len(wrong)} includes from above")
sys.exit(1 if wrong or checked == 0 else 0)
