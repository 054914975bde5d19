// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QtGlobal>

class Surface;

// The game buttons' click handlers. Each runs its game's whole sequence, from the title to
// the final beep, writing only through `surface`.
void roto6_Click(Surface &surface);
// Mini Loto's button is element `Index` of a button group; the run does not depend on it.
void miniroto_Click(Surface &surface, qint16 Index);
void Numbers3_Click(Surface &surface);
void Numbers4_Click(Surface &surface);
