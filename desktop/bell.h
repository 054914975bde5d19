// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>

#include <memory>

// The bell that closes a run. Where the build has libcanberra (bell_canberra.cpp) it is the
// desktop's own bell sound, the event "bell-window-system" of its sound theme, played on a
// thread of its own that loads the library at the first ring, so that neither the start nor a
// run waits for it or for the sound server. Where the desktop has switched event sounds off it
// stays silent, as the desktop's own programs do; where no sound can be played it falls back
// to QApplication::beep(). Elsewhere (bell_beep.cpp) it is QApplication::beep(), the system's
// beep.
class Bell : public QObject {
    Q_OBJECT

public:
    enum Way { Sound, Silenced, SystemBeep };
    Q_ENUM(Way)

    explicit Bell(QObject *parent = nullptr);
    ~Bell() override;

    void ring();

Q_SIGNALS:
    // How a ring sounded, once that is known.
    void rang(Bell::Way way);

private:
    void sounded(Way way);

    struct Player;
    std::shared_ptr<Player> m_player;
};
