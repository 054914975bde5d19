// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The bell where the build has no sound of the desktop's to play: the system's beep.

#include "bell.h"

struct Bell::Player {};

Bell::Bell(QObject *parent)
    : QObject(parent)
{
}

Bell::~Bell() = default;

void Bell::ring()
{
    sounded(SystemBeep);
}
