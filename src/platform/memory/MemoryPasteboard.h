#pragma once
// An in-process pasteboard for tests and headless runs. Tests play the other programs: a copy
// made elsewhere replaces the contents and moves the change count without our ownership.

#include "platform/Pasteboard.h"

#include <atomic>
#include <mutex>

class MemoryPasteboard : public Pasteboard {
public:
    qint64 changeCount() const override;
    std::optional<QList<PasteboardItem>> items() override;
    qint64 write(const QList<PasteboardItem> &items) override;
    qint64 clear() override;
    bool ownsContents() const override;
    bool announcesChanges() const override;
    // Off: changes are recorded without calling the change handler, as by a backend that is
    // never told of them. Any thread.
    void setAnnouncesChanges(bool announces);

    // Another program's copy, made in `from` when given. Any thread.
    qint64 simulateCopy(const QList<PasteboardItem> &items, std::optional<RunningApplication> from = std::nullopt);
    // Another program's copy whose owner never answers: items() gives none.
    qint64 simulateUnreadableCopy();
    // Another program's copy that a newer one replaced before it could be read, and that newer one.
    qint64 simulateReplacedCopy(const QList<PasteboardItem> &newer);
    // What is on the pasteboard, whoever put it there, without reading through items().
    QList<PasteboardItem> contents() const;
    // How many times write() and clear() were called.
    int writeCount() const;
    int clearCount() const;

private:
    mutable std::mutex m_mutex;
    QList<PasteboardItem> m_items;
    qint64 m_changeCount = 0;
    bool m_owned = false;
    bool m_readable = true;
    std::atomic<bool> m_announces{true};
    int m_writes = 0;
    int m_clears = 0;
};
