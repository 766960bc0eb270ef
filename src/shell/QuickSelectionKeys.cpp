#include "shell/QuickSelectionKeys.h"

#include "capture/TaviPBManager.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/ShortcutMonitor.h"
#include "shell/PasteRoutine.h"

#include <QPointer>

#include <algorithm>
#include <utility>

namespace {

// Only nine digit keys exist, whatever the settings say.
int boundedCapacity(int capacity) { return std::clamp(capacity, 0, 9); }

} // namespace

QuickSelectionKeys::QuickSelectionKeys(TaviPBManager &manager, QList<PBItem> &items, std::function<void()> refreshed,
                                       QObject *parent)
    : QObject(parent),
      m_manager(manager),
      m_items(items),
      m_refreshed(std::move(refreshed))
{
}

QuickSelectionKeys::~QuickSelectionKeys() { unregisterAll(); }

quint32 QuickSelectionKeys::modifier() { return modifierFlags(TaviSettings::shared().historyQuickSelectionKey()); }

// After a change of the modifier the old keys must go, not the ones the new modifier would make.
void QuickSelectionKeys::unregisterAll()
{
    ShortcutMonitor &monitor = ShortcutMonitor::shared();
    for (const Shortcut &shortcut : std::as_const(m_registered))
        monitor.unregisterShortcut(shortcut);
    m_registered.clear();
}

void QuickSelectionKeys::refresh(const QList<PBItem> &items)
{
    ++m_generation;
    m_readAgain = false;
    bind(items);
}

void QuickSelectionKeys::bind(const QList<PBItem> &items)
{
    const int capacity = boundedCapacity(TaviSettings::shared().menuHistoryCapacity());
    m_items = items.mid(0, capacity);
    const quint32 modifier = QuickSelectionKeys::modifier();
    QList<Shortcut> wanted;
    for (qsizetype i = 0; i < m_items.size(); ++i)
        wanted.append(Shortcut(kDigitKeyCodes[i], modifier));
    // Keys still wanted stay bound and only take their new item: after each copy, nothing is
    // given back to the X server and taken again.
    ShortcutMonitor &monitor = ShortcutMonitor::shared();
    QList<Shortcut> kept;
    for (const Shortcut &shortcut : std::as_const(m_registered)) {
        if (wanted.contains(shortcut))
            kept.append(shortcut);
        else
            monitor.unregisterShortcut(shortcut);
    }
    m_registered = kept;
    const QPointer<QuickSelectionKeys> self(this);
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const Shortcut &shortcut = wanted.at(i);
        const bool ours = kept.contains(shortcut);
        // Registering would take the combination over from another of our shortcuts, and
        // unregistering the digit keys later would leave that one dead.
        if (!ours && monitor.isShortcutRegistered(shortcut)) {
            LOG_WARNING(
                "refreshQuickSelection(items:)",
                QStringLiteral("The digit key %1 is another shortcut of TaviPaste").arg(shortcut.displayText()));
            continue;
        }
        const PBItem item = m_items.at(i);
        const bool registered = monitor.registerShortcut(shortcut, [self, item] {
            if (self)
                self->paste(item);
        });
        if (registered && !ours)
            m_registered.append(shortcut);
        else if (!registered)
            LOG_WARNING("refreshQuickSelection(items:)",
                        QStringLiteral("The digit key %1 is taken by another program").arg(shortcut.displayText()));
    }
    if (m_refreshed)
        m_refreshed();
}

void QuickSelectionKeys::requestRefresh()
{
    if (m_refreshQueued.exchange(true))
        return;
    const QPointer<QuickSelectionKeys> self(this);
    MainQueue::async([self] {
        if (!self)
            return;
        self->m_refreshQueued = false;
        ++self->m_generation;
        self->readItems();
    });
}

void QuickSelectionKeys::readItems()
{
    if (m_stopped)
        return;
    // One read at a time, so an older answer never lands after a newer one.
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    m_reading = true;
    const quint64 generation = m_generation;
    // Read off the GUI thread: the store's lock may be held by the save of a large copy, and the
    // newest items' rows may be that copy.
    const QPointer<QuickSelectionKeys> self(this);
    GlobalQueue::async([self, &manager = m_manager, generation,
                        capacity = boundedCapacity(TaviSettings::shared().menuHistoryCapacity())] {
        // The list's page read (pinned first, then newest), not the store's lists: rebuilding
        // those after a delete counts the whole history.
        QList<PBItem> items = manager.getItemsPage(TaviPBManager::ListQuery{}, 0, capacity);
        MainQueue::async([self, generation, items = std::move(items)] {
            if (!self)
                return;
            self->m_reading = false;
            // A later request reads again; a delete since may be among these items.
            if (std::exchange(self->m_readAgain, false))
                self->readItems();
            else if (!self->m_stopped && generation == self->m_generation)
                self->bind(items);
        });
    });
}

void QuickSelectionKeys::forget(const QUuid &uuid)
{
    // A read under way may still hold the item.
    ++m_generation;
    ShortcutMonitor &monitor = ShortcutMonitor::shared();
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).uuid() != uuid)
            continue;
        const int keyCode = kDigitKeyCodes[i];
        const auto bound = std::find_if(m_registered.begin(), m_registered.end(),
                                        [keyCode](const Shortcut &shortcut) { return shortcut.keyCode == keyCode; });
        if (bound == m_registered.end())
            continue;
        monitor.unregisterShortcut(*bound);
        m_registered.erase(bound);
    }
}

void QuickSelectionKeys::paste(const PBItem &item)
{
    PasteRoutine::paste(m_manager, {item}, item.primaryCategory(), PasteRoutine::Feedback::immediate);
}
