// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Runs Numbers 3 at its real pace while the wall clock crosses midnight and then jumps back an
// hour (libfaketime, driven through its timestamp file: see tests/CMakeLists.txt). The run must
// keep its pace: waits are measured on the monotonic clock, which neither touches.

#include "window/kiparano.h"

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTime>
#include <QTimer>

#include <chrono>

namespace {

void setWallClockOffset(qint64 seconds)
{
    QFile file(qEnvironmentVariable("FAKETIME_TIMESTAMP_FILE"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::number(seconds).prepend(seconds < 0 ? "" : "+"));
}

} // namespace

class TestWallClock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void paceSurvivesMidnightAndABackwardJump()
    {
        if (!qEnvironmentVariableIsSet("FAKETIME_TIMESTAMP_FILE"))
            QSKIP("needs libfaketime");
        // Put the wall clock one to two seconds before midnight.
        setWallClockOffset(0);
        const qint64 toMidnight =
            (QTime::currentTime().msecsTo(QTime(23, 59, 59)) + 999) / 1000 - 1;
        setWallClockOffset(toMidnight);
        const QTime before = QTime::currentTime();
        QVERIFY2(before >= QTime(23, 59, 57, 900), qPrintable(before.toString(u"hh:mm:ss.zzz")));

        kiparano w;
        QTime afterMidnight;
        QTimer::singleShot(2200, &w, [&] {
            afterMidnight = QTime::currentTime();
            setWallClockOffset(toMidnight - 3600); // back an hour, to before midnight again
        });
        const auto start = std::chrono::steady_clock::now();
        w.findChild<QPushButton *>(QStringLiteral("Numbers3"))->click();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const QTime after = QTime::currentTime();

        QVERIFY2(afterMidnight < QTime(0, 1), qPrintable(afterMidnight.toString())); // crossed
        QVERIFY2(after > QTime(22, 0) && after < before,
                 qPrintable(after.toString())); // jumped back
        QVERIFY2(seconds >= 2.46 && seconds < 2.46 + 0.5, qPrintable(QString::number(seconds)));
    }
};

QTEST_MAIN(TestWallClock)
#include "tst_wallclock.moc"
