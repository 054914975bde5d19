// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// A recording Surface with a virtual clock and scripted random values, and an oracle that
// builds the sequence of events the program is meant to produce.

#include "core/randomness.h"
#include "core/surface.h"

#include <QList>
#include <QString>
#include <QTest>

#include <algorithm>
#include <array>
#include <functional>
#include <random>

struct Event {
    enum Kind { Write, Wait, Beep, Draw };
    Event(Kind k, int l = 0, QString t = {}, double v = 0)
        : kind(k),
          label(l),
          text(t),
          value(v)
    {
    }
    Kind kind;
    int label;
    QString text;
    double value; // seconds of a wait, the value of a draw
    friend bool operator==(const Event &, const Event &) = default;
};

inline char *toString(const Event &e)
{
    static const char *const kinds[] = {"Write", "Wait", "Beep", "Draw"};
    return QTest::toString(QStringLiteral("%1(%2 \"%3\" %4)")
                               .arg(QLatin1String(kinds[e.kind]))
                               .arg(e.label)
                               .arg(e.text)
                               .arg(e.value));
}

// The Rnd value that drawInRange turns into `value`.
inline double rndFor(int value, int upperbound, int lowerbound)
{
    return (value - lowerbound + 0.5) / (upperbound - lowerbound + 1);
}

class FakeSurface : public Surface {
public:
    // Draws return `script` first, then values of a fixed-seed generator.
    explicit FakeSurface(QList<double> script = {})
        : m_script(std::move(script))
    {
    }

    void setText(Label label, const QString &text) override
    {
        labels[int(label)] = text;
        events.append({Event::Write, int(label), text});
    }
    void beep() override { events.append(Event(Event::Beep)); }
    void wait(double seconds) override
    {
        clock += seconds;
        events.append({Event::Wait, 0, {}, seconds});
        if (onWait)
            onWait(waits++);
    }
    double rnd() override
    {
        const double v = m_next < m_script.size() ? m_script[m_next++] : m_uniform(m_engine);
        events.append({Event::Draw, 0, {}, v});
        return v;
    }

    QList<Event> events;
    std::array<QString, 10> labels; // by label number
    double clock = 0;
    int waits = 0;
    std::function<void(int wait)> onWait; // runs inside each wait, like a served press

private:
    QList<double> m_script;
    qsizetype m_next = 0;
    std::mt19937_64 m_engine{12345};
    std::uniform_real_distribution<double> m_uniform{0.0, 0.999};
};

// Writes down, step by step, what the program must do, taking draws from the same script.
struct Oracle {
    QList<double> script;
    qsizetype next = 0;
    QList<Event> events;

    int draw(int upperbound, int lowerbound)
    {
        const double v = script.value(next++);
        events.append({Event::Draw, 0, {}, v});
        return int(v * (upperbound - lowerbound + 1)) + lowerbound;
    }
    void write(int label, const QString &text) { events.append({Event::Write, label, text}); }
    void waitFor(double seconds) { events.append({Event::Wait, 0, {}, seconds}); }

    // Stage n: frames and delays by stage; boxes n..L spin, L+1..6 are blanked.
    void spin(int n, int upperbound, int lowerbound, int max)
    {
        static const int frames[] = {31, 21, 11, 7, 4, 6};
        static const double delays[] = {0.01, 0.05, 0.1, 0.3, 0.5, 0.7};
        const int last = (max >= 3 && max <= 5) ? max : 6;
        for (int f = 0; f < frames[n - 1]; ++f) {
            QList<int> values;
            for (int k = n; k <= last; ++k)
                values.append(draw(upperbound, lowerbound));
            for (int k = n; k <= 6; ++k)
                write(k, k <= last ? QString::number(values[k - n]) : QString());
            waitFor(delays[n - 1]);
        }
    }
    // Plays a run written as steps: "8=text" writes a label ("6=" empties it), "S3" runs
    // stage 3, "D12" makes 12 draws, "R2" reveals the second number, "P0.5" pauses, "C" and
    // "F" are the interim and final cheer messages.
    void play(const QString &steps, int upper, int lower, int max, const QList<int> &numbers)
    {
        for (const QString &step : steps.split(u' ')) {
            const QString arg = step.mid(1);
            if (step.contains(u'='))
                write(step.section(u'=', 0, 0).toInt(), step.section(u'=', 1));
            else if (step[0] == u'S')
                spin(arg.toInt(), upper, lower, max);
            else if (step[0] == u'D')
                for (int i = 0; i < arg.toInt(); ++i)
                    draw(upper, lower);
            else if (step[0] == u'R')
                write(arg.toInt(), QString::number(numbers[arg.toInt() - 1]));
            else if (step[0] == u'P')
                waitFor(arg.toDouble());
            else
                cheer(step == u"F");
        }
    }
    void cheer(bool final)
    {
        static const char16_t *const finals[] = {u"こんなん出ました!", u"当たりますように!",
                                                 u"こんなのでました"};
        static const char16_t *const interims[] = {u"あたりますように!",
                                                   u"もうしばらくお待ちください",
                                                   u"当たりますように!!!", u"なにがでるかな???"};
        const int r = draw(5, 0);
        write(7, QString::fromUtf16(final ? finals[r < 3 ? r : 0] : interims[std::min(r, 3)]));
        if (final)
            events.append(Event(Event::Beep));
    }
};
