// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

// What the prediction logic sees of the window: nine labels to write, a beep, a wait that
// serves window events, and the program's one random generator. The Qt window implements it
// for real; the tests implement it with a recorder whose waits take no time.

enum class Label : int {
    Label1 = 1,
    Label2,
    Label3,
    Label4,
    Label5,
    Label6, // number boxes 1 to 6
    Label7, // status line
    Label8, // title
    Label9, // web address
};

// Number box k (1 to 6).
constexpr Label box(int k)
{
    return static_cast<Label>(k);
}

// A number as its box shows it: plain decimal, no padding.
inline QString boxText(qint16 number)
{
    return QString::number(number);
}

// Thrown out of Surface::wait() when the window has gone: it unwinds every run in progress
// without a further write. Only the window's click handlers catch it.
struct RunCancelled {};

class Surface {
public:
    virtual ~Surface() = default;

    // Replaces the whole text of a label.
    virtual void setText(Label label, const QString &text) = 0;
    // Sounds the system beep once.
    virtual void beep() = 0;
    // Lets at least `seconds` pass while serving window events; a press served here runs
    // nested inside the wait. Throws RunCancelled once the window is closed.
    virtual void wait(double seconds) = 0;
    // One uniform value in [0, 1) from the program's generator; never 1.0.
    virtual double rnd() = 0;
};
