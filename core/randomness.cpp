// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "randomness.h"

#include "surface.h"

#include <algorithm>
#include <cmath>

qint16 drawInRange(double rnd, qint16 upperbound, qint16 lowerbound)
{
    const double span = double(upperbound) - double(lowerbound) + 1.0;
    const double value = std::floor(span * rnd + double(lowerbound));
    // The product of a span with the largest Rnd stays below the span, but adding a large
    // lowerbound can round it up to the next integer; the formula means never more than
    // upperbound.
    return static_cast<qint16>(std::min(value, double(std::max(upperbound, lowerbound))));
}

qint16 drawInRange(Surface &surface, const qint16 &upperbound, const qint16 &lowerbound)
{
    return drawInRange(surface.rnd(), upperbound, lowerbound);
}
