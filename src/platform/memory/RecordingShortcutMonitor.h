#pragma once
// A shortcut monitor for tests: keeps the registrations, lets a test press a shortcut, and plays
// another program that holds some combinations.

#include "platform/ShortcutMonitor.h"

#include <QList>

#include <map>
#include <utility>

class RecordingShortcutMonitor : public ShortcutMonitor {
public:
    bool registerShortcut(const Shortcut &shortcut, std::function<void()> action) override;
    void unregisterShortcut(const Shortcut &shortcut) override;
    void unregisterAllShortcuts() override;
    bool isShortcutRegistered(const Shortcut &shortcut) const override;
    void setSuspended(bool suspended) override { m_suspended = suspended; }
    bool isSuspended() const override { return m_suspended; }

    // Runs the action registered for the shortcut; false when none is or the monitor is suspended.
    bool simulatePress(const Shortcut &shortcut);
    // Registrations of this combination fail from now on, as if another program held it.
    void simulateTakenElsewhere(const Shortcut &shortcut);
    QList<Shortcut> registeredShortcuts() const;
    // Combinations newly taken or given back: what costs a round trip to the X server.
    int grabsAndReleases() const { return m_grabsAndReleases; }

private:
    using Key = std::pair<int, quint32>;
    std::map<Key, std::function<void()>> m_actions;
    QList<Key> m_taken;
    bool m_suspended = false;
    int m_grabsAndReleases = 0;
};
