// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QStringView>

#include <array>

class Surface;

// The cheer messages of the status line. Each call takes one value r from 0 to 5 and writes
// the message for r; capcap then beeps once to close a run.
void capcap(Surface &surface);
void capcap2(Surface &surface);

// Messages for r = 0, 1, 2; r = 3, 4 and 5 show the message of index 3.
using CheerTable = std::array<QStringView, 4>;
extern const CheerTable finalMessages;   // capcap
extern const CheerTable interimMessages; // capcap2
