#pragma once
// The digit hot keys of the most recent items: digit key i + 1 pastes item i through the paste
// routine, with the modifier "historyQuickSelectionKey" names, for at most nine items. Keys still
// wanted stay bound when the items change. GUI thread unless a function says otherwise.

#include "core/PBItem.h"
#include "platform/Shortcut.h"

#include <QList>
#include <QObject>
#include <QUuid>

#include <atomic>
#include <functional>

class TaviPBManager;

class QuickSelectionKeys : public QObject {
    Q_OBJECT
public:
    // The virtual key codes of the digits 1 to 9.
    static constexpr int kDigitKeyCodes[9] = {18, 19, 20, 21, 23, 22, 26, 28, 25};

    // `items` is where the items the keys paste are kept; `refreshed` runs after each refresh.
    QuickSelectionKeys(TaviPBManager &manager, QList<PBItem> &items, std::function<void()> refreshed,
                       QObject *parent = nullptr);
    ~QuickSelectionKeys() override;

    // Binds digit key i + 1 to item i. A read asked for before is not bound after it.
    void refresh(const QList<PBItem> &items);
    // Reads the history's first items off the GUI thread and refreshes with them on it. Coalesced:
    // several calls in one turn of the event loop make one request, and calls during a read make
    // one more read after it; a read that a later call replaced is not bound. Any thread.
    void requestRefresh();
    // Whether a requested refresh is still to be made. Main thread.
    bool isRefreshing() const { return m_refreshQueued.load() || m_reading; }
    // The item was deleted: its key goes now, before the next read is in. Main thread.
    void forget(const QUuid &uuid);
    // No refresh requested from now on is made (the program is quitting).
    void stop() { m_stopped = true; }
    // The keys registered last, whatever the modifier setting says now.
    void unregisterAll();
    // Copies the item out, pastes it when quick paste is on.
    void paste(const PBItem &item);
    static quint32 modifier();
    QList<Shortcut> registered() const { return m_registered; }

private:
    void readItems();
    void bind(const QList<PBItem> &items);

    TaviPBManager &m_manager;
    QList<PBItem> &m_items;
    std::function<void()> m_refreshed;
    QList<Shortcut> m_registered;
    std::atomic<bool> m_refreshQueued{false};
    bool m_reading = false;   // a read of the items is under way
    bool m_readAgain = false; // and another was asked for meanwhile
    // Moves with every request and every delete; a read made before it is not bound.
    quint64 m_generation = 0;
    bool m_stopped = false;
};
