// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QtGlobal>

#include <array>

class Surface;

// One spinning stage: boxes `firstBox` to the last box in play show fresh random values for
// frames 0 to `lastFrame`, each frame held for at least `delay` seconds.
struct SpinStage {
    int firstBox;
    int lastFrame;
    double delay;
};

// The six stages, slowing down as the spinning region shrinks towards box 6.
inline constexpr std::array<SpinStage, 6> spinStages = {{
    {1, 30, 0.01},
    {2, 20, 0.05},
    {3, 10, 0.1},
    {4, 6, 0.3},
    {5, 3, 0.5},
    {6, 5, 0.7},
}};

// Last box in play for `max`: 3, 4 and 5 keep the boxes above them empty; any other value
// plays all six.
int lastBoxInPlay(qint16 max);

// Runs one stage to its end. Boxes below the stage's first box are never touched; boxes above
// the last box in play are blanked every frame.
void spin(Surface &surface, const SpinStage &stage, const qint16 &upperbound,
          const qint16 &lowerbound, const qint16 &max);

// Stage n (1 to 6), and the six stages under the names the game handlers call them by.
template <int n>
void stage(Surface &surface, const qint16 &upperbound, const qint16 &lowerbound, const qint16 &max)
{
    spin(surface, spinStages[n - 1], upperbound, lowerbound, max);
}

inline constexpr auto kurukuru = stage<1>;
inline constexpr auto kurukuru2 = stage<2>;
inline constexpr auto kurukuru3 = stage<3>;
inline constexpr auto kurukuru4 = stage<4>;
inline constexpr auto kurukuru5 = stage<5>;
inline constexpr auto kurukuru6 = stage<6>;
