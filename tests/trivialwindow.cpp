// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The least Qt window there is: the yardstick for how long a platform takes to close a window
// and end the process (under Wine, its own teardown is most of it).

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(421, 279);
    window.show();
    return app.exec();
}
