#include "platform/memory/RecordingShortcutMonitor.h"

bool RecordingShortcutMonitor::registerShortcut(const Shortcut &shortcut, std::function<void()> action)
{
    const Key key{shortcut.keyCode, shortcut.modifierFlags};
    if (!shortcut.isValid() || m_taken.contains(key))
        return false;
    if (!m_actions.count(key))
        ++m_grabsAndReleases;
    m_actions[key] = std::move(action);
    return true;
}

void RecordingShortcutMonitor::unregisterShortcut(const Shortcut &shortcut)
{
    m_grabsAndReleases += int(m_actions.erase({shortcut.keyCode, shortcut.modifierFlags}));
}

void RecordingShortcutMonitor::unregisterAllShortcuts() { m_actions.clear(); }

bool RecordingShortcutMonitor::isShortcutRegistered(const Shortcut &shortcut) const
{
    return m_actions.count({shortcut.keyCode, shortcut.modifierFlags}) > 0;
}

bool RecordingShortcutMonitor::simulatePress(const Shortcut &shortcut)
{
    const auto found = m_actions.find({shortcut.keyCode, shortcut.modifierFlags});
    if (found == m_actions.end() || m_suspended)
        return false;
    // The action may unregister itself; run a copy.
    const std::function<void()> action = found->second;
    if (action)
        action();
    return true;
}

void RecordingShortcutMonitor::simulateTakenElsewhere(const Shortcut &shortcut)
{
    m_taken.append({shortcut.keyCode, shortcut.modifierFlags});
}

QList<Shortcut> RecordingShortcutMonitor::registeredShortcuts() const
{
    QList<Shortcut> result;
    for (const auto &entry : m_actions)
        result.append(Shortcut(entry.first.first, entry.first.second));
    return result;
}
