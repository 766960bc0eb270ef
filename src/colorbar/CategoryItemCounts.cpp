#include "colorbar/CategoryItemCounts.h"

#include "capture/TaviPBManager.h"
#include "core/NotificationPayloads.h"
#include "core/PBItem.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace {
// Invalidations within this time are counted by one run.
constexpr int kCoalesceMs = 50;
// An announcement this soon after a count landed may belong to an item the count already held
// (the capture announces a batch after storing all of it).
constexpr qint64 kRaceWindowMs = 2000;
constexpr std::chrono::milliseconds kDefaultSettleDelay(1000);
} // namespace

CategoryItemCounts::CategoryItemCounts(TaviPBManager &history, QObject *parent)
    : CategoryItemCounts([history = &history](const PBCategory &category) { return history->itemCount(category); },
                         parent)
{
}

CategoryItemCounts::CategoryItemCounts(Counter counter, QObject *parent)
    : QObject(parent),
      m_counter(std::move(counter))
{
    QElapsedTimer clock;
    clock.start();
    m_now = [clock] { return clock.elapsed(); };
    m_runTimer = new QTimer(this);
    m_runTimer->setSingleShot(true);
    connect(m_runTimer, &QTimer::timeout, this, &CategoryItemCounts::startRun);
    m_settleTimer = new QTimer(this);
    m_settleTimer->setSingleShot(true);
    m_settleTimer->setInterval(kDefaultSettleDelay);
    connect(m_settleTimer, &QTimer::timeout, this, &CategoryItemCounts::settle);

    observe(NotificationName::historyDidAddNewItem, &CategoryItemCounts::itemsAdded);
    observe(NotificationName::historyItemDidDelete, &CategoryItemCounts::itemDeleted);
    observe(NotificationName::historyItemDidUpdate, &CategoryItemCounts::itemUpdated);
    observe(NotificationName::categoryTagStatusChanged, &CategoryItemCounts::membershipChanged);
    observe(NotificationName::historyItemsDidClear, &CategoryItemCounts::historyReplaced);
    observe(NotificationName::remoteDataChanged, &CategoryItemCounts::historyReplaced);
}

CategoryItemCounts::~CategoryItemCounts() = default;

void CategoryItemCounts::observe(const QString &name, void (CategoryItemCounts::*handler)(const Notification &))
{
    m_observers.observe(name, [self = QPointer<CategoryItemCounts>(this), handler](const Notification &notification) {
        if (self)
            (self.data()->*handler)(notification);
    });
}

void CategoryItemCounts::setCategories(const QList<PBCategory> &categories)
{
    QSet<QString> ids;
    bool added = false;
    for (const PBCategory &category : categories) {
        ids.insert(category.id());
        auto it = m_entries.find(category.id());
        if (it == m_entries.end()) {
            Entry entry;
            entry.category = category;
            m_entries.insert(category.id(), entry);
            added = true;
        } else {
            it->category = category;
        }
    }
    m_entries.removeIf([&](const QHash<QString, Entry>::iterator &it) { return !ids.contains(it.key()); });
    if (added)
        scheduleRun(0);
}

std::optional<qsizetype> CategoryItemCounts::count(const QString &categoryId) const
{
    const auto it = m_entries.constFind(categoryId);
    return it == m_entries.cend() ? std::nullopt : it->count;
}

void CategoryItemCounts::recount(const QStringList &categoryIds)
{
    markDirty(categoryIds.isEmpty() ? m_entries.keys() : categoryIds);
}

bool CategoryItemCounts::isCounting() const
{
    return m_running || m_runTimer->isActive()
           || (m_held
               && std::any_of(m_entries.cbegin(), m_entries.cend(), [](const Entry &entry) { return entry.dirty; }));
}

void CategoryItemCounts::setHeld(bool held)
{
    m_held = held;
    if (held)
        return;
    for (const Entry &entry : std::as_const(m_entries)) {
        if (entry.dirty) {
            scheduleRun(0);
            return;
        }
    }
}

void CategoryItemCounts::setSettleDelay(std::chrono::milliseconds delay) { m_settleTimer->setInterval(delay); }

void CategoryItemCounts::setClockForTesting(std::function<qint64()> now) { m_now = std::move(now); }

// --- Announcements

void CategoryItemCounts::itemsAdded(const Notification &notification)
{
    // The capture files each new item under each of its categories' ids; other posters may send
    // only the items. All counts every item once.
    const std::optional<NotificationPayload::ItemChanges> changes =
        NotificationPayload::ItemChanges::decode(notification);
    if (!changes)
        return;
    const QString all = categoryId(PBDefaultCategory::all);
    if (changes->byCategory.isEmpty()) {
        QSet<QUuid> items;
        for (const PBItem &item : changes->items) {
            items.insert(item.uuid());
            for (const PBCategory &category : item.categories()) {
                if (category.id() != all)
                    adjust(category.id(), 1);
            }
        }
        if (!items.isEmpty())
            adjust(all, items.size());
        return;
    }
    for (auto it = changes->byCategory.cbegin(); it != changes->byCategory.cend(); ++it) {
        if (it.key() != all)
            adjust(it.key(), it.value().size());
    }
    // A batch's items come once each, so All grows by their number in one step however large the
    // batch; without them, an item filed under several categories is counted once.
    qsizetype added = changes->items.size();
    if (changes->items.isEmpty()) {
        QSet<QUuid> items;
        for (const QList<PBItem> &filed : changes->byCategory) {
            for (const PBItem &item : filed)
                items.insert(item.uuid());
        }
        added = items.size();
    }
    if (added > 0)
        adjust(all, added);
}

