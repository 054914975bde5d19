// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QRawFont>
#include <QStringList>

#include <algorithm>

namespace fonts {

namespace {

// The named faces that this system has, then ours. A missing family is left out rather than
// left to the font database, which would ask the system for its fallbacks: slow at start-up.
// The database's own list says which are there; QFontDatabase::hasFamily would first have
// fontconfig substitute each name: 0.8 M instructions a name at start-up.
QStringList present(std::initializer_list<QString> named, const QString &ours)
{
    static const QStringList installed = QFontDatabase::families();
    QStringList families;
    for (const QString &family : named)
        if (installed.contains(family, Qt::CaseInsensitive))
            families.append(family);
    families.append(ours);
    return families;
}

// Sizes are in pixels at the design's 96 dpi, like the layout: 12 pt is 16 px, 9.75 pt is
// 13 px and 15.75 pt is 21 px.
QFont gothic(int pixelSize, QFont::Weight weight)
{
    // The title and the status line share one lookup.
    static const QStringList families = present(
        {QStringLiteral(u"ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")}, japaneseFamily());
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

} // namespace

void install()
{
    for (const char *file : {":/fonts/KiparanoGothic-Regular.otf",
                             ":/fonts/KiparanoGothic-Bold.otf", ":/fonts/KiparanoMono-Bold.otf"})
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
}

QFont covering(const QFont &font, const QString &text)
{
    const QRawFont face = QRawFont::fromFont(font);
    if (std::all_of(text.begin(), text.end(), [&](QChar ch) { return face.supportsCharacter(ch); }))
        return font;
    QFont japanese = font;
    japanese.setFamilies({japaneseFamily()});
    return japanese;
}

QFont numberBox()
{
    QFont font;
    font.setFamilies(present({QStringLiteral("Terminal")}, monoFamily()));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(16);
    font.setWeight(QFont::Bold);
    return font;
}

QFont status()
{
    return gothic(13, QFont::Normal);
}

QFont title()
{
    return gothic(21, QFont::Bold);
}

} // namespace fonts
