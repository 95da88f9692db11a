#!/usr/bin/env python3
"""Fails when a folder of src includes a folder that is not below it in the
order src/README.md writes down, when a folder is missing from that order, or
when a folder has no README.md saying what it holds. The order is one line,
"Layers, bottom up: a b c (d e)": each name a layer of its own, a group in
parentheses one layer of peers that never include each other.

    python3 tests/tools/check_layers.py SRC_DIR
"""
import os
import re
import sys

src = sys.argv[1]
readme = open(os.path.join(src, "README.md"), encoding="utf-8").read()
line = re.search(r"^Layers, bottom up: (.*)$", readme, re.M)
if not line:
    sys.exit("src/README.md: no line 'Layers, bottom up: ...'")
layer = {}
for level, token in enumerate(re.findall(r"\([^)]*\)|\S+", line.group(1))):
    for name in token.strip("()").split():
        layer[name] = level

problems = []
folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
for folder in folders:
    if folder not in layer:
        problems.append(f"src/{folder}: not in the layer order of src/README.md")
    if not os.path.isfile(os.path.join(src, folder, "README.md")):
        problems.append(f"src/{folder}: no README.md saying what it holds")

for root, _, files in sorted(os.walk(src)):
    me = os.path.relpath(root, src).split(os.sep)[0]
    if me not in layer:
        continue
    for f in sorted(files):
        if not f.endswith((".cpp", ".h")):
            continue
        path = os.path.join(root, f)
        for number, text in enumerate(open(path, encoding="utf-8", errors="replace"), 1):
            m = re.match(r'\s*#\s*include\s+"([^"/]+)/', text)
            if not m or m.group(1) == me or m.group(1) not in layer:
                continue
            if layer[m.group(1)] >= layer[me]:
                problems.append(f"src/{os.path.relpath(path, src)}:{number}: {me} includes {m.group(1)}, "
                                f"which is not below it")

for p in problems:
    print(p)
print(f"{len(problems)} problem(s)" if problems else f"{len(folders)} folders, each including only those below it")
sys.exit(1 if problems else 0)