void CategoryItemCounts::itemDeleted(const Notification &notification)
{
    const std::optional<PBItem> deleted = NotificationPayload::ChangedItem::decode(notification);
    if (!deleted) {
        recount();
        return;
    }
    // An item's kind and its place in All never change; the categories the user files it under
    // may have changed since the item was read.
    const PBItem &item = *deleted;
    adjust(categoryId(PBDefaultCategory::all), -1);
    for (const PBCategory &category : item.categories()) {
        if (category.type() != PBDefaultCategory::all && category.type() != PBDefaultCategory::custom)
            adjust(category.id(), -1);
    }
    markDirty(customCategoryIds());
}

void CategoryItemCounts::itemUpdated(const Notification &)
{
    // A copy of a stored item files it under the active category too.
    const QString active = TaviSettings::shared().activeCategoryID();
    if (!active.isEmpty())
        markDirty({active});
}

void CategoryItemCounts::membershipChanged(const Notification &) { markDirty(customCategoryIds()); }

void CategoryItemCounts::historyReplaced(const Notification &) { recount(); }

QStringList CategoryItemCounts::customCategoryIds() const
{
    QStringList ids;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (it->category.type() == PBDefaultCategory::custom)
            ids.append(it.key());
    }
    return ids;
}

// --- Counting

void CategoryItemCounts::adjust(const QString &id, qsizetype delta)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end() || delta == 0)
        return;
    Entry &entry = *it;
    if (entry.counting) {
        entry.raced = true;
        entry.racedDelta += delta;
    } else if (entry.countedAt >= 0 && m_now() - entry.countedAt < kRaceWindowMs) {
        entry.unsettled = true;
    }
    if (entry.raced || entry.unsettled)
        m_settleTimer->start(); // again: the check waits for the end of a burst
    // Before its first count the category is counted with the change already in the store.
    if (entry.count)
        store(entry, *entry.count + delta);
}

void CategoryItemCounts::markDirty(const QStringList &ids)
{
    bool any = false;
    for (const QString &id : ids) {
        const auto it = m_entries.find(id);
        if (it == m_entries.end())
            continue;
        it->dirty = true;
        any = true;
    }
    if (any)
        scheduleRun(kCoalesceMs);
}

void CategoryItemCounts::scheduleRun(int delayMs)
{
    if (m_running || m_held)
        return; // the run under way, or the release of the hold, starts the next one
    if (!m_runTimer->isActive() || m_runTimer->remainingTime() > delayMs)
        m_runTimer->start(delayMs);
}

void CategoryItemCounts::startRun()
{
    if (m_running || m_held)
        return;
    QList<PBCategory> categories;
    for (Entry &entry : m_entries) {
        if (!entry.dirty)
            continue;
        entry.dirty = false;
        entry.unsettled = false;
        entry.counting = true;
        entry.raced = false;
        entry.racedDelta = 0;
        categories.append(entry.category);
    }
    if (categories.isEmpty())
        return;
    m_running = true;
    const QPointer<CategoryItemCounts> self(this);
    GlobalQueue::async([self, counter = m_counter, categories] {
        QList<Result> results;
        results.reserve(categories.size());
        for (const PBCategory &category : categories)
            results.append(Result{category.id(), counter(category)});
        MainQueue::async([self, results] {
            if (self)
                self->finishRun(results);
        });
    });
}

void CategoryItemCounts::finishRun(const QList<Result> &results)
{
    m_running = false;
    bool anyDirty = false;
    for (const Result &result : results) {
        const auto it = m_entries.find(result.id);
        if (it == m_entries.end() || !it->counting)
            continue;
        Entry &entry = *it;
        entry.counting = false;
        entry.countedAt = m_now();
        if (entry.raced) {
            // Taken as not holding the changes met while counting, until a count in quiet confirms.
            entry.unsettled = true;
            m_settleTimer->start();
        }
        store(entry, result.count + entry.racedDelta);
        entry.raced = false;
        entry.racedDelta = 0;
    }
    for (const Entry &entry : std::as_const(m_entries))
        anyDirty = anyDirty || entry.dirty;
    if (anyDirty)
        scheduleRun(0);
}

void CategoryItemCounts::settle()
{
    for (Entry &entry : m_entries) {
        if (entry.unsettled)
            entry.dirty = true;
    }
    if (m_running || m_held)
        return; // the run under way, or the release of the hold, starts the next one
    startRun();
}

void CategoryItemCounts::store(Entry &entry, qsizetype count)
{
    count = std::max<qsizetype>(0, count);
    if (entry.count == count)
        return;
    entry.count = count;
    Q_EMIT countChanged(entry.category.id(), count);
}
