#pragma once
// Global hot keys: a shortcut pressed anywhere on the desktop runs its action on the main
// thread. Command is the Super key, Option is Alt, Control is Ctrl.

#include "platform/Shortcut.h"

#include <functional>
#include <memory>

class ShortcutMonitor {
public:
    virtual ~ShortcutMonitor() = default;

    // The backend chosen at start-up (a recording fake until then).
    static ShortcutMonitor &shared();
    static void setShared(std::unique_ptr<ShortcutMonitor> monitor);

    // Main thread. False when the shortcut is invalid or another program holds the combination;
    // registering a shortcut already registered here replaces its action.
    virtual bool registerShortcut(const Shortcut &shortcut, std::function<void()> action) = 0;
    virtual void unregisterShortcut(const Shortcut &shortcut) = 0;
    virtual void unregisterAllShortcuts() = 0;
    virtual bool isShortcutRegistered(const Shortcut &shortcut) const = 0;

    // While suspended no combination is held, so that a shortcut recorder of ours receives every
    // chord and no action runs; registrations go on (a combination another program holds is still
    // refused) and take hold again on resume. Main thread.
    virtual void setSuspended(bool suspended) = 0;
    virtual bool isSuspended() const = 0;
};
