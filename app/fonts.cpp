#include "fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace fonts {

namespace {

// Sizes in pixels at the design's 96 dpi, like the layout: 12 pt is 16 px, 9.75 pt is 13 px
// and 15.75 pt is 21 px.
QFont gothic(int pixelSize, QFont::Weight weight)
{
    QFont font;
    font.setFamilies({QStringLiteral(u"ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      japaneseFamily()});
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

    // Resolve the platform's default first: a generic name such as "Sans Serif" would not
    // match in a list of families, and ours would take over the Latin text too.
    QFont font = QApplication::font();
    font.setFamilies({QFontInfo(font).family(), japaneseFamily()});
    QApplication::setFont(font);
}

QFont numberBox()
{
    QFont font;
    font.setFamilies({QStringLiteral("Terminal"), monoFamily()});
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
