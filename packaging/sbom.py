#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
"""What we publish, listed for a licence auditor and a vulnerability scanner.

    sbom.py deb --staging DIR ...   the Debian package: an SPDX 2.3 document (tag-value) of the
                                    files in DIR, the package's staging folder, and of the
                                    Debian packages its program needs, as built
    sbom.py zip --qt PREFIX --map FILE --out DIR ...
                                    the Windows program: an SPDX 2.3 document and the notices
                                    of everything the link (its map FILE) took into
                                    kiparano.exe, from the static Qt's own SBOM and attributions
                                    and from Debian's packages of the MinGW-w64 toolchain

Both describe our own source file by file as `reuse spdx` lists it. The document is the same
for the same inputs: dated by --date (SOURCE_DATE_EPOCH), named by its own content.
"""

import argparse
import hashlib
import json
import os
import re
import subprocess
import sys
import time
from urllib.parse import quote
from pathlib import Path

HOMEPAGE = "https://www.example.com/kiparano/"
US = "Organization: The kiparano developers"
FONTS = {
    "name": "Kiparano Gothic and Kiparano Mono (subsets of Noto Sans CJK JP and Noto Sans Mono "
    "CJK JP)",
    "licence": "OFL-1.1",
    "copyright": "2014-2021 Adobe (http://www.adobe.com/), with Reserved Font Name 'Source'\n"
    "2010-2012 Google Corporation\n2026 The kiparano developers",
    "site": "https://github.com/notofonts/noto-cjk",
}


def fail(message):
    sys.exit(f"sbom.py: {message}")


def text(value):
    """A tag-value text field."""
    return f"<text>{value}</text>" if value and value != "NOASSERTION" else "NOASSERTION"


def ident(*parts):
    """An SPDX identifier: letters, digits, dots and dashes."""
    return "SPDXRef-" + re.sub(r"[^A-Za-z0-9.-]+", "-", "-".join(parts))


def checksums(path):
    data = Path(path).read_bytes()
    return [f"SHA1: {hashlib.sha1(data).hexdigest()}",
            f"SHA256: {hashlib.sha256(data).hexdigest()}"]


def stanzas(document):
    """The stanzas of a tag-value document: lists of (tag, value), <text> values whole."""
    result, current, lines = [], [], iter(document.splitlines())
    for line in lines:
        if not line.strip():
            if current:
                result.append(current)
            current = []
            continue
        if line.startswith("#") or ":" not in line:
            continue
        tag, value = line.split(":", 1)
        value = value.strip()
        while value.startswith("<text>") and "</text>" not in value:
            value += "\n" + next(lines)
        current.append((tag, value.removeprefix("<text>").removesuffix("</text>")))
    return result + ([current] if current else [])


def verification(files):
    """A package's verification code: the SHA-1 of its files' sorted SHA-1s."""
    sha1s = sorted(v.split()[-1] for f in files for t, v in f if v.startswith("SHA1:"))
    return hashlib.sha1("".join(sha1s).encode()).hexdigest()


def ours(source):
    """Our source, file by file, as `reuse spdx` finds it: the package, then its files."""
    listed = subprocess.run(["reuse", "--root", source, "spdx"], capture_output=True,
                            check=True).stdout.decode("utf-8", "replace")
    files, licences = [], set()
    for stanza in stanzas(listed):
        fields = dict(stanza)
        name = fields.get("FileName", "")
        if not name or name.startswith("./build"):
            continue  # not a file, or what a build left in a tree outside git
        found = [v for t, v in stanza if t == "LicenseInfoInFile"]
        licences.update(found)
        # A font's copyright is read from its binary name table: its printable lines only.
        lines = [l for l in fields.get("FileCopyrightText", "").splitlines() if l.isprintable()]
        files.append([("FileName", name), ("SPDXID", ident("File", name)),
                      ("FileChecksum", fields["FileChecksum"]), ("LicenseConcluded", "NOASSERTION")]
                     + [("LicenseInfoInFile", l) for l in found]
                     + [("FileCopyrightText", text("\n".join(lines) or "NOASSERTION"))])
    files.sort(key=lambda f: f[0][1])  # whatever order the file system lists them in
    package = [("PackageName", "kiparano-source"), ("SPDXID", ident("Package-kiparano-source")),
               ("PackageVersion", args.version), ("PackageSupplier", US),
               ("PackageDownloadLocation", HOMEPAGE), ("FilesAnalyzed", "true"),
               ("PackageVerificationCode", verification(files)),
               ("PackageLicenseConcluded", "NOASSERTION"),
               ("PackageLicenseDeclared", "MIT AND OFL-1.1"),
               ("PackageLicenseInfoFromFiles", " ".join(sorted(licences))),
               ("PackageCopyrightText", text("2026 The kiparano developers")),
               ("PackageComment", text(f"The source of kiparano {args.version}, its files and "
                                       "their licences as `reuse spdx` lists them."))]
    return [package] + files


