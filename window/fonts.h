// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QFont>
#include <QString>

// The window's fonts. The named faces are used where the system has them; otherwise our own
// embedded faces stand in, so the Japanese texts render on any machine.
namespace fonts {

// Our subsets of Noto Sans CJK JP (proportional) and Noto Sans Mono CJK JP (digits only),
// renamed so that they never collide with a system copy of the full faces.
inline QString japaneseFamily()
{
    return QStringLiteral("Kiparano Gothic");
}
inline QString monoFamily()
{
    return QStringLiteral("Kiparano Mono");
}

// Registers the embedded faces. Call once, before the window.
void install();

// `font` if its face has every character of `text`, else the same font in our Japanese face.
// Lets the buttons and the tooltip keep the platform's font wherever it can show their text,
// without asking the system for fallback faces (slow to compute at start-up).
QFont covering(const QFont &font, const QString &text);

QFont numberBox(); // fixed-pitch bold, 12 pt
QFont status();    // Japanese proportional sans-serif, 9.75 pt
QFont title();     // Japanese proportional sans-serif bold, 15.75 pt

} // namespace fonts
