// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "platform.h"

#include <QGuiApplication>

void identifyApplication()
{
    QGuiApplication::setApplicationName(QStringLiteral("kiparano"));
    QGuiApplication::setApplicationVersion(QStringLiteral(KIPARANO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(KIPARANO_APP_ID));
}
