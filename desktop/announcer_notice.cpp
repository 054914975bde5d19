// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Announcements before Qt 6.8, which has no announcement event: a notice per nesting level that
// appears with the text as its name.

#include "announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

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

void Announcer::announce(int level, const QString &text)
{
    if (!QAccessible::isActive())
        return;
    [[maybe_unused]] static const bool known =
        (QAccessible::installFactory(noticeAccessible), true);
    const QString name = QStringLiteral("notice%1").arg(level);
    QWidget *notice = m_window->findChild<Notice *>(name, Qt::FindDirectChildrenOnly);
    if (!notice) {
        notice = new Notice(m_window);
        notice->setObjectName(name);
        notice->setGeometry(0, 0, 0, 0); // nothing to see, nothing to click
    }
    notice->hide();
    notice->setAccessibleName(text);
    notice->show(); // the event a screen reader speaks it on
}