def our_binary(kind, purpose, files):
    """What we ship. Its files follow it in the document, which says that it contains them."""
    return [("PackageName", "kiparano"), ("SPDXID", ident("Package-kiparano")),
            ("PackageVersion", args.version), ("PackageSupplier", US),
            ("PackageDownloadLocation", HOMEPAGE), ("PackageHomePage", HOMEPAGE),
            ("FilesAnalyzed", "true"), ("PackageVerificationCode", verification(files)),
            ("PackageLicenseConcluded", "NOASSERTION"),
            ("PackageLicenseDeclared", "MIT AND OFL-1.1"),
            ("PackageCopyrightText", text("2026 The kiparano developers")),
            ("PrimaryPackagePurpose", purpose),
            ("PackageComment", text(kind)),
            ("ExternalRef", f"PACKAGE-MANAGER purl pkg:generic/kiparano@{args.version}"),
            ("Relationship", f"{ident('Package-kiparano')} GENERATED_FROM "
                             f"{ident('Package-kiparano-source')}"),
            ("Relationship", f"{ident('Package-kiparano')} CONTAINS {ident('Package-fonts')}")]


def fonts():
    return [("PackageName", FONTS["name"]), ("SPDXID", ident("Package-fonts")),
            ("PackageSupplier", US), ("PackageDownloadLocation", FONTS["site"]),
            ("FilesAnalyzed", "false"), ("PackageLicenseConcluded", FONTS["licence"]),
            ("PackageLicenseDeclared", FONTS["licence"]),
            ("PackageCopyrightText", text(FONTS["copyright"])),
            ("PackageComment", text("Built into the program as Qt resources."))]


def shipped_file(folder, path):
    return [("FileName", f"./{path}"), ("SPDXID", ident("File", str(path))),
            *[("FileChecksum", c) for c in checksums(folder / path)],
            ("LicenseConcluded", "NOASSERTION"), ("FileCopyrightText", "NOASSERTION")]


def debian(package, version, arch, distro, relations):
    """A Debian binary package, with the package URL that scanners match on, and how it relates
    to ours: what ours links or needs, or (a relation ending in _OF) what built it."""
    purl = (f"pkg:deb/debian/{quote(package)}@{quote(version)}?arch={arch}&distro={distro}")
    it, ours = ident("Package-deb", package), ident("Package-kiparano")
    return [("PackageName", package), ("SPDXID", it),
            ("PackageVersion", version), ("PackageSupplier", "Organization: Debian"),
            ("PackageDownloadLocation", "NOASSERTION"), ("FilesAnalyzed", "false"),
            ("PackageLicenseConcluded", "NOASSERTION"), ("PackageLicenseDeclared", "NOASSERTION"),
            ("PackageCopyrightText", "NOASSERTION"),
            ("PackageLicenseComments", text(f"As /usr/share/doc/{package}/copyright says.")),
            ("ExternalRef", f"PACKAGE-MANAGER purl {purl}")] + [
        ("Relationship", f"{it} {r} {ours}" if r.endswith("_OF") else f"{ours} {r} {it}")
        for r in sorted(relations)]


def installed(package):
    """The version of an installed Debian package, and its architecture."""
    found = subprocess.run(["dpkg-query", "-W", "-f=${Version} ${Architecture}", package],
                           capture_output=True, text=True)
    fields = found.stdout.split()
    if found.returncode or len(fields) != 2:
        fail(f"{package} is not installed: no version to name")
    return fields


def owner(path):
    """The Debian package that installed a file."""
    found = subprocess.run(["dpkg-query", "-S", path], capture_output=True, text=True)
    if found.returncode:
        fail(f"no Debian package holds {path}")
    return found.stdout.split(":")[0].split(",")[0]


def tools():
    """The Debian packages of the compiler, linker and resource compiler that built ours."""
    return {owner(os.path.realpath(tool)) for tool in args.tools.split(";") if tool}


