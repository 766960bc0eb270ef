#pragma once
// Global hot keys bound to keys of the standard defaults: the shortcut stored under a key (as
// {"keyCode", "modifierFlags"}) runs the bound action; without a stored value the registered
// default applies. An empty stored map means the user removed the shortcut. Main thread.

#include "platform/Shortcut.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class ShortcutBinder {
public:
    static ShortcutBinder &shared();

    // Defaults used for keys that hold no stored shortcut; later registrations add to them.
    void registerDefaultShortcuts(const QMap<QString, Shortcut> &defaults);
    // A stored shortcut equal to a former default of the key is forgotten, so the current default
    // applies; any other stored choice, a removed shortcut included, stays.
    void retireDefault(const QString &defaultsKey, const Shortcut &formerDefault);
    // Told when a key's shortcut cannot be had because another program holds its combination.
    using RefusalHandler = std::function<void(const QString &defaultsKey, const Shortcut &shortcut)>;
    void setRefusalHandler(RefusalHandler handler) { m_refusalHandler = std::move(handler); }
    // Registers the key's shortcut with the shortcut monitor; a binding of the same key is replaced.
    // False when there is no shortcut, another program holds it, or another registration of this
    // program has it already (which keeps it).
    bool bindShortcut(const QString &defaultsKey, std::function<void()> action);
    void breakBinding(const QString &defaultsKey);
    bool isBound(const QString &defaultsKey) const { return m_bindings.contains(defaultsKey); }

    // The stored shortcut, else the default; none when removed or never given.
    std::optional<Shortcut> shortcut(const QString &defaultsKey) const;
    // Stores the shortcut (none removes it) and moves a bound action to it.
    void setShortcut(const QString &defaultsKey, const std::optional<Shortcut> &shortcut);

    static QVariant encode(const std::optional<Shortcut> &shortcut);
    // None for anything but a map with a valid key code.
    static std::optional<Shortcut> decode(const QVariant &stored);

    // Forgets the defaults and breaks every binding (tests).
    void reset();

private:
    struct Binding {
        std::optional<Shortcut> registered;
        std::function<void()> action;
    };
    QMap<QString, Shortcut> m_defaults;
    QHash<QString, Binding> m_bindings;
    RefusalHandler m_refusalHandler;
};
