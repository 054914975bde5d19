// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "platform.h"

#include <QByteArray>
#include <QtGlobal>

void preparePlatform()
{
    // On X11, Qt hands each repaint to the server in shared memory and, before painting again
    // into an area the server may still be reading, waits for a round trip to the server. The
    // spinning boxes repaint the same few kilobytes up to a hundred times a second, so that
    // round trip and the thread hand-offs around it cost more than sending the pixels through
    // the socket. Other platforms ignore the variable.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", QByteArrayLiteral("1"));
}
