#pragma once

#include <QtGlobal>

class Surface;

// The game buttons' click handlers. Each runs its game's whole sequence, from the title to
// the final beep, writing only through `surface`.
void roto6_Click(Surface &surface);
