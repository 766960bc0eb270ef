#pragma once
// Writes the history's pending changes and tells the user, once per cause and in plain words, when
// that fails (disk full, read-only, an I/O error); after a success a new failure is told again.
// Also counts the items whose changes are still unwritten. Any thread.

#include "capture/HistoryProblems.h"
#include "core/store/ManagedObjectContext.h"

#include <QString>

#include <memory>

class HistorySaver {
public:
    using FailureCause = StoreError::Kind;

    HistorySaver(std::shared_ptr<ManagedObjectContext> context, HistoryProblems &problems);

    // Saves the pending changes; false when that failed (they stay pending).
    bool save();
    // The history items (new, changed or deleted) whose changes are not written yet.
    int unsavedItemCount() const;

    static FailureCause causeOf(const StoreError &error);
    // What the user is told about a failed save.
    static QString message(FailureCause cause, const StoreError &error);

private:
    std::shared_ptr<ManagedObjectContext> m_context;
    HistoryProblems &m_problems;
    ToldOnce m_told;
};
