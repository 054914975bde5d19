// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Mini Loto: five different numbers from 1 to 31, each revealed after its spin and a pause
// that lengthens from stage to stage. Box 6 stays empty.
#include "games.h"

#include "core/cheer.h"
#include "core/surface.h"
#include "proposal.h"
#include "spin/kurukuru.h"

void miniroto_Click(Surface &surface, [[maybe_unused]] qint16 Index)
{
    surface.setText(Label::Label8, QStringLiteral(u"ミニロトの予想です!"));
    surface.setText(Label::Label6, QString());
    surface.setText(Label::Label7, QStringLiteral(u"チャンスは毎週チューズディ!"));
    const qint16 upperbound = 31;
    const qint16 lowerbound = 1;
    const qint16 max = 5;

    kurukuru(surface, upperbound, lowerbound, max);
    const auto number = drawProposal<5>(surface, upperbound, lowerbound, pairwiseDistinct<5>);
    surface.wait(0.1);
    surface.setText(Label::Label1, boxText(number[0]));
    kurukuru2(surface, upperbound, lowerbound, max);
    surface.wait(0.1);
    surface.setText(Label::Label2, boxText(number[1]));
    kurukuru3(surface, upperbound, lowerbound, max);
    surface.wait(0.5);
    capcap2(surface);
    surface.setText(Label::Label3, boxText(number[2]));
    kurukuru4(surface, upperbound, lowerbound, max);
    surface.wait(0.8);
    capcap2(surface);
    surface.setText(Label::Label4, boxText(number[3]));
    kurukuru5(surface, upperbound, lowerbound, max);
    surface.wait(1);
    surface.setText(Label::Label5, boxText(number[4]));
    capcap(surface);
}
