// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Draws the window's pictures: the background (425 x 283, 24-bit uncompressed BMP, and the same
// drawing at twice the size for high-density screens) and the window icon (32 x 32, 8-bit ICO,
// PNG renderings at 32 to 256 pixels for the desktop's icon theme, and the Windows program's
// icon with every size Explorer shows, 16 to 256 pixels).
// Usage: makeassets OUTPUT_DIR
//
// The background is drawn around the window's layout: six round white cakes on a grill where
// the six number boxes lie, and a baker with an empty speech balloon where the status line
// lies. Run it after changing the drawing and commit the files it writes.

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtEndian>

#include <cstdio>

namespace {

// Centres of the number boxes Label1 to Label6 in window pixels.
constexpr QPointF cakeCentres[] = {{58, 70},   {138, 62}, {202, 70},
                                   {138, 158}, {66, 134}, {202, 142}};

void drawCake(QPainter &p, QPointF centre, double radius)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 40, 30, 90)); // shadow on the bars
    p.drawEllipse(centre + QPointF(2, 3), radius, radius);
    QRadialGradient body(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    body.setColorAt(0, QColor(255, 255, 255));
    body.setColorAt(0.7, QColor(250, 248, 240));
    body.setColorAt(1, QColor(226, 214, 190));
    p.setBrush(body);
    p.setPen(QPen(QColor(200, 170, 120), 1.5));
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(215, 160, 90, 120), 2)); // toasted marks from the grill
    for (double dy : {-radius / 2.2, radius / 2.2})
        p.drawLine(centre + QPointF(-radius * 0.75, dy), centre + QPointF(-radius * 0.45, dy));
}

