#!/usr/bin/env python3
"""Writes N links, one per line, from the templates of RealisticLinks.h (the
links the cleaning benchmarks use), for timing the scourlet tool:

    bench/write-links.py 300000 > links.txt
    time build/release/bin/scourlet -q < links.txt > /dev/null
"""
import pathlib
import re
import sys


def templates():
    source = (pathlib.Path(__file__).parent / "RealisticLinks.h").read_text()
    start = source.index("kTemplates = {")
    body = source[start:source.index("};", start)]
    found, current = [], ""
    for line in body.splitlines():
        line = line.strip()
        if line.startswith("//"):
            continue
        literals = re.findall(r'"((?:[^"\\]|\\.)*)"', line)
        if not literals:
            continue
        current += "".join(literals)
        if line.endswith(","):
            found.append(current)
            current = ""
    return found


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 300_000
    patterns = templates()
    written, variant = 0, 0
    out = sys.stdout
    while written < count:
        for pattern in patterns:
            if written == count:
                break
            out.write(pattern.replace("{}", str(variant * 37 + 11), 1) + "\n")
            written += 1
        variant += 1


if __name__ == "__main__":
    main()
