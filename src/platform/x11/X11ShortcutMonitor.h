#pragma once
// Global hot keys as passive key grabs on the root window, one per Num Lock / Caps Lock state,
// on a connection and thread of their own. A combination another program holds is refused by
// the server (BadAccess) and reported as a failed registration.

#include "platform/ShortcutMonitor.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/XcbEventLoop.h"

#include <QHash>

#include <map>

class X11ShortcutMonitor : public ShortcutMonitor {
public:
    // None without an X server.
    static std::unique_ptr<X11ShortcutMonitor> create();
    ~X11ShortcutMonitor() override;

    bool registerShortcut(const Shortcut &shortcut, std::function<void()> action) override;
    void unregisterShortcut(const Shortcut &shortcut) override;
    void unregisterAllShortcuts() override;
    bool isShortcutRegistered(const Shortcut &shortcut) const override;
    void setSuspended(bool suspended) override;
    bool isSuspended() const override;

private:
    explicit X11ShortcutMonitor(std::unique_ptr<XcbConnection> connection);

    struct Grab {
        xcb_keycode_t keycode = 0;
        uint16_t modifiers = 0;
    };
    using Key = std::pair<int, quint32>;

    // Loop thread only.
    // The key code and modifiers the shortcut has on the keyboard now; none without such a key.
    std::optional<Grab> target(const Shortcut &shortcut) const;
    std::optional<Grab> grab(const Shortcut &shortcut);
    void ungrab(const Grab &grab);
    void handleEvent(const xcb_generic_event_t &event);
    QList<uint16_t> lockVariants() const;

    std::unique_ptr<XcbConnection> m_connection;
    std::unique_ptr<X11Keyboard> m_keyboard;
    XcbEventLoop m_loop;

    mutable std::mutex m_mutex;
    std::map<Key, std::pair<Grab, std::function<void()>>> m_registrations;
    bool m_suspended = false;                            // no grab is held while set
    QHash<xcb_keycode_t, xcb_timestamp_t> m_lastRelease; // loop thread only
};
