// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Start-up probe: opens either our window (KIPARANO_PROBE_OURS), a bare QWidget of the same
// size, or that QWidget with one QLabel of text (KIPARANO_PROBE_LABEL), and at its first painted
// frame prints the monotonic clock in nanoseconds and the peak memory (resident set, or working
// set on Windows) in kilobytes, then exits at once. The parent process subtracts its own clock
// reading taken just before it started this one.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#ifdef KIPARANO_PROBE_OURS
#include "desktop/platform.h"
#include "window/fonts.h"
#include "window/kiparano.h"
#endif

#include "system.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Report once the frame has been flushed, on the next turn of the loop.
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("%lld %ld\n",
                            static_cast<long long>(std::chrono::nanoseconds(now).count()),
                            peakMemoryKb());
                std::fflush(stdout);
                std::_Exit(0); // what the probe measures ends here, tearing down is not part of it
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char *argv[])
{
#ifdef KIPARANO_PROBE_OURS
    preparePlatform();
#endif
    QApplication app(argc, argv);
    FirstPaint probe;
#ifdef KIPARANO_PROBE_OURS
    fonts::install();
    kiparano window;
#else
    QWidget window;
    window.setFixedSize(421, 279);
#ifdef KIPARANO_PROBE_LABEL
    QLabel label(QStringLiteral("Numbers3"), &window);
#endif
#endif
    window.installEventFilter(&probe);
    window.show();
    return app.exec();
}
