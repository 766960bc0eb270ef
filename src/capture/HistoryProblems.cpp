#include "capture/HistoryProblems.h"

#include "platform/DispatchQueue.h"

#include <QPointer>

bool ToldOnce::isFirst(const QString &cause)
{
    std::lock_guard lock(m_mutex);
    if (m_told.contains(cause))
        return false;
    m_told.insert(cause);
    return true;
}

void ToldOnce::forgetAll()
{
    std::lock_guard lock(m_mutex);
    m_told.clear();
}

bool ToldOnce::isEmpty() const
{
    std::lock_guard lock(m_mutex);
    return m_told.isEmpty();
}

void HistoryProblems::tell(const QString &title, const QString &text)
{
    MainQueue::asyncUnlessCurrent([self = QPointer(this), title, text] {
        if (self)
            Q_EMIT self->problemOccurred(title, text);
    });
}

void HistoryProblems::tellCopiesLost(qint64 total)
{
    MainQueue::asyncUnlessCurrent([self = QPointer(this), total] {
        if (self)
            Q_EMIT self->copiesLost(total);
    });
}
