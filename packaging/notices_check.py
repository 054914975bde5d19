#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
"""Usage: notices_check.py MAP FOLDER QT_PREFIX   (the zip's folder, before it is zipped)
What kiparano.exe linked from outside (its MAP) is in the zip FOLDER's kiparano.spdx, same SHA-1;
what that names is linked, held by what is, or a tool; the notices name just that. README.txt:
UTF-8 with a byte-order mark and CRLF, naming the notices and the SBOM; README-en.txt beside."""

import hashlib
import os
import re
import sys
from pathlib import Path

link, folder, qt = Path(sys.argv[1]).read_text(errors="replace"), Path(sys.argv[2]), sys.argv[3]
taken = set(re.findall(r"^(/[^\n(]*\.a)\(", link.split("\nMemory Configuration")[0], re.M))
taken |= {o for o in re.findall(r"^LOAD (/\S+)$", link, re.M) if not o.endswith(".a")}
owner, relations, package, file = {}, [], None, None
if not (folder / "kiparano.spdx").is_file():
    sys.exit(f"{folder} holds no kiparano.spdx: the zip is made first (windows.sh package)")
spdx = (folder / "kiparano.spdx").read_text(encoding="utf-8").splitlines()
for tag, _, value in (line.partition(": ") for line in spdx):
    if tag == "PackageName":
        package = file = None
    elif tag == "SPDXID" and not package and not file:
        package = value
    elif tag == "FileName":
        file = value
    elif tag == "FileChecksum" and value.startswith("SHA1: "):
        owner[(file, value[6:])] = package
    elif tag == "Relationship":
        relations.append(value.split())

faults, linked = [], set()
for path in map(os.path.normpath, sorted(taken)):
    key = ("./" + os.path.relpath(path, qt if path.startswith(qt + "/") else "/"),
           hashlib.sha1(Path(path).read_bytes()).hexdigest())
    linked |= {owner[key]} if key in owner else set()
    faults += [] if key in owner else [f"kiparano.exe links {path}, in no package of kiparano.spdx"]
held = linked | {b for a, kind, b in relations if kind == "CONTAINS" and a in linked}
tools = {a for a, kind, b in relations if kind == "BUILD_TOOL_OF"}
named = {p for r in relations for p in (r[0], r[2]) if p.startswith("SPDXRef-Package-")}
sections = set(re.findall(r"^\[(SPDXRef-[^\]]+)\]$", (folder / "THIRD-PARTY-NOTICES.txt")
                          .read_text(encoding="utf-8"), re.M))
ours = {p for p in named if p.startswith("SPDXRef-Package-kiparano")} | {"SPDXRef-Package-fonts"}
faults += [f"kiparano.spdx names {p}, which kiparano.exe does not link"
           for p in sorted(named - held - tools - ours)]
faults += [f"the notices have no section for {p}" for p in sorted(held - sections)]
faults += [f"the notices have a section for {p}, not linked" for p in sorted(sections - held)]
readme = (folder / "README.txt").read_bytes()
lines = readme.split(b"\n")[:-1]
faults += [f"README.txt: {fault}" for fault, found in [
    ("no byte-order mark", not readme.startswith(b"\xef\xbb\xbf")),
    ("lines without CRLF", not lines or not all(line.endswith(b"\r") for line in lines)),
    ("the notices or the SBOM not named", b"THIRD-PARTY-NOTICES.txt" not in readme
     or b"kiparano.spdx" not in readme), ("a @placeholder@ left", re.search(rb"@\w+@", readme)),
    ("no README-en.txt beside it", not (folder / "README-en.txt").is_file())] if found]
print(f"{len(taken)} archives and objects from outside, in {len(linked)} packages holding "
      f"{len(held - linked)} more; {len(sections)} notices", *faults or ["all named"], sep="\n")
sys.exit(1 if faults else 0)
