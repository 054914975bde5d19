// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include "core/randomness.h"

#include <algorithm>
#include <array>
#include <functional>

class Surface;

// A game's proposal: its numbers in draw order, never sorted.
template <std::size_t N>
using Proposal = std::array<qint16, N>;

// Draws whole attempts of N numbers, first to last, until `accept` takes one. An attempt that
// fails is thrown away whole; no number is ever replaced on its own.
template <std::size_t N, typename Rule>
Proposal<N> drawProposal(Surface &surface, const qint16 &upperbound, const qint16 &lowerbound,
                         Rule accept)
{
    Proposal<N> numbers{};
    do {
        for (qint16 &n : numbers)
            n = drawInRange(surface, upperbound, lowerbound);
    } while (!accept(numbers));
    return numbers;
}

// The lottery rule: no two numbers equal.
template <std::size_t N>
bool pairwiseDistinct(const Proposal<N> &numbers)
{
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = i + 1; j < N; ++j)
            if (numbers[i] == numbers[j])
                return false;
    return true;
}

// The digits rule: anything but the same digit throughout.
template <std::size_t N>
bool notAllEqual(const Proposal<N> &numbers)
{
    return std::adjacent_find(numbers.begin(), numbers.end(), std::not_equal_to<>()) !=
           numbers.end();
}
