// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "bell.h"

#include <QApplication>

void Bell::sounded(Way way)
{
    if (way == SystemBeep)
        QApplication::beep();
    Q_EMIT rang(way);
}