def related(*groups):
    """Each Debian package of the (packages, relation) groups, with every way it relates to
    ours: a package may be both a runtime linked in and a tool's."""
    relations = {}
    for packages, relation in groups:
        for package in packages:
            relations.setdefault(package, set()).add(relation)
    return relations


def document(name, stanzas_):
    """The whole document, its namespace and date from its content and --date."""
    body = "\n\n".join("\n".join(f"{t}: {v}" for t, v in s) for s in stanzas_) + "\n"
    digest = hashlib.sha256(body.encode()).hexdigest()[:32]
    created = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(args.date)))
    head = [("SPDXVersion", "SPDX-2.3"), ("DataLicense", "CC0-1.0"), ("SPDXID", "SPDXRef-DOCUMENT"),
            ("DocumentName", name), ("DocumentNamespace", f"{HOMEPAGE}spdx/{name}-{digest}"),
            ("Creator", US), ("Creator", "Tool: kiparano-sbom.py"), ("Created", created),
            ("Relationship", f"SPDXRef-DOCUMENT DESCRIBES {ident('Package-kiparano')}")]
    return "\n".join(f"{t}: {v}" for t, v in head) + "\n\n" + body


def deb():
    """The Debian package: what it installs, and the packages it needs as built."""
    staging = Path(args.staging)
    distro = subprocess.run(["sh", "-c", ". /etc/os-release && echo $VERSION_CODENAME"],
                            capture_output=True, text=True).stdout.strip()
    shipped = sorted(p.relative_to(staging) for p in staging.rglob("*")
                     if p.is_file() and "DEBIAN" not in p.parts)
    files = [shipped_file(staging, path) for path in shipped]
    binary = our_binary(f"The Debian package kiparano {args.version} for {distro}: the files it "
                        "installs, and the Debian packages its program needs.", "APPLICATION",
                        files)
    needed = re.findall(r"NEEDED\s+(\S+)", subprocess.run(
        ["objdump", "-p", str(staging / args.binary)], capture_output=True, text=True).stdout)
    if not needed:
        fail(f"{args.binary} names no shared library")
    packages = related(({owner(f"*/{library}") for library in needed}, "DYNAMIC_LINK"),
                       ([p.strip().split()[0] for p in args.depends.split(",") if p.strip()],
                        "DEPENDS_ON"),
                       (tools(), "BUILD_TOOL_OF"))
    dependencies = [debian(p, *installed(p), distro, r) for p, r in sorted(packages.items())]
    out = staging / "usr/share/doc/kiparano/kiparano.spdx"
    out.write_text(document(f"kiparano-{args.version}-deb-{distro}",
                            [binary, *files, fonts(), *dependencies, *ours(args.source)]))
    out.chmod(0o644)


def linked(path):
    """What the link took into kiparano.exe: each archive a member was taken from, and each
    object file, by path, as GNU ld's map lists them."""
    text = Path(path).read_text(errors="replace")
    members = text.split("\nMemory Configuration")[0]
    archives = set(re.findall(r"^(\S[^\n(]*\.a)\(", members, re.M))
    objects = {o for o in re.findall(r"^LOAD (\S+)$", text, re.M) if not o.endswith(".a")}
    return sorted(os.path.normpath(p) for p in archives | objects)


