#pragma once
// Writes the history's pending changes and tells the user, once per cause and in plain words, when
// that fails (disk full, read-only, an I/O error); after a success a new failure is told again.
// Also counts the items whose changes are still unwritten. Any thread.

#include "core/store/ManagedObjectContext.h"

#include <QSet>
#include <QString>

#include <memory>
#include <mutex>

// Remembers which problems the user was told about, so each is told once. Any thread.
class ToldOnce {
public:
    // True the first time a cause is asked about (until forgetAll()).
    bool isFirst(const QString &cause);
    void forgetAll();
    bool isEmpty() const;

private:
    mutable std::mutex m_mutex;
    QSet<QString> m_told;
};

class HistorySaver {
public:
    using FailureCause = StoreError::Kind;

    explicit HistorySaver(std::shared_ptr<ManagedObjectContext> context);

    // Saves the pending changes; false when that failed (they stay pending).
    bool save();
    // The history items (new, changed or deleted) whose changes are not written yet.
    int unsavedItemCount() const;

    static FailureCause causeOf(const StoreError &error);
    // What the user is told about a failed save.
    static QString message(FailureCause cause, const StoreError &error);

private:
    std::shared_ptr<ManagedObjectContext> m_context;
    ToldOnce m_told;
};

// Posts "historyProblemOccurred" with this title and text on the main thread. Any thread.
void postHistoryProblem(const QString &title, const QString &text);
