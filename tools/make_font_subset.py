#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
"""Cuts our embedded fonts out of Debian's Noto Sans CJK (package fonts-noto-cjk).

Kiparano Gothic (Regular, Bold): Noto Sans CJK JP with printable ASCII and every other
character that appears in the program's sources under core/, games/ and window/, so every text the
program writes has its glyphs. Kiparano Mono (Bold): the digits of Noto Sans Mono CJK JP,
for the number boxes.

Kana and punctuation take their proportional widths (the face's 'palt' adjustments, made the
default), as in the classic proportional Japanese UI fonts. The subsets get a family name of their own so they never collide with a system copy of
Noto, and line metrics of one em (880 up, 120 down), the ideographic box of the face, so two
lines of status text fit the status line the way the classic Japanese UI fonts do.

Run with Debian's Python (fontTools comes from python3-fonttools):
    /usr/bin/python3 tools/make_font_subset.py
"""

import pathlib
import sys

from fontTools import subset
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.transformPen import TransformPen
from fontTools.ttLib import TTCollection

ROOT = pathlib.Path(__file__).resolve().parent.parent
NOTO = pathlib.Path("/usr/share/fonts/opentype/noto")
OUT = ROOT / "assets" / "fonts"


def program_characters():
    # Printable ASCII and the Latin-1 letters: fontconfig then counts the face as one for
    # English, and Qt shares one engine of it between the scripts of a text instead of
    # loading one per script.
    chars = {chr(c) for c in (*range(0x20, 0x7F), *range(0xC0, 0x100))}
    for folder in ("core", "games", "window"):
        for source in sorted((ROOT / folder).glob("*.cpp")):
            chars.update(ch for ch in source.read_text(encoding="utf-8") if ord(ch) >= 0x80)
    return "".join(sorted(chars))


def face(weight, family):
    for font in TTCollection(str(NOTO / f"NotoSansCJK-{weight}.ttc")).fonts:
        if font["name"].getDebugName(1) == family:
            return font
    sys.exit(f"{family} {weight} not found in {NOTO}")


def rename(font, family, style):
    postscript = f"{family.replace(' ', '')}-{style}"
    name = font["name"]
    for record in list(name.names):
        if record.nameID in (16, 17, 21, 22):
            name.removeNames(nameID=record.nameID)
    for name_id, value in ((1, family), (2, style), (3, f"{postscript};subset"),
                           (4, f"{family} {style}"), (6, postscript)):
        name.setName(value, name_id, 3, 1, 0x409)
        name.setName(value, name_id, 1, 0, 0)
    cff = font["CFF "].cff
    cff.fontNames = [postscript]
    top = cff.topDictIndex[0]
    top.FullName = f"{family} {style}"
    top.FamilyName = family


def palt_values(font):
    """Glyph name -> (x placement, x advance) of the 'palt' feature."""
    gpos = font["GPOS"].table
    indices = {i for record in gpos.FeatureList.FeatureRecord if record.FeatureTag == "palt"
               for i in record.Feature.LookupListIndex}
    values = {}
    for index in sorted(indices):
        lookup = gpos.LookupList.Lookup[index]
        assert lookup.LookupType == 1, "palt is expected as single adjustments"
        for table in lookup.SubTable:
            glyphs = table.Coverage.glyphs
            records = [table.Value] * len(glyphs) if table.Format == 1 else table.Value
            for glyph, record in zip(glyphs, records):
                values.setdefault(glyph, (getattr(record, "XPlacement", 0) or 0,
                                          getattr(record, "XAdvance", 0) or 0))
    return values


def bake_proportional(font):
    """Makes the proportional kana and punctuation the default glyphs.

    Shapers apply 'palt' only on request and Qt cannot request it, so the adjustments go into
    the outlines and advances, and the feature is dropped.
    """
    cff = font["CFF "].cff
    top = cff.topDictIndex[0]
    charstrings = top.CharStrings
    glyphset = font.getGlyphSet()
    for glyph, (dx, dadv) in palt_values(font).items():
        if glyph not in charstrings:
            continue
        advance, lsb = font["hmtx"][glyph]
        old = charstrings[glyph]
        pen = T2CharStringPen(advance + dadv, glyphset)
        glyphset[glyph].draw(TransformPen(pen, (1, 0, 0, 1, dx, 0)))
        fd = old.private
        new = pen.getCharString(private=fd, globalSubrs=old.globalSubrs)
        new.fdSelectIndex = getattr(old, "fdSelectIndex", None)
        charstrings[glyph] = new
        font["hmtx"][glyph] = (advance + dadv, lsb + dx)
    gpos = font["GPOS"].table
    for record in gpos.FeatureList.FeatureRecord:
        if record.FeatureTag == "palt":
            record.Feature.LookupListIndex = []
            record.Feature.LookupCount = 0


def one_em_lines(font):
    hhea, os2 = font["hhea"], font["OS/2"]
    hhea.ascent, hhea.descent, hhea.lineGap = 880, -120, 0
    os2.sTypoAscender, os2.sTypoDescender, os2.sTypoLineGap = 880, -120, 0
    os2.usWinAscent, os2.usWinDescent = 880, 120


def make(source_family, weight, family, text, out_name):
    font = face(weight, source_family)
    options = subset.Options()
    options.name_IDs = [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14]
    options.layout_features = ["kern", "palt", "liga"] if "Mono" not in source_family else []
    options.notdef_outline = True
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=text)
    subsetter.subset(font)
    rename(font, family, weight)
    if "Mono" not in source_family:
        bake_proportional(font)
    one_em_lines(font)
    font.recalcTimestamp = False  # same input, same file
    font.save(str(OUT / out_name))
    print(f"{out_name}: {len(text)} characters, {(OUT / out_name).stat().st_size} bytes")


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    text = program_characters()
    make("Noto Sans CJK JP", "Regular", "Kiparano Gothic", text, "KiparanoGothic-Regular.otf")
    make("Noto Sans CJK JP", "Bold", "Kiparano Gothic", text, "KiparanoGothic-Bold.otf")
    make("Noto Sans Mono CJK JP", "Bold", "Kiparano Mono", "0123456789", "KiparanoMono-Bold.otf")


if __name__ == "__main__":
    main()