class Qt:
    """The static Qt's own bill of materials, and the attributions its build was made from."""

    def __init__(self, prefix):
        self.prefix = Path(prefix)
        found = sorted(self.prefix.glob("sbom/qtbase-*.spdx"))
        if not found:
            fail(f"the Qt in {prefix} has no bill of materials (sbom/qtbase-*.spdx; Qt 6.8 and "
                 "later write one): kiparano.exe's notices cannot be made from it, and no zip "
                 "is made without them")
        self.packages, self.file_owner, self.relations, self.licences = {}, {}, [], []
        package = None
        for stanza in stanzas(found[0].read_text()):
            fields = dict(stanza)
            if "LicenseID" in fields:
                self.licences.append(stanza)
            if "PackageName" in fields:
                package = fields["SPDXID"]
                self.packages[package] = stanza
            elif "FileName" in fields and package:
                self.file_owner[os.path.normpath(fields["FileName"])] = package
            self.relations += [v.split() for t, v in stanza if t == "Relationship"]

    def owner(self, relative):
        """The Qt package that an installed file belongs to: as Qt's document lists it, or
        else by the target its name is made of (libQt6EntryPoint.a, a plugin's _init object
        or a module's resources)."""
        if relative in self.file_owner:
            return self.file_owner[relative]
        named = re.search(r"^lib/libQt6(\w+)\.a$|objects-Release/(\w+?)_(?:init|resources_\d+)/",
                          relative)
        target = named and (named[1] or named[2])
        for kind in ("module", "plugin"):
            for suffix in ("", "Private"):
                if f"SPDXRef-Package-qtbase-qt-{kind}-{target}{suffix}" in self.packages:
                    return f"SPDXRef-Package-qtbase-qt-{kind}-{target}{suffix}"
        fail(f"Qt's bill of materials names no package for {relative}, which kiparano.exe links")

    def sources(self, package):
        """The third-party sources built into a Qt package: its attributions."""
        return sorted(b for a, relation, b in self.relations
                      if a == package and relation == "DEPENDS_ON" and "-3rdparty-sources-" in b)

    def licence_texts(self, package):
        """The texts of a package's licence: the files its attribution names, else Qt's own."""
        comment = dict(self.packages[package]).get("PackageComment", "")
        json_path = re.search(r"/src_dir/qtbase/(\S+qt_attribution\.json)", comment)
        index = re.search(r"Entry index: (\d+)", comment)
        if json_path:
            attribution = self.prefix / "attributions" / json_path[1]
            entries = json.loads(attribution.read_text(), strict=False)
            entry = entries[int(index[1]) if index else 0] if isinstance(entries, list) else entries
            names = entry.get("LicenseFiles") or [entry.get("LicenseFile")]
            return [(attribution.parent / n).read_text(errors="replace") for n in names if n]
        licence = dict(self.packages[package]).get("PackageLicenseConcluded", "")
        return [(self.prefix / "LICENSES" / f"{i}.txt").read_text()
                for i in re.findall(r"[\w.-]+", licence)
                if (self.prefix / "LICENSES" / f"{i}.txt").exists()]

    def copied(self, package, relation):
        """A Qt package as our document names it: its facts, none of its files."""
        keep = ("PackageName", "SPDXID", "PackageVersion", "PackageSupplier",
                "PackageDownloadLocation", "PackageLicenseConcluded", "PackageLicenseDeclared",
                "PackageCopyrightText", "ExternalRef", "PrimaryPackagePurpose", "PackageComment")
        stanza = [(t, text(v) if t in ("PackageCopyrightText", "PackageComment") else v)
                  for t, v in self.packages[package] if t in keep]
        stanza.insert(5, ("FilesAnalyzed", "false"))
        # Built from Debian's source of Qt, with Debian's patches: its package URL too.
        origin = (self.prefix / "debian-version").read_text().strip()
        return stanza + [
            ("PackageSourceInfo", text(f"Built from Debian's qt6-base {origin} source")),
            ("ExternalRef", f"PACKAGE-MANAGER purl pkg:deb/debian/qt6-base@{quote(origin)}"
                            "?arch=source"),
            ("Relationship", relation)]

    def licence_refs(self, stanzas_):
        """The other licences (LicenseRef-) that these stanzas name, from Qt's document."""
        named = set(re.findall(r"LicenseRef-[\w.-]+", str(stanzas_)))
        return [[(t, text(v) if t in ("ExtractedText", "LicenseComment") else v) for t, v in l]
                for l in self.licences if dict(l)["LicenseID"] in named]


