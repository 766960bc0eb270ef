#include "platform/ShortcutBinder.h"

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/ShortcutMonitor.h"

#include <QVariantMap>

namespace {
const QString kKeyCode = QStringLiteral("keyCode");
const QString kModifierFlags = QStringLiteral("modifierFlags");
} // namespace

ShortcutBinder &ShortcutBinder::shared()
{
    static ShortcutBinder binder;
    return binder;
}

void ShortcutBinder::registerDefaultShortcuts(const QMap<QString, Shortcut> &defaults)
{
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        m_defaults.insert(it.key(), it.value());
}

void ShortcutBinder::retireDefault(const QString &defaultsKey, const Shortcut &formerDefault)
{
    Defaults &defaults = Defaults::standard();
    const QVariant stored = defaults.value(defaultsKey);
    if (stored.isValid() && decode(stored) == formerDefault) {
        LOG_INFO("ShortcutBinder::retireDefault()",
                 QStringLiteral("%1 moves from the former default %2 to the current one")
                     .arg(defaultsKey, formerDefault.displayText()));
        defaults.remove(defaultsKey);
    }
}

bool ShortcutBinder::bindShortcut(const QString &defaultsKey, std::function<void()> action)
{
    breakBinding(defaultsKey);
    Binding binding{shortcut(defaultsKey), std::move(action)};
    bool registered = false;
    if (binding.registered && ShortcutMonitor::shared().isShortcutRegistered(*binding.registered)) {
        // Registering would silently take the combination from another of our shortcuts.
        LOG_WARNING("ShortcutBinder::bindShortcut()",
                    QStringLiteral("The shortcut %1 of %2 is already another shortcut of this program")
                        .arg(binding.registered->displayText(), defaultsKey));
        binding.registered.reset();
    } else if (binding.registered) {
        registered = ShortcutMonitor::shared().registerShortcut(*binding.registered, binding.action);
        if (!registered) {
            LOG_WARNING("ShortcutBinder::bindShortcut()",
                        QStringLiteral("The shortcut %1 of %2 is taken by another program")
                            .arg(binding.registered->displayText(), defaultsKey));
            const Shortcut refused = *binding.registered;
            binding.registered.reset();
            if (m_refusalHandler)
                m_refusalHandler(defaultsKey, refused);
        }
    }
    m_bindings.insert(defaultsKey, std::move(binding));
    return registered;
}

void ShortcutBinder::breakBinding(const QString &defaultsKey)
{
    const auto found = m_bindings.constFind(defaultsKey);
    if (found == m_bindings.constEnd())
        return;
    if (found->registered)
        ShortcutMonitor::shared().unregisterShortcut(*found->registered);
    m_bindings.erase(found);
}

std::optional<Shortcut> ShortcutBinder::shortcut(const QString &defaultsKey) const
{
    const QVariant stored = Defaults::standard().value(defaultsKey);
    if (stored.isValid())
        return decode(stored);
    if (const auto found = m_defaults.constFind(defaultsKey); found != m_defaults.constEnd())
        return *found;
    return std::nullopt;
}

void ShortcutBinder::setShortcut(const QString &defaultsKey, const std::optional<Shortcut> &shortcut)
{
    Defaults::standard().setValue(defaultsKey, encode(shortcut));
    if (const auto found = m_bindings.constFind(defaultsKey); found != m_bindings.constEnd()) {
        auto action = found->action;
        bindShortcut(defaultsKey, std::move(action));
    }
}

QVariant ShortcutBinder::encode(const std::optional<Shortcut> &shortcut)
{
    QVariantMap map;
    if (shortcut && shortcut->isValid()) {
        map.insert(kKeyCode, qint64(shortcut->keyCode));
        map.insert(kModifierFlags, qint64(shortcut->modifierFlags));
    }
    return map;
}

std::optional<Shortcut> ShortcutBinder::decode(const QVariant &stored)
{
    if (stored.metaType().id() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = stored.toMap();
    bool codeOk = false;
    bool flagsOk = false;
    const qint64 code = map.value(kKeyCode).toLongLong(&codeOk);
    const qint64 flags = map.value(kModifierFlags).toLongLong(&flagsOk);
    if (!codeOk || !flagsOk || code < 0 || code > 0xFFFF || flags < 0 || flags > 0xFFFFFFFF)
        return std::nullopt;
    const Shortcut shortcut{int(code), quint32(flags)};
    if (!shortcut.isValid())
        return std::nullopt;
    return shortcut;
}

void ShortcutBinder::reset()
{
    const QStringList keys = m_bindings.keys();
    for (const QString &key : keys)
        breakBinding(key);
    m_defaults.clear();
}
