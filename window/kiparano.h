// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// The program is this one window. The prediction logic (core/, spin/, games/) knows the
// window only as a Surface: it writes label texts, beeps, waits and draws random values.
// Here the Surface is real: writes go to the QLabels, and a wait serves the window's events
// until its deadline (desktop/waits.h), so a button press served inside a wait runs its whole
// game nested there and the interrupted run resumes when it is over. Closing the window cancels
// every run at once: each wait then throws RunCancelled, which unwinds the runs without a
// further write, and the click handlers catch it. A run ends with the desktop's bell and is
// announced to assistive technology: its game, its numbers and its message. Each proposal that
// ran to its end is kept, in memory only, for the player to copy (the copy key, or the window's
// context menu). What the window asks of the system it runs on lives below it, in desktop/.

#include "core/randomness.h"
#include "core/surface.h"
#include "desktop/announcer.h"

#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <array>
#include <vector>

class Bell;
class QAction;
class QLabel;
class QMenu;
class Waits;

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
    // Every run that ended, oldest first, as one line: its game and its numbers.
    const QStringList &proposals() const { return m_proposals; }

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
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    template <typename Handler>
    void run(Handler handler);
    void announceEnd();
    bool holdCloseForFrame();
    void frameLanded();

    // What a run in progress has written of its own: its title and its last box in play.
    struct Run {
        QString title;
        int boxes = 0;
    };

    std::array<QLabel *, 9> m_labels{};
    QPixmap m_background;
    std::vector<Run> m_runs; // innermost last
    Waits *m_waits;
    Bell *m_bell;
    Announcer m_announcer;
    QStringList m_proposals;
    QMenu *m_menu;
    QAction *m_copyLast;
    QAction *m_copyAll;
    Rnd m_rnd;
    double m_timeScale = 1.0;
    enum class FrameHold { None, Waiting, Landed } m_frameHold = FrameHold::None;
};
