#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
"""Usage: notices.py MAP FOLDER QT_PREFIX

What the link of kiparano.exe took from outside our build (every archive and object its map
names, by its bytes) against what the zip's FOLDER says it holds: each is a file, with the same
SHA-1, of a package in kiparano.spdx; each other package there is linked, built into a linked
one or a tool that built it; and the notices have a section for each linked package and for
nothing else."""

import hashlib
import os
import re
import sys
from pathlib import Path

link, folder, qt = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3])
mapped = link.read_text(errors="replace")
taken = set(re.findall(r"^(/[^\n(]*\.a)\(", mapped.split("\nMemory Configuration")[0], re.M))
taken |= {o for o in re.findall(r"^LOAD (/\S+)$", mapped, re.M) if not o.endswith(".a")}

owner, relations, package, name = {}, [], None, None
for line in (folder / "kiparano.spdx").read_text().splitlines():
    tag, _, value = line.partition(": ")
    if tag == "PackageName":
        package = name = None
    elif tag == "SPDXID" and package is None and name is None:
        package = value
    elif tag == "FileName":
        name = value
    elif tag == "FileChecksum" and value.startswith("SHA1: "):
        owner[(name, value[6:])] = package
    elif tag == "Relationship":
        relations.append(value.split())

faults, linked = [], set()
for path in sorted(taken):
    path = os.path.normpath(path)
    key = ("./" + os.path.relpath(path, qt if path.startswith(f"{qt}/") else "/"),
           hashlib.sha1(Path(path).read_bytes()).hexdigest())
    if key in owner:
        linked.add(owner[key])
    else:
        faults.append(f"kiparano.exe links {path}, which kiparano.spdx lists with no package")
inside = {b for a, relation, b in relations if relation == "CONTAINS" and a in linked}
tools = {a for a, relation, b in relations if relation == "BUILD_TOOL_OF"}
named = {p for r in relations for p in (r[0], r[2])
         if p.startswith("SPDXRef-Package-") and not p.startswith("SPDXRef-Package-kiparano")}
faults += [f"kiparano.spdx names {p}, which kiparano.exe does not link"
           for p in sorted(named - linked - inside - tools - {"SPDXRef-Package-fonts"})]
sections = set(re.findall(r"^\[(SPDXRef-[^\]]+)\]$", (folder / "THIRD-PARTY-NOTICES.txt")
                          .read_text(), re.M))
faults += [f"the notices have no section for {p}" for p in sorted((linked | inside) - sections)]
faults += [f"the notices have a section for {p}, which kiparano.exe does not link"
           for p in sorted(sections - linked - inside)]
print(f"{len(taken)} archives and objects from outside our build, in {len(linked)} packages "
      f"holding {len(inside)} more; {len(sections)} sections of notices")
print("\n".join(faults) or "each named in kiparano.spdx and the notices, and nothing else")
sys.exit(1 if faults else 0)
