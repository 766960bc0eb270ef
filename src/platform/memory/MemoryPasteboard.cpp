#include "platform/memory/MemoryPasteboard.h"

qint64 MemoryPasteboard::changeCount() const
{
    std::lock_guard lock(m_mutex);
    return m_changeCount;
}

std::optional<QList<PasteboardItem>> MemoryPasteboard::items()
{
    std::lock_guard lock(m_mutex);
    if (!m_readable)
        return std::nullopt;
    return m_items;
}

qint64 MemoryPasteboard::write(const QList<PasteboardItem> &items)
{
    std::lock_guard lock(m_mutex);
    m_items = items;
    m_owned = true;
    m_readable = true;
    ++m_writes;
    recordChange({++m_changeCount, items, std::nullopt, true});
    return m_changeCount;
}

qint64 MemoryPasteboard::clear()
{
    std::lock_guard lock(m_mutex);
    m_items.clear();
    m_owned = false;
    m_readable = true;
    ++m_clears;
    recordChange({++m_changeCount, QList<PasteboardItem>(), std::nullopt, true});
    return m_changeCount;
}

bool MemoryPasteboard::ownsContents() const
{
    std::lock_guard lock(m_mutex);
    return m_owned;
}

qint64 MemoryPasteboard::simulateCopy(const QList<PasteboardItem> &items, std::optional<RunningApplication> from)
{
    std::lock_guard lock(m_mutex);
    m_items = items;
    m_owned = false;
    m_readable = true;
    recordChange({++m_changeCount, items, std::move(from), false});
    return m_changeCount;
}

qint64 MemoryPasteboard::simulateUnreadableCopy()
{
    std::lock_guard lock(m_mutex);
    m_items.clear();
    m_owned = false;
    m_readable = false;
    recordChange({++m_changeCount, std::nullopt, std::nullopt, false, PasteboardChange::Unread::NoAnswer});
    return m_changeCount;
}

qint64 MemoryPasteboard::simulateReplacedCopy(const QList<PasteboardItem> &newer)
{
    {
        std::lock_guard lock(m_mutex);
        recordChange({++m_changeCount, std::nullopt, std::nullopt, false, PasteboardChange::Unread::Replaced});
    }
    return simulateCopy(newer);
}

QList<PasteboardItem> MemoryPasteboard::contents() const
{
    std::lock_guard lock(m_mutex);
    return m_items;
}

int MemoryPasteboard::writeCount() const
{
    std::lock_guard lock(m_mutex);
    return m_writes;
}

int MemoryPasteboard::clearCount() const
{
    std::lock_guard lock(m_mutex);
    return m_clears;
}

bool MemoryPasteboard::announcesChanges() const { return m_announces.load(); }

void MemoryPasteboard::setAnnouncesChanges(bool announces) { m_announces.store(announces); }
