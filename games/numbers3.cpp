// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Numbers 3: three digits, never all three the same, in boxes 1 to 3.
#include "games.h"

#include "core/cheer.h"
#include "core/surface.h"
#include "proposal.h"
#include "spin/kurukuru.h"

void Numbers3_Click(Surface &surface)
{
    surface.setText(Label::Label8, QStringLiteral(u"Numbers3の予想だよ"));
    surface.setText(Label::Label7, QStringLiteral(u"抽選は毎週,月,水,金"));
    surface.setText(Label::Label4, QString());
    surface.setText(Label::Label5, QString());
    surface.setText(Label::Label6, QString());
    const qint16 upperbound = 9;
    const qint16 lowerbound = 0;
    const qint16 max = 3;

    kurukuru(surface, upperbound, lowerbound, max);
    const auto digit = drawProposal<3>(surface, upperbound, lowerbound, notAllEqual<3>);
    surface.setText(Label::Label1, boxText(digit[0]));
    kurukuru2(surface, upperbound, lowerbound, max);
    surface.setText(Label::Label2, boxText(digit[1]));
    kurukuru3(surface, upperbound, lowerbound, max);
    capcap2(surface);
    surface.setText(Label::Label3, boxText(digit[2]));
    capcap(surface);
}
