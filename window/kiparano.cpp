// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "kiparano.h"

#include "desktop/desktop.h"
#include "fonts.h"
#include "games/games.h"

#include <QAction>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QResource>
#include <QShortcut>
#include <QStaticText>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <QtEndian>

#include <chrono>

using namespace std::chrono;

namespace {

// The design is laid out at 96 dpi: 15 twips to the pixel.
constexpr QSize clientSize(421, 279);

struct LabelDesign {
    QRect geometry;
    Qt::Alignment alignment;
};

// Label1 to Label9, in pixels.
constexpr std::array<LabelDesign, 9> labelDesigns = {{
    {{40, 56, 36, 28}, Qt::AlignCenter},
    {{120, 48, 36, 28}, Qt::AlignCenter},
    {{184, 56, 36, 28}, Qt::AlignCenter},
    {{120, 144, 36, 28}, Qt::AlignCenter},
    {{48, 120, 36, 28}, Qt::AlignCenter},
    {{184, 128, 36, 28}, Qt::AlignCenter},
    {{256, 48, 169, 33}, Qt::AlignCenter},
    {{184, 0, 257, 33}, Qt::AlignCenter},
    {{24, 264, 369, 17}, Qt::AlignLeft | Qt::AlignVCenter},
}};

// A number box. It shows at most the numbers 0 to 43 but changes up to a hundred times a second,
// so each of its texts is laid out once, as Qt's static text, rather than at every repaint:
// that layout was a quarter of the processor time of a run.
class NumberBox : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (text().isEmpty())
            return;
        QStaticText &laidOut = m_laidOut[text()]; // laid out when first drawn
        if (laidOut.text().isEmpty()) {
            laidOut.setText(text());
            laidOut.setTextFormat(Qt::PlainText);
        }
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.setFont(font());
        const QSizeF size = laidOut.size();
        painter.drawStaticText(
            QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), laidOut);
    }

private:
    QHash<QString, QStaticText> m_laidOut;
};

QLabel *makeLabel(QWidget *parent, int number)
{
    const LabelDesign &design = labelDesigns[number - 1];
    QLabel *label = number <= 6 ? new NumberBox(parent) : new QLabel(parent);
    label->setObjectName(QStringLiteral("Label%1").arg(number));
    label->setGeometry(design.geometry);
    // Fixed in size, a label whose text changes does not ask its window for a new layout.
    label->setFixedSize(design.geometry.size());
    label->setAlignment(design.alignment);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &text, int left)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFont(fonts::covering(button->font(), text));
    button->setGeometry(left, 232, 73, 25);
    button->setAutoDefault(false);
    return button;
}

// The background pictures are uncompressed 24-bit bitmaps. Their pixels are copied straight
// into the window's pixel format: an image reader would first look through every image format
// plugin and then convert pixel by pixel in a general way, which costs start-up ten times as
// much. A bitmap of any other kind goes to the image reader.
QPixmap bitmap(const QString &path, qreal ratio)
{
    const QByteArray data = QResource(path).uncompressedData();
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const auto field = [&](int at) { return qFromLittleEndian<quint32>(bytes + at); };
    const bool plain = data.size() >= 54 && data.startsWith("BM") && field(14) >= 40 &&
                       qFromLittleEndian<quint16>(bytes + 28) == 24 && field(30) == 0;
    const int width = plain ? int(field(18)) : 0, height = plain ? int(field(22)) : 0;
    const qsizetype stride = (qsizetype(width) * 3 + 3) & ~3; // rows padded to 4 bytes
    if (width <= 0 || height <= 0 || field(10) + stride * height > data.size())
        return QPixmap(path);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uchar *in = bytes + field(10) + stride * (height - 1 - y); // stored bottom-up
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(std::move(image));
}