void drawGrill(QPainter &p)
{
    const QRectF frame(14, 22, 234, 182);
    p.setPen(QPen(QColor(70, 55, 50), 3));
    QLinearGradient coals(frame.topLeft(), frame.bottomLeft());
    coals.setColorAt(0, QColor(120, 50, 30));
    coals.setColorAt(1, QColor(200, 80, 30));
    p.setBrush(coals);
    p.drawRoundedRect(frame, 10, 10);
    p.setPen(QPen(QColor(90, 90, 95), 3, Qt::SolidLine, Qt::RoundCap));
    for (double y = frame.top() + 12; y < frame.bottom() - 6; y += 14)
        p.drawLine(QPointF(frame.left() + 8, y), QPointF(frame.right() - 8, y));
    p.setPen(QPen(QColor(60, 60, 65), 4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(frame.adjusted(3, 3, -3, -3), 8, 8);
}

void drawBalloon(QPainter &p)
{
    QPainterPath balloon;
    balloon.addRoundedRect(QRectF(250, 38, 172, 54), 18, 18);
    QPainterPath tail;
    tail.moveTo(318, 88);
    tail.lineTo(334, 88);
    tail.lineTo(322, 112);
    tail.closeSubpath();
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(Qt::white);
    p.drawPath(balloon.united(tail));
}

void drawBaker(QPainter &p)
{
    const QPointF head(338, 152);
    p.setPen(QPen(QColor(70, 50, 40), 2));
    p.setBrush(QColor(250, 250, 250)); // coat
    p.drawRoundedRect(QRectF(306, 178, 64, 44), 18, 18);
    p.setBrush(QColor(255, 224, 196)); // face and hands
    p.drawEllipse(head, 30, 28);
    p.drawEllipse(QPointF(302, 200), 8, 8);
    p.drawEllipse(QPointF(374, 200), 8, 8);
    p.setBrush(Qt::white); // hat
    p.drawEllipse(QPointF(322, 118), 13, 12);
    p.drawEllipse(QPointF(338, 112), 15, 14);
    p.drawEllipse(QPointF(354, 118), 13, 12);
    p.drawRect(QRectF(318, 118, 40, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 40, 40)); // eyes
    p.drawEllipse(head + QPointF(-10, -2), 3.2, 4);
    p.drawEllipse(head + QPointF(10, -2), 3.2, 4);
    p.setBrush(QColor(255, 150, 150, 160)); // cheeks
    p.drawEllipse(head + QPointF(-18, 8), 5, 3.5);
    p.drawEllipse(head + QPointF(18, 8), 5, 3.5);
    p.setPen(QPen(QColor(120, 50, 40), 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(head.x() - 8, head.y() + 1, 16, 12), 200 * 16, 140 * 16); // smile
    p.setPen(QPen(QColor(210, 60, 40), 3));                                    // neckerchief
    p.drawLine(QPointF(326, 181), QPointF(350, 181));
}

void paintBackground(QPainter &p)
{
    QLinearGradient sky(0, 0, 0, 283);
    sky.setColorAt(0, QColor(255, 246, 214));
    sky.setColorAt(1, QColor(255, 226, 170));
    p.fillRect(QRectF(0, 0, 425, 283), sky);
    p.fillRect(QRectF(0, 222, 425, 61), QColor(240, 214, 170)); // counter under the buttons
    p.setPen(QPen(QColor(200, 160, 110), 2));
    p.drawLine(QPointF(0, 222), QPointF(425, 222));
    drawGrill(p);
    for (QPointF centre : cakeCentres)
        drawCake(p, centre, 29);
    drawBalloon(p);
    drawBaker(p);
}

void paintIcon(QPainter &p)
{
    p.setPen(QPen(QColor(60, 60, 65), 2));
    p.setBrush(QColor(200, 80, 30));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    drawCake(p, QPointF(16, 16), 11);
}

void put16(QByteArray &out, quint16 v)
{
    out.append(reinterpret_cast<const char *>(&(v = qToLittleEndian(v))), 2);
}
void put32(QByteArray &out, quint32 v)
{
    out.append(reinterpret_cast<const char *>(&(v = qToLittleEndian(v))), 4);
}

void putInfoHeader(QByteArray &out, int width, int height, int bits, quint32 imageSize, int colours)
{
    put32(out, 40);
    put32(out, quint32(width));
    put32(out, quint32(height));
    put16(out, 1);
    put16(out, quint16(bits));
    put32(out, 0); // BI_RGB, uncompressed
    put32(out, imageSize);
    put32(out, 3780); // 96 dpi in pixels per metre
    put32(out, 3780);
    put32(out, quint32(colours));
    put32(out, 0);
}

// 24-bit bottom-up DIB file, two bytes of trailing padding as classic paint programs write.
QByteArray bmp24(const QImage &image)
{
    const int rowSize = (image.width() * 3 + 3) & ~3;
    const quint32 imageSize = quint32(rowSize * image.height() + 2);
    QByteArray out;
    out.append("BM");
    put32(out, 14 + 40 + imageSize);
    put32(out, 0);
    put32(out, 14 + 40);
    putInfoHeader(out, image.width(), image.height(), 24, imageSize, 0);
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row(rowSize, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row[3 * x] = char(qBlue(c));
            row[3 * x + 1] = char(qGreen(c));
            row[3 * x + 2] = char(qRed(c));
        }
        out.append(row);
    }
    out.append(2, '\0');
    return out;
}

// An ICO image's mask: one bit a pixel, set where it is transparent, rows padded to 32 bits.
void appendMask(QByteArray &out, const QImage &argb)
{
    const int maskRow = ((argb.width() + 31) / 32) * 4;
    for (int y = argb.height() - 1; y >= 0; --y) {
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
}

// An ICO file of the given images, each with its entry in the file's directory.
QByteArray ico(const QList<QByteArray> &images, const QList<QImage> &pictures, int bits)
{
    QByteArray out;
    put16(out, 0);
    put16(out, 1); // icon
    put16(out, quint16(images.size()));
    quint32 offset = quint32(6 + 16 * images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        out.append(char(pictures[i].width() % 256)); // 0 is 256
        out.append(char(pictures[i].height() % 256));
        out.append(char(0)); // colours in a palette: none, or 256
        out.append(char(0));
        put16(out, 1);
        put16(out, quint16(bits));
        put32(out, quint32(images[i].size()));
        put32(out, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray &image : images)
        out.append(image);
    return out;
}

// The window's icon: one 8-bit image.
QByteArray ico8(const QImage &argb)
{
    const QImage opaque = argb.convertToFormat(QImage::Format_RGB32);
    QImage indexed = opaque.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QList<QRgb> palette = indexed.colorTable();
    palette.resize(256, qRgb(0, 0, 0));
    const int w = argb.width(), h = argb.height();
    const int maskRow = ((w + 31) / 32) * 4;

    QByteArray image;
    putInfoHeader(image, w, 2 * h, 8, quint32(w * h + maskRow * h), 256);
    for (QRgb c : palette) {
        image.append(char(qBlue(c)));
        image.append(char(qGreen(c)));
        image.append(char(qRed(c)));
        image.append(char(0));
    }
    for (int y = h - 1; y >= 0; --y)
        image.append(reinterpret_cast<const char *>(indexed.constScanLine(y)), w);
    appendMask(image, argb);
    return ico({image}, {argb}, 8);
}

// The program's icon for Windows: 32-bit images with their alpha, the largest as a PNG.
QByteArray ico32(const QList<QImage> &pictures)
{
    QList<QByteArray> images;
    for (const QImage &argb : pictures) {
        QByteArray image;
        if (argb.width() >= 256) {
            QBuffer buffer(&image);
            argb.save(&buffer, "PNG");
        } else {
            const int w = argb.width(), h = argb.height();
            putInfoHeader(image, w, 2 * h, 32, quint32(w * h * 4 + ((w + 31) / 32) * 4 * h), 0);
            for (int y = h - 1; y >= 0; --y)
                for (int x = 0; x < w; ++x) {
                    const QRgb c = argb.pixel(x, y);
                    image.append(char(qBlue(c))).append(char(qGreen(c)));
                    image.append(char(qRed(c))).append(char(qAlpha(c)));
                }
            appendMask(image, argb);
        }
        images.append(image);
    }
    return ico(images, pictures, 32);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // draws into images only
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeassets OUTPUT_DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));

    bool ok = true;
    for (int scale : {1, 2}) {
        QImage background(425 * scale, 283 * scale, QImage::Format_RGB32);
        QPainter p(&background);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        paintBackground(p);
        p.end();
        const QString name =
            scale == 1 ? QStringLiteral("background.bmp") : QStringLiteral("background@2x.bmp");
        ok = ok && writeFile(dir.filePath(name), bmp24(background));
    }
    QList<QImage> sizes;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        paintIcon(p);
        p.end();
        sizes.append(icon);
        if (size == 32)
            ok = ok && writeFile(dir.filePath(QStringLiteral("kiparano.ico")), ico8(icon));
        dir.mkpath(QStringLiteral("icons"));
        if (size >= 32)
            ok = ok && icon.save(dir.filePath(QStringLiteral("icons/%1.png").arg(size)));
    }
    ok = ok && writeFile(dir.filePath(QStringLiteral("kiparano-windows.ico")), ico32(sizes));
    return ok ? 0 : 1;
}