def zip_():
    """The Windows zip: its files, what the link took into kiparano.exe, and the notices."""
    qt, staging = Qt(args.qt), Path(args.out)
    distro = subprocess.run(["sh", "-c", ". /etc/os-release && echo $VERSION_CODENAME"],
                            capture_output=True, text=True).stdout.strip()
    qt_files, debian_files = {}, {}
    for path in linked(args.map):
        if not os.path.isabs(path):
            continue  # ours, built here
        if Path(path).is_relative_to(qt.prefix):
            relative = os.path.relpath(path, qt.prefix)
            qt_files.setdefault(qt.owner(relative), []).append((qt.prefix, relative))
        else:
            debian_files.setdefault(owner(path), []).append((Path("/"), os.path.relpath(path, "/")))
    kiparano = ident("Package-kiparano")
    parts, notices = [], []
    for package, files in sorted(qt_files.items()):
        parts += [qt.copied(package, f"{kiparano} STATIC_LINK {package}")]
        parts += [shipped_file(root, path) for root, path in files]
        notices.append(notice(qt, package, qt.licence_texts(package) if "3rdparty" in package
                              else None))
        for source in qt.sources(package):
            parts.append(qt.copied(source, f"{package} CONTAINS {source}"))
            notices.append(notice(qt, source, qt.licence_texts(source)))
    packages = related((debian_files, "STATIC_LINK"), (tools(), "BUILD_TOOL_OF"))
    for package, files in sorted(debian_files.items()):
        parts.append(debian(package, *installed(package), distro, packages[package]))
        parts += [shipped_file(root, path) for root, path in files]
        notices.append(debian_notice(package))
    parts += [debian(p, *installed(p), distro, r) for p, r in sorted(packages.items())
              if p not in debian_files]
    shipped = sorted(p.relative_to(staging) for p in staging.iterdir() if p.name != "kiparano.spdx")
    files = [shipped_file(staging, path) for path in shipped]
    binary = our_binary(f"kiparano {args.version} for 64-bit Windows, as the zip holds it: "
                        "kiparano.exe, linked statically with Qt and the MinGW-w64 runtime, and "
                        "the texts beside it.", "APPLICATION", files)
    licences = qt.licence_refs(parts)
    (staging / "kiparano.spdx").write_text(document(
        f"kiparano-{args.version}-windows-x64",
        [binary, *files, fonts(), *parts, *ours(args.source), *licences]))
    (staging / "THIRD-PARTY-NOTICES.txt").write_text(NOTICES.format(version=args.version)
                                                     + "".join(notices))


NOTICES = """Third-party software in kiparano.exe {version}
==============================================

kiparano.exe holds, linked statically into it, the software named below: the parts of Qt and
of the third-party code that Qt builds in, and the runtime of the MinGW-w64 compiler. Each is
named with its version, its licence and its authors' copyright notices, followed by its
licence's text. kiparano.spdx lists the same parts for software that reads a bill of materials.

kiparano itself is under the MIT licence (LICENSE.txt); the fonts built into it, subsets of
Noto Sans CJK JP, are under the SIL Open Font Licence 1.1 (FONTS-LICENSE.txt).
"""


def notice(qt, package, texts):
    """A Qt package's notice: texts None for Qt's own modules, whose licence files lie beside."""
    fields = dict(qt.packages[package])
    name = re.search(r"Name: (.*)", fields.get("PackageComment", ""))
    heading = (f"{name[1] if name else 'Qt ' + fields['PackageName']} "
               f"{fields.get('PackageVersion', '')}").strip()
    body = [f"Licence: {fields.get('PackageLicenseConcluded')}",
            f"Copyright: {fields.get('PackageCopyrightText', 'NOASSERTION')}"]
    if texts is None:
        body.append("Used under the GNU LGPL version 3: Qt-LGPL-3.0.txt and Qt-GPL-3.0.txt.")
    return section(heading, package, body, texts or [])


def debian_notice(package):
    version, _ = installed(package)
    copyright_ = Path(f"/usr/share/doc/{package}/copyright").read_text(errors="replace")
    return section(f"{package} {version} (Debian's package)", ident("Package-deb", package),
                   ["Licence and copyright: Debian's copyright file of the package, below."],
                   [copyright_])


def section(heading, spdx_id, body, texts):
    rule = "=" * 96
    return (f"\n{rule}\n{heading}\n[{spdx_id}]\n{rule}\n\n" + "\n".join(body) + "\n"
            + "".join(f"\n{t.strip()}\n" for t in texts))


parser = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
parser.add_argument("kind", choices=["deb", "zip"])
parser.add_argument("--version", required=True)
parser.add_argument("--date", required=True, help="SOURCE_DATE_EPOCH")
parser.add_argument("--source", required=True, help="our source folder, for reuse spdx")
parser.add_argument("--staging", help="deb: the package's staging folder")
parser.add_argument("--binary", default="usr/bin/kiparano", help="deb: the program in it")
parser.add_argument("--depends", default="", help="deb: packages it loads at run time")
parser.add_argument("--tools", default="", help="the compiler, linker and rcc, by ;")
parser.add_argument("--qt", help="zip: the static Qt's prefix")
parser.add_argument("--map", help="zip: the linker's map of kiparano.exe")
parser.add_argument("--out", help="zip: the folder for kiparano.spdx and the notices")
args = parser.parse_args()
deb() if args.kind == "deb" else zip_()
