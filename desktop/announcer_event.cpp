// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Announcements on Qt 6.8 and later: Qt's own announcement event.

#include "announcer.h"

#include <QAccessible>
#include <QWidget>

void Announcer::announce(int, const QString &text)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleAnnouncementEvent event(m_window, text);
    QAccessible::updateAccessibility(&event);
}
