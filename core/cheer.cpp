// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "cheer.h"

#include "randomness.h"
#include "surface.h"

#include <algorithm>

const CheerTable finalMessages = {
    u"こんなん出ました!",
    u"当たりますように!",
    u"こんなのでました",
    u"こんなん出ました!",
};

const CheerTable interimMessages = {
    u"あたりますように!",
    u"もうしばらくお待ちください",
    u"当たりますように!!!",
    u"なにがでるかな???",
};

namespace {

void writeCheer(Surface &surface, const CheerTable &messages)
{
    const qint16 upperbound = 5;
    const qint16 lowerbound = 0;
    const qint16 r = drawInRange(surface, upperbound, lowerbound);
    surface.setText(Label::Label7, messages[std::min<qint16>(r, 3)].toString());
}

} // namespace

void capcap(Surface &surface)
{
    writeCheer(surface, finalMessages);
    surface.beep();
}

void capcap2(Surface &surface)
{
    writeCheer(surface, interimMessages);
}
