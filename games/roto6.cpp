// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Loto 6: six different numbers from 1 to 43, one box at a time over six stages.
#include "games.h"

#include "core/cheer.h"
#include "core/surface.h"
#include "proposal.h"
#include "spin/kurukuru.h"

void roto6_Click(Surface &surface)
{
    surface.setText(Label::Label8, QStringLiteral(u"ロト6の予想です"));
    surface.setText(Label::Label7, QStringLiteral(u"抽選は毎週木曜日"));
    const qint16 upperbound = 43;
    const qint16 lowerbound = 1;
    const qint16 max = 6;

    kurukuru(surface, upperbound, lowerbound, max);
    const auto number = drawProposal<6>(surface, upperbound, lowerbound, pairwiseDistinct<6>);
    surface.setText(Label::Label1, boxText(number[0]));
    kurukuru2(surface, upperbound, lowerbound, max);
    capcap2(surface);
    surface.setText(Label::Label2, boxText(number[1]));
    kurukuru3(surface, upperbound, lowerbound, max);
    surface.setText(Label::Label3, boxText(number[2]));
    kurukuru4(surface, upperbound, lowerbound, max);
    surface.setText(Label::Label4, boxText(number[3]));
    capcap2(surface);
    kurukuru5(surface, upperbound, lowerbound, max);
    surface.setText(Label::Label5, boxText(number[4]));
    kurukuru6(surface, upperbound, lowerbound, max);
    surface.setText(Label::Label6, boxText(number[5]));
    capcap(surface);
}
