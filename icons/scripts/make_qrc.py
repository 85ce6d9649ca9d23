#!/usr/bin/env python3
"""Writes icons/resources/keldar-icons.qrc listing every file under keldar-icons/.

The viewer logo lives in icons/artwork/ (the application registers it under its
own path) and is listed here a second time so galleries can show it too.
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.normpath(os.path.join(HERE, "..", "resources"))
EXTRA = [("keldar-icons/Logos/LumivaneLogo.svg", "../artwork/LumivaneLogo.svg")]


def main():
    files = []
    for root, _, names in os.walk(os.path.join(RESOURCES, "keldar-icons")):
        for name in names:
            if name.endswith(".svg"):
                files.append(os.path.relpath(os.path.join(root, name), RESOURCES))
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/">']
    lines += [f"    <file>{f}</file>" for f in sorted(files)]
    lines += [f'    <file alias="{alias}">{source}</file>' for alias, source in EXTRA]
    lines += ["</qresource>", "</RCC>", ""]
    with open(os.path.join(RESOURCES, "keldar-icons.qrc"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    print(f"{len(files) + len(EXTRA)} resources listed")


if __name__ == "__main__":
    main()
