#pragma once

#include <QFont>
#include <QString>

// The window's fonts. The named faces are used where the system has them; otherwise our own
// embedded faces stand in, so the Japanese texts render on any machine.
namespace fonts {

// Our subsets of Noto Sans CJK JP (proportional) and Noto Sans Mono CJK JP (digits only),
// renamed so that they never collide with a system copy of the full faces.
inline QString japaneseFamily() { return QStringLiteral("Kiparano Gothic"); }
inline QString monoFamily() { return QStringLiteral("Kiparano Mono"); }

// Registers the embedded faces and adds the Japanese one as the fallback of the application
// font, for the buttons, the web address and the tooltip. Call once, before the window.
void install();

QFont numberBox(); // fixed-pitch bold, 12 pt
QFont status();    // Japanese proportional sans-serif, 9.75 pt
QFont title();     // Japanese proportional sans-serif bold, 15.75 pt

} // namespace fonts
