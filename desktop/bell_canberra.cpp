// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The bell on desktops with libcanberra: the sound theme's bell, played on a thread of its own.

#include "bell.h"

#include <QLibrary>

#include <canberra.h>
#include <gio/gio.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

template <typename Function>
bool resolve(QLibrary &library, Function &function, const char *name)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

// libcanberra, and GIO for the desktop's switch for event sounds. The bell's thread loads them
// when it first rings: linked to the program, they would cost every launch about 7 M
// instructions and 1.5 MB before the first frame.
struct Desktop {
    Desktop()
    {
        QLibrary canberra(QStringLiteral("canberra"), 0); // never unloaded
        loaded = resolve(canberra, create, "ca_context_create") &&
                 resolve(canberra, changeProps, "ca_context_change_props") &&
                 resolve(canberra, play, "ca_context_play") &&
                 resolve(canberra, destroy, "ca_context_destroy") &&
                 resolve(canberra, strerror, "ca_strerror");
        if (!loaded)
            qWarning("The bell: %s; the system beep stands in.",
                     qPrintable(canberra.errorString()));
        // GNOME publishes the switch in GSettings; where its schema is missing nothing says no.
        QLibrary gio(QStringLiteral("gio-2.0"), 0);
        decltype(&g_settings_schema_source_get_default) defaultSource;
        decltype(&g_settings_schema_source_lookup) lookup;
        decltype(&g_settings_schema_has_key) hasKey;
        decltype(&g_settings_schema_unref) unref;
        decltype(&g_settings_new) newSettings;
        if (!resolve(gio, defaultSource, "g_settings_schema_source_get_default") ||
            !resolve(gio, lookup, "g_settings_schema_source_lookup") ||
            !resolve(gio, hasKey, "g_settings_schema_has_key") ||
            !resolve(gio, unref, "g_settings_schema_unref") ||
            !resolve(gio, newSettings, "g_settings_new") ||
            !resolve(gio, getBoolean, "g_settings_get_boolean") ||
            !resolve(gio, unrefObject, "g_object_unref"))
            return;
        GSettingsSchemaSource *source = defaultSource();
        GSettingsSchema *schema =
            source ? lookup(source, "org.gnome.desktop.sound", TRUE) : nullptr;
        if (schema && hasKey(schema, "event-sounds"))
            settings = newSettings("org.gnome.desktop.sound");
        if (schema)
            unref(schema);
    }

    ~Desktop()
    {
        if (settings)
            unrefObject(settings);
    }

    // False where the desktop has switched event sounds off. Read at every ring, so a change
    // of the setting counts from the next run on.
    bool eventSoundsOn() const { return !settings || getBoolean(settings, "event-sounds"); }

    bool loaded = false;
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;
    decltype(&ca_strerror) strerror = nullptr;
    GSettings *settings = nullptr;
    decltype(&g_settings_get_boolean) getBoolean = nullptr;
    decltype(&g_object_unref) unrefObject = nullptr;
};

// libcanberra opens and closes its drivers through libltdl, which is not thread-safe: a context
// destroyed on one Bell's thread could unload the driver another Bell's thread is playing
// through. Every call into libcanberra holds this lock (never destroyed: a thread let go may
// still use it as the program exits).
std::mutex &canberraCalls()
{
    static auto *lock = new std::mutex;
    return *lock;
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
        const Desktop desktop;
        ca_context *context = nullptr;
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return rings > 0 || !bell; });
            if (!bell)
                break;
            --rings;
            busy = true;
            lock.unlock();
            const Way way = !desktop.loaded           ? SystemBeep
                            : desktop.eventSoundsOn() ? play(desktop, context)
                                                      : Silenced;
            lock.lock();
            busy = false;
            if (bell)
                QMetaObject::invokeMethod(
                    bell, [bell = bell, way] { bell->sounded(way); }, Qt::QueuedConnection);
        }
        lock.unlock();
        if (context) {
            const std::scoped_lock calls(canberraCalls());
            desktop.destroy(context);
        }
    }

    Way play(const Desktop &desktop, ca_context *&context)
    {
        const std::scoped_lock calls(canberraCalls());
        int error = CA_SUCCESS;
        // A connection kept from an earlier ring fails once its server has gone (ended, or
        // started again since): then the ring is played once more, on a new one.
        for (bool kept = context != nullptr;; kept = false) {
            if (!context && (error = desktop.create(&context)) == CA_SUCCESS)
                desktop.changeProps(context, CA_PROP_APPLICATION_NAME, "Mivoreta",
                                    CA_PROP_APPLICATION_ID, KIPARANO_APP_ID,
                                    CA_PROP_APPLICATION_ICON_NAME, KIPARANO_APP_ID, nullptr);
            if (error == CA_SUCCESS)
                error = desktop.play(context, 0, CA_PROP_EVENT_ID, "bell-window-system",
                                     CA_PROP_EVENT_DESCRIPTION, "Numbers proposed",
                                     CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr);
            if (error == CA_SUCCESS)
                return Sound;
            if (context)
                desktop.destroy(context);
            context = nullptr;
            if (!kept)
                break;
        }
        // No sound server or no such sound: said once, and the next ring connects afresh.
        if (error != lastError)
            qWarning("The bell's sound: %s; the system beep stands in.", desktop.strerror(error));
        lastError = error;
        return SystemBeep;
    }

    int lastError = CA_SUCCESS; // the last that was said
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
