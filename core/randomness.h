// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QtGlobal>

#include <cstdint>
#include <random>

class Surface;

// The program's pseudo-random generator: 53-bit uniform doubles in [0, 1). The largest value
// it can return is 1 - 2^-53, so it never rounds up to 1.0.
class Rnd {
public:
    void seed(std::uint64_t value) { m_engine.seed(value); }
    double operator()() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 m_engine;
};

// Int((upperbound - lowerbound + 1) * Rnd + lowerbound): every integer from lowerbound to
// upperbound with equal chance. Takes exactly one value from the generator.
qint16 drawInRange(Surface &surface, const qint16 &upperbound, const qint16 &lowerbound);

// The same formula on a given Rnd value.
qint16 drawInRange(double rnd, qint16 upperbound, qint16 lowerbound);
