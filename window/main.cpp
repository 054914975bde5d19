// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "desktop/platform.h"
#include "fonts.h"
#include "kiparano.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    preparePlatform();
    QApplication app(argc, argv);
    identifyApplication();
    fonts::install();

    kiparano window;
    window.show();
    const int status = app.exec();
    // Qt's Wayland plugin can hang tearing its connection down, its event thread left waiting
    // for a read another thread prepared. The window is gone and Wayland hands nothing over at
    // exit (no clipboard manager takes a copy then), so the program ends here.
    if (QGuiApplication::platformName().startsWith(u"wayland")) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