void setTextColor(QLabel *label, QColor color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

kiparano::kiparano(QWidget *parent)
    : QWidget(parent),
      m_waits(new Waits(this)),
      m_bell(new Bell(this)),
      m_announcer(this)
{
    setObjectName(QStringLiteral("kiparano"));
    m_bell->setObjectName(QStringLiteral("bell"));
    setWindowTitle(QStringLiteral(u"ミヴォレタ★"));
    setFixedSize(clientSize);

    // Created in tab order: only the buttons take focus.
    QPushButton *miniroto =
        makeButton(this, QStringLiteral("miniroto"), QStringLiteral(u"ミニロト"), 48);
    const QFont numberFont = fonts::numberBox();
    for (int k = 1; k <= 6; ++k) {
        QLabel *numberBox = m_labels[k - 1] = makeLabel(this, k);
        numberBox->setFont(numberFont);
        numberBox->setAutoFillBackground(true); // window colour, window-text colour
        numberBox->setAccessibleDescription(QStringLiteral(u"%1番目の数字").arg(k));
    }
    QPushButton *roto6 = makeButton(this, QStringLiteral("roto6"), QStringLiteral(u"ロト6"), 128);
    QPushButton *numbers3 =
        makeButton(this, QStringLiteral("Numbers3"), QStringLiteral("Numbers3"), 208);
    QPushButton *numbers4 =
        makeButton(this, QStringLiteral("Numbers4"), QStringLiteral("Numbers4"), 288);
    for (int k = 7; k <= 9; ++k)
        m_labels[k - 1] = makeLabel(this, k);

    QLabel *status = m_labels[6];
    status->setFont(fonts::status());
    setTextColor(status, QColor(64, 64, 64));
    QLabel *title = m_labels[7];
    title->setFont(fonts::title());
    setTextColor(title, QColor(192, 64, 0));
    QLabel *address = m_labels[8];
    address->setText(QStringLiteral("https://www.example.com/kiparano/"));
    const QString invitation = QStringLiteral(u"WEBサイトでご感想などをぜひ聞かせてください。");
    address->setToolTip(invitation);
    QToolTip::setFont(fonts::covering(QToolTip::font(), invitation));
    setTextColor(address, QColor(64, 64, 64));

    setTabOrder(miniroto, roto6);
    setTabOrder(roto6, numbers3);
    setTabOrder(numbers3, numbers4);
    miniroto->setFocus();

    // Mini Loto's button is element 0 of its group; the group reports the index.
    auto *minirotoGroup = new QButtonGroup(this);
    minirotoGroup->setObjectName(QStringLiteral("miniroto"));
    minirotoGroup->setExclusive(false);
    minirotoGroup->addButton(miniroto, 0);
    connect(minirotoGroup, &QButtonGroup::idClicked, this,
            [this](int index) { run([index](Surface &s) { miniroto_Click(s, qint16(index)); }); });
    connect(roto6, &QPushButton::clicked, this, [this] { run(roto6_Click); });
    connect(numbers3, &QPushButton::clicked, this, [this] { run(Numbers3_Click); });
    connect(numbers4, &QPushButton::clicked, this, [this] { run(Numbers4_Click); });

    // The proposals that ran to their end, copied as plain text: the last one (also by the
    // platform's copy key), or all of them, oldest first, one a line. Both are off until a
    // run ends. The menu pops up without a loop of its own, so that a run goes on at its pace
    // while it is open.
    m_menu = new QMenu(this);
    m_copyLast = new QAction(QStringLiteral(u"最後の予想をコピー"), this);
    m_copyLast->setShortcut(QKeySequence::Copy);
    m_copyAll = new QAction(QStringLiteral(u"これまでの予想をすべてコピー"), this);
    const auto copy = [](const QString &text) { QGuiApplication::clipboard()->setText(text); };
    connect(m_copyLast, &QAction::triggered, this,
            [this, copy] { copy(m_proposals.value(m_proposals.size() - 1)); });
    connect(m_copyAll, &QAction::triggered, this, [this, copy] { copy(m_proposals.join(u'\n')); });
    m_menu->addActions({m_copyLast, m_copyAll});
    addAction(m_copyLast); // its shortcut, while the menu is closed
    for (QAction *action : {m_copyLast, m_copyAll})
        action->setEnabled(false);
    m_menu->setFont(fonts::covering(m_menu->font(), m_copyLast->text() + m_copyAll->text()));
    // Shift+F10 opens it too, as on Windows, where the system itself also sends it as a context
    // menu event (the menu then pops up once more, where it is).
    auto *menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QWidget *at = focusWidget() ? focusWidget() : this;
        m_menu->popup(at->mapToGlobal(at->rect().center()));
    });

    Form_Load();
}

kiparano::~kiparano() = default; // the waits, the window's child, cancel every run as they go

void kiparano::Form_Load()
{
    setText(Label::Label8, QStringLiteral(u"トゥミカ"));
    setText(Label::Label7, QStringLiteral(u"下のボタンをクリック!"));
    m_rnd.seed(static_cast<std::uint64_t>(system_clock::now().time_since_epoch().count()));
}

