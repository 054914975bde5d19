// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// A recording Surface with scripted random values, and an oracle that
// writes down what the program must do with the same values.

#include "core/cheer.h"
#include "core/surface.h"

#include <QStringList>

#include <random>

// The Rnd value that drawInRange turns into `value`.
inline double rndFor(int value, int upper, int lower)
{
    return (value - lower + 0.5) / (upper - lower + 1);
}

// Logs "k:text" for a write of label k, "w<seconds>" for a wait, "d" for a draw and "beep".
// Draws return the script's values, then those of a fixed-seed generator.
class FakeSurface : public Surface {
public:
    explicit FakeSurface(QList<double> script = {})
        : m_script(std::move(script))
    {
    }

    void setText(Label label, const QString &text) override
    {
        log << QStringLiteral("%1:%2").arg(int(label)).arg(text);
    }
    void beep() override { log << QStringLiteral("beep"); }
    void wait(double seconds) override { log << QStringLiteral("w%1").arg(seconds); }
    double rnd() override
    {
        log << QStringLiteral("d");
        return m_next < m_script.size() ? m_script[m_next++] : m_any(m_engine);
    }

    QStringList log;

private:
    QList<double> m_script;
    qsizetype m_next = 0;
    std::mt19937_64 m_engine{12345};
    std::uniform_real_distribution<double> m_any{0.0, 0.999};
};

// Plays a run written as steps on itself, taking the same draws as the program would: "8=text"
// writes a label ("6=" empties it), "S3" runs stage 3, "D12" makes 12 draws, "R2" reveals the
// second number, "P0.5" pauses, "C" and "F" are the interim and final cheer messages.
class Oracle : public FakeSurface {
public:
    using FakeSurface::FakeSurface;

    int draw(int upper, int lower) { return int(rnd() * (upper - lower + 1)) + lower; }
    void spin(int stage, int upper, int lower, int max)
    {
        static const int frames[] = {31, 21, 11, 7, 4, 6};
        static const double delays[] = {0.01, 0.05, 0.1, 0.3, 0.5, 0.7};
        const int last = (max >= 3 && max <= 5) ? max : 6;
        for (int f = 0; f < frames[stage - 1]; ++f) {
            QStringList values;
            for (int k = stage; k <= last; ++k)
                values << QString::number(draw(upper, lower));
            for (int k = stage; k <= 6; ++k)
                setText(box(k), k <= last ? values[k - stage] : QString());
            wait(delays[stage - 1]);
        }
    }
    void cheer(bool final) // the final message for r 3 to 5 is that for 0
    {
        const int r = draw(5, 0);
        setText(
            Label::Label7,
            (final ? finalMessages[r < 3 ? r : 0] : interimMessages[std::min(r, 3)]).toString());
        if (final)
            beep();
    }
    void play(const QString &steps, int upper, int lower, int max, const QList<int> &numbers)
    {
        for (const QString &step : steps.split(u' ')) {
            const QString arg = step.mid(1);
            if (step.contains(u'='))
                setText(Label(step.section(u'=', 0, 0).toInt()), step.section(u'=', 1));
            else if (step[0] == u'S')
                spin(arg.toInt(), upper, lower, max);
            else if (step[0] == u'D')
                for (int i = 0; i < arg.toInt(); ++i)
                    draw(upper, lower);
            else if (step[0] == u'R')
                setText(box(arg.toInt()), QString::number(numbers[arg.toInt() - 1]));
            else if (step[0] == u'P')
                wait(arg.toDouble());
            else
                cheer(step == u"F");
        }
    }
};
