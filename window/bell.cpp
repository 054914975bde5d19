// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "bell.h"

#include <QApplication>

#ifdef KIPARANO_CANBERRA
#include <canberra.h>
#include <gio/gio.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// False where the desktop has switched event sounds off. GNOME publishes the switch in
// GSettings; where its schema is missing nothing says no. Read at every ring, so a change of
// the setting counts from the next run on.
bool eventSoundsOn()
{
    static GSettings *const settings = []() -> GSettings * {
        GSettingsSchemaSource *source = g_settings_schema_source_get_default();
        GSettingsSchema *schema =
            source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.sound", TRUE)
                   : nullptr;
        const bool known = schema && g_settings_schema_has_key(schema, "event-sounds");
        if (schema)
            g_settings_schema_unref(schema);
        return known ? g_settings_new("org.gnome.desktop.sound") : nullptr;
    }();
    return !settings || g_settings_get_boolean(settings, "event-sounds");
}

} // namespace

// The thread that plays, with what it shares with the Bell. If the Bell goes while a play is
// under way, the thread is let go and ends when that play returns.
struct Bell::Player {
    std::mutex mutex;
    std::condition_variable wake;
    int rings = 0;
    bool busy = false;
    Bell *bell = nullptr; // null once the Bell has gone
    std::thread thread;

    void run()
    {
        ca_context *context = nullptr;
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return rings > 0 || !bell; });
            if (!bell)
                break;
            --rings;
            busy = true;
            lock.unlock();
            const Way way = eventSoundsOn() ? play(context) : Silenced;
            lock.lock();
            busy = false;
            if (bell)
                QMetaObject::invokeMethod(
                    bell, [bell = bell, way] { bell->sounded(way); }, Qt::QueuedConnection);
        }
        lock.unlock();
        if (context)
            ca_context_destroy(context);
    }

    static Way play(ca_context *&context)
    {
        if (!context && ca_context_create(&context) == CA_SUCCESS)
            ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Mivoreta",
                                    CA_PROP_APPLICATION_ID, "com.example.kiparano",
                                    CA_PROP_APPLICATION_ICON_NAME, "com.example.kiparano", nullptr);
        if (context &&
            ca_context_play(context, 0, CA_PROP_EVENT_ID, "bell-window-system",
                            CA_PROP_EVENT_DESCRIPTION, "Numbers proposed",
                            CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr) == CA_SUCCESS)
            return Sound;
        // No sound server or no such sound: the next ring connects afresh.
        if (context)
            ca_context_destroy(context);
        context = nullptr;
        return SystemBeep;
    }
};

Bell::Bell(QObject *parent)
    : QObject(parent)
{
}

Bell::~Bell()
{
    if (!m_player)
        return;
    std::unique_lock lock(m_player->mutex);
    m_player->bell = nullptr;
    const bool busy = m_player->busy;
    lock.unlock();
    m_player->wake.notify_one();
    busy ? m_player->thread.detach() : m_player->thread.join();
}

void Bell::ring()
{
    if (!m_player) {
        m_player = std::make_shared<Player>();
        m_player->bell = this;
        m_player->thread = std::thread([player = m_player] { player->run(); });
    }
    std::scoped_lock lock(m_player->mutex);
    ++m_player->rings;
    m_player->wake.notify_one();
}

#else

struct Bell::Player {};

Bell::Bell(QObject *parent)
    : QObject(parent)
{
}

Bell::~Bell() = default;

void Bell::ring()
{
    sounded(SystemBeep);
}

#endif

void Bell::sounded(Way way)
{
    if (way == SystemBeep)
        QApplication::beep();
    Q_EMIT rang(way);
}