void kiparano::setText(Label label, const QString &text)
{
    const int number = static_cast<int>(label);
    m_labels[number - 1]->setText(text);
    if (!m_runs.empty()) { // always the innermost run's write
        Run &run = m_runs.back();
        if (label == Label::Label8)
            run.title = text;
        else if (number <= 6 && !text.isEmpty())
            run.boxes = std::max(run.boxes, number);
    }
    Q_EMIT textWritten(number, text);
}

void kiparano::beep()
{
    m_bell->ring();
    Q_EMIT beeped();
}

void kiparano::wait(double seconds)
{
    if (!m_waits->wait(duration_cast<nanoseconds>(duration<double>(seconds * m_timeScale))))
        throw RunCancelled{}; // closed, or gone: touch nothing of it
}

template <typename Handler>
void kiparano::run(Handler handler)
{
    if (m_waits->cancelled() || runDepth() >= maxNestedRuns)
        return;
    QPointer<kiparano> self(this);
    m_runs.emplace_back();
    try {
        handler(static_cast<Surface &>(*this));
        announceEnd(); // ended with its final message and bell; no wait since, so not closed
    } catch (const RunCancelled &) {
        // The window was closed during the run: nothing more to show.
    }
    if (self)
        m_runs.pop_back();
}

void kiparano::announceEnd()
{
    // The run's own title: a run nested in it may have left its title in Label8.
    const Run &run = m_runs.back();
    QStringList words{run.title};
    for (int k = 1; k <= run.boxes; ++k)
        words << m_labels[k - 1]->text();
    m_proposals << words.join(u' ');
    for (QAction *action : {m_copyLast, m_copyAll})
        action->setEnabled(true);
    m_announcer.announce(runDepth() - 1, m_proposals.constLast() + u' ' + m_labels[6]->text());
}

void kiparano::paintEvent(QPaintEvent *event)
{
    // The icon is set once the first frame is painted: reading it starts Qt's image plugins,
    // which would hold the window up, and a window manager takes an icon whenever it comes.
    if (m_background.isNull() && windowIcon().isNull())
        QMetaObject::invokeMethod(
            this, [this] { setWindowIcon(QIcon(QStringLiteral(":/assets/kiparano.ico"))); },
            Qt::QueuedConnection);
    // The picture drawn at twice the size serves high-density screens; it is read only there.
    const bool dense = devicePixelRatio() > 1.0;
    if (m_background.isNull() || (m_background.devicePixelRatio() > 1.0) != dense)
        m_background = dense ? bitmap(QStringLiteral(":/assets/background@2x.bmp"), 2)
                             : bitmap(QStringLiteral(":/assets/background.bmp"), 1);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform); // at ratios other than 1 and 2
    const QRect area = event->rect();
    const qreal ratio = m_background.devicePixelRatio();
    painter.drawPixmap(area, m_background,
                       QRectF(area.topLeft() * ratio, area.size() * ratio).toRect());
}

void kiparano::closeEvent(QCloseEvent *event)
{
    m_waits->cancel();
    if (holdCloseForFrame()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// Qt 6.4's Wayland plugin (Debian 12's) destroys a window's pending frame callback when the
// window is hidden, without the lock under which its event thread destroys the same callback as
// it fires: hidden while a frame is in flight, as during a run, the window can abort the program
// in libwayland (Qt 6.5 takes the lock). There the close paints nothing more and waits for the
// frame to land: the update it requests comes only then, or after as long as Qt itself waits
// for a frame before it takes the window as unexposed.
bool kiparano::holdCloseForFrame()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    if (m_frameHold != FrameHold::None)
        return m_frameHold == FrameHold::Waiting;
    QWindow *window = windowHandle();
    if (!window || !isVisible() || !QGuiApplication::platformName().startsWith(u"wayland"))
        return false;
    m_frameHold = FrameHold::Waiting;
    setUpdatesEnabled(false);
    window->installEventFilter(this);
    window->requestUpdate();
    QTimer::singleShot(100ms, this, &kiparano::frameLanded);
    return true;
#else
    return false;
#endif
}

void kiparano::frameLanded()
{
    if (m_frameHold != FrameHold::Waiting)
        return;
    if (QWindow *window = windowHandle())
        window->removeEventFilter(this);
    m_frameHold = FrameHold::Landed;
    close();
    m_frameHold = FrameHold::None;
    setUpdatesEnabled(true);
}

bool kiparano::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest && m_frameHold == FrameHold::Waiting)
        QMetaObject::invokeMethod(this, &kiparano::frameLanded, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void kiparano::contextMenuEvent(QContextMenuEvent *event)
{
    m_menu->popup(event->globalPos());
}
