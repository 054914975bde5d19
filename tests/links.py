# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
"""Every link of the README and docs/ that points into the source leads to a file there, and
every picture shows; links out of the source (https:, mailto:) are not followed."""
import pathlib, re, sys

source = pathlib.Path(sys.argv[1])
pages = [source / "README.md", *sorted((source / "docs").glob("*.md"))]
broken = [f"{page.relative_to(source)}: {target}" for page in pages
          for target in re.findall(r"\]\(([^)\s#]+)", re.sub(r"```.*?```", "", page.read_text(
              encoding="utf-8"), flags=re.S))
          if not re.match(r"[a-z]+:", target) and not (page.parent / target).resolve().is_file()]
print("\n".join(broken) or "every link leads to a file")
sys.exit(1 if broken else 0)
