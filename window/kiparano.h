// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// The program is this one window. The prediction logic (core/, spin/, games/) knows the
// window only as a Surface: it writes label texts, beeps, waits and draws random values.
// Here the Surface is real: writes go to the QLabels, and a wait runs a nested event loop
// until its deadline on the monotonic clock (DeadlineTimer), so a button press served inside a
// wait runs its whole game nested there and the interrupted run resumes when it is over.
// Closing the window cancels every run at once: each wait then throws RunCancelled, which
// unwinds the runs without a further write, and the click handlers catch it. A run that ends
// is announced to assistive technology (Announcer): its game, its numbers and its message.

#include "announcer.h"
#include "core/randomness.h"
#include "core/surface.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <vector>

class Bell;
class DeadlineTimer;
class QEventLoop;
class QLabel;

class kiparano : public QWidget, public Surface {
    Q_OBJECT

public:
    // Presses that would open a deeper run than this are ignored.
    static constexpr int maxNestedRuns = 64;

    explicit kiparano(QWidget *parent = nullptr);
    ~kiparano() override;

    // Multiplies every wait; 1 is real time. Lets tests and benchmarks run games quickly; at 0
    // a wait only serves the events already pending.
    void setTimeScale(double scale) { m_timeScale = scale; }
    // How many runs are in progress, the outermost included.
    int runDepth() const { return int(m_runs.size()); }

    void setText(Label label, const QString &text) override;
    void beep() override;
    void wait(double seconds) override;
    double rnd() override { return m_rnd(); }

Q_SIGNALS:
    // Every label write and every beep, as they happen.
    void textWritten(int label, const QString &text);
    void beeped();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    template <typename Handler>
    void run(Handler handler);
    void cancelRuns();
    DeadlineTimer &timerOfLevel(std::size_t level);
    void announceEnd();

    // What a run in progress has written of its own: its title and its last box in play.
    struct Run {
        QString title;
        int boxes = 0;
    };

    std::array<QLabel *, 9> m_labels{};
    QPixmap m_background;
    std::vector<QEventLoop *> m_waits;     // innermost last
    std::vector<DeadlineTimer *> m_timers; // each wait level's timer, kept for the next wait
    std::vector<Run> m_runs;               // innermost last
    Bell *m_bell;
    Announcer m_announcer;
    Rnd m_rnd;
    double m_timeScale = 1.0;
    bool m_closed = false;
};
