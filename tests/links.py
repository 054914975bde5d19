# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
"""Every link of the README and docs/ that points into the source leads to a file there, and
every picture shows; links out of the source (https:, mailto:) are not followed."""
import pathlib
import re
import sys

source = pathlib.Path(sys.argv[1])
broken = []
for page in [source / "README.md", *sorted((source / "docs").glob("*.md"))]:
    text = re.sub(r"```.*?```", "", page.read_text(encoding="utf-8"), flags=re.S)
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        path = target.split("#")[0]
        if re.match(r"[a-z]+:", path) or not path:
            continue
        if not (page.parent / path).resolve().is_file():
            broken.append(f"{page.relative_to(source)}: {target}")
print("\n".join(broken) or "every link leads to a file")
sys.exit(1 if broken else 0)
