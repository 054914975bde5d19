// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

Announcer::Announcer(QWidget *window)
    : m_window(window)
{
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)

void Announcer::announce(std::size_t, const QString &text)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleAnnouncementEvent event(m_window, text);
    QAccessible::updateAccessibility(&event);
}

#else

namespace {

struct Notice : QWidget {
    using QWidget::QWidget;
};

QAccessibleInterface *noticeAccessible(const QString &, QObject *object)
{
    auto *notice = dynamic_cast<Notice *>(object);
    return notice ? new QAccessibleWidget(notice, QAccessible::Notification) : nullptr;
}

} // namespace

void Announcer::announce(std::size_t level, const QString &text)
{
    if (!QAccessible::isActive())
        return;
    [[maybe_unused]] static const bool known =
        (QAccessible::installFactory(noticeAccessible), true);
    while (m_notices.size() <= level) {
        auto *notice = new Notice(m_window);
        notice->setObjectName(QStringLiteral("notice%1").arg(m_notices.size()));
        notice->setGeometry(0, 0, 0, 0); // nothing to see, nothing to click
        m_notices.push_back(notice);
    }
    QWidget *notice = m_notices[level];
    notice->hide();
    notice->setAccessibleName(text);
    notice->show(); // the event a screen reader speaks it on
}

#endif
