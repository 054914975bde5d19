// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The bell against a real PulseAudio server (scripts/with-service.sh), recording its null sink
// "kiparano" while a real window runs; with no server; with event sounds switched off.

#include "window/bell.h"
#include "window/kiparano.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QtEndian>

namespace {

// Records the sink's monitor: the times, on the monotonic clock in ms, at which a sound began.
struct Recorder {
    Recorder()
    {
        parec.start(u"parec"_qs,
                    {u"-dkiparano.monitor"_qs, u"--raw"_qs, u"--rate=8000"_qs, u"--format=s16le"_qs,
                     u"--channels=1"_qs, u"--latency-msec=10"_qs});
        QObject::connect(&parec, &QProcess::readyReadStandardOutput, [this] {
            data += parec.readAllStandardOutput();
            bool loud = false;
            for (qsizetype i = 0; i + 1 < data.size(); i += 2)
                loud |= std::abs(qFromLittleEndian<qint16>(data.constData() + i)) > 300;
            data = data.right(data.size() % 2);
            if (loud && QDeadlineTimer::current().deadline() - lastLoud > 200)
                onsets << QDeadlineTimer::current().deadline();
            lastLoud = loud ? QDeadlineTimer::current().deadline() : lastLoud;
            flowing = true;
        });
        // The monitor delivers from a moment after the recorder connects.
        flowing = QTest::qWaitFor([this] { return flowing; }, 10000);
    }
    ~Recorder() { parec.kill(), parec.waitForFinished(); }

    QProcess parec;
    QByteArray data;
    QList<qint64> onsets;
    qint64 lastLoud = -1000;
    bool flowing = false;
};

// How a ring of a new bell sounds.
Bell::Way ring()
{
    Bell bell;
    QSignalSpy rang(&bell, &Bell::rang);
    bell.ring();
    return rang.wait() ? rang.at(0).at(0).value<Bell::Way>() : Bell::Way(-1);
}

} // namespace

class TestBell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each Numbers 3 run ends with one bell sound, starting soon after its final message; a
    // run cut short by the close rings none.
    void oneSoundPerRun()
    {
        Recorder recorder;
        QVERIFY2(recorder.flowing, "no sound server to record: run under with-service.sh");
        kiparano w;
        w.setTimeScale(0.02);
        QList<qint64> finalMessages;
        qint64 status = 0;
        connect(&w, &kiparano::textWritten, &w,
                [&](int k) { status = k == 7 ? QDeadlineTimer::current().deadline() : status; });
        connect(&w, &kiparano::beeped, &w, [&] { finalMessages << status; });
        for (int run = 0; run < 4; ++run) {
            if (run == 3)
                QTimer::singleShot(30, &w, &QWidget::close);
            w.findChild<QPushButton *>(u"Numbers3"_qs)->click();
            QTest::qWait(700);
        }
        QCOMPARE(recorder.onsets.size(), 3);
        for (int run = 0; run < 3; ++run) {
            const qint64 onset = recorder.onsets[run] - finalMessages[run];
            qInfo("run %d: the bell reached the sink %lld ms after the final message", run, onset);
            QVERIFY(onset >= 0 && onset <= 100);
        }
    }

    // With no server to play on, the system beep stands in.
    void fallback() { QCOMPARE(ring(), Bell::SystemBeep); }

    // Where the desktop has switched event sounds off (tests/settings), the bell keeps quiet.
    void silenced() { QCOMPARE(ring(), Bell::Silenced); }
};

QTEST_MAIN(TestBell)
#include "tst_bell.moc"
