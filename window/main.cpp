// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "desktop/platform.h"
#include "fonts.h"
#include "kiparano.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    preparePlatform();
    QApplication app(argc, argv);
    identifyApplication();
    fonts::install();

    kiparano window;
    window.show();
    return app.exec();
}
