// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

class QWidget;

// Tells assistive technology, a screen reader above all, what a run proposed once it has ended:
// a screen reader speaks only what has the focus, and the numbers never do.
//
// Qt 6.8 and later send the text as an announcement (announcer_event.cpp), which reaches AT-SPI
// on Linux and UI Automation on Windows. Older Qt has none, so there (announcer_notice.cpp) the
// window holds notices: empty widgets of no size, each with the accessible role of a
// notification, which take the text as their name and appear; a screen reader speaks a
// notification as it appears, wherever the focus is. A reader asks for the name after the
// event, so each nesting level has a notice of its own: when an inner run and the outer one end
// one right after the other, each is still read with its own text.
class Announcer {
public:
    explicit Announcer(QWidget *window)
        : m_window(window)
    {
    }

    // Announces `text` for the run at nesting `level` (0 for the outermost) that has just
    // ended; does nothing while no assistive technology is listening.
    void announce(int level, const QString &text);

private:
    QWidget *m_window;
};
