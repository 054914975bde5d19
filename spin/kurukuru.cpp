// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "kurukuru.h"

#include "core/randomness.h"
#include "core/surface.h"

int lastBoxInPlay(qint16 max)
{
    return (max >= 3 && max <= 5) ? max : 6;
}

void spin(Surface &surface, const SpinStage &stage, const qint16 &upperbound,
          const qint16 &lowerbound, const qint16 &max)
{
    const int last = lastBoxInPlay(max);
    std::array<qint16, 7> drawn{}; // indexed by box number
    for (int frame = 0; frame <= stage.lastFrame; ++frame) {
        for (int k = stage.firstBox; k <= last; ++k)
            drawn[k] = drawInRange(surface, upperbound, lowerbound);
        for (int k = stage.firstBox; k <= 6; ++k)
            surface.setText(box(k), k <= last ? boxText(drawn[k]) : QString());
        surface.wait(stage.delay);
    }
}
