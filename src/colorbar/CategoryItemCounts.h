#pragma once
// The number of items in each category, for the bar's rows to show at once. Each category is
// counted off the GUI thread when it first appears; an announced new item adds to the counts
// straight away; deletes, clears, imports and changes of an item's categories, whose effect an
// announcement does not fully tell, have the categories they may touch counted again off the GUI
// thread, the last known count shown meanwhile. An announcement that races a count is checked by
// one more count once the history is quiet. GUI thread.

#include "core/PBCategory.h"
#include "platform/NotificationCenter.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class QTimer;
class TaviPBManager;

class CategoryItemCounts : public QObject {
    Q_OBJECT
public:
    // Counts one category's items; called off the GUI thread, one category at a time.
    using Counter = std::function<qsizetype(const PBCategory &)>;

    // Counts in the history's store.
    explicit CategoryItemCounts(TaviPBManager &history, QObject *parent = nullptr);
    explicit CategoryItemCounts(Counter counter, QObject *parent = nullptr);
    ~CategoryItemCounts() override;

    // The categories to count (the bar's rows): new ones are counted, gone ones forgotten.
    void setCategories(const QList<PBCategory> &categories);
    // The last known count; none until the category's first count has landed.
    std::optional<qsizetype> count(const QString &categoryId) const;
    // Counts these categories (every one when none is named) again, off the GUI thread.
    void recount(const QStringList &categoryIds = {});
    // Whether a count runs or is about to.
    bool isCounting() const;
    // While held, no count starts (announcements still adjust the known counts): a count holds the
    // store, which the bar reads while it is laid out and shown.
    void setHeld(bool held);
    // How long the history must be quiet before an announcement that raced a count is checked.
    void setSettleDelay(std::chrono::milliseconds delay);
    // The clock that tells how long ago a count landed, in ms (a monotonic clock unless set);
    // set before the first count.
    void setClockForTesting(std::function<qint64()> now);

Q_SIGNALS:
    void countChanged(const QString &categoryId, qsizetype count);

private:
    struct Entry {
        PBCategory category;
        std::optional<qsizetype> count;
        bool dirty = true;      // to be counted by the next run
        bool counting = false;  // in the run under way
        bool unsettled = false; // to be counted once the history is quiet
        bool raced = false;     // changed while counted: the result may or may not hold the changes
        qsizetype racedDelta = 0;
        qint64 countedAt = -1; // when the last result landed (ms of m_now)
    };
    struct Result {
        QString id;
        qsizetype count = 0;
    };

    void observe(const QString &name, void (CategoryItemCounts::*handler)(const Notification &));
    void itemsAdded(const Notification &notification);
    void itemDeleted(const Notification &notification);
    void itemUpdated(const Notification &notification);
    void membershipChanged(const Notification &notification);
    void historyReplaced(const Notification &notification);
    // Adds to a known count at once; a change racing a count is checked again later.
    void adjust(const QString &id, qsizetype delta);
    void markDirty(const QStringList &ids);
    QStringList customCategoryIds() const;
    void scheduleRun(int delayMs);
    void startRun();
    void settle();
    void finishRun(const QList<Result> &results);
    void store(Entry &entry, qsizetype count);

    Counter m_counter;
    QHash<QString, Entry> m_entries;
    QTimer *m_runTimer = nullptr;
    QTimer *m_settleTimer = nullptr;
    std::function<qint64()> m_now;
    bool m_running = false;
    bool m_held = false;
    ObserverBag m_observers;
};
