#include "capture/SlicedAnnouncements.h"

#include "platform/DispatchQueue.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <deque>
#include <mutex>

struct SlicedAnnouncements::State {
    std::mutex mutex;
    std::deque<Announcement> pending;
    // A delivery is queued to the main thread or running there: it takes what is appended meanwhile.
    bool delivering = false;
    std::atomic<qint64> sliceNs{0};
};

void SlicedAnnouncements::queueDelivery(const std::weak_ptr<State> &weak)
{
    MainQueue::async([weak] {
        if (const auto state = weak.lock())
            deliver(state);
    });
}

void SlicedAnnouncements::deliver(const std::shared_ptr<State> &state)
{
    // Without an application nothing would run later: all of it now.
    const bool all = !QCoreApplication::instance();
    QElapsedTimer clock;
    clock.start();
    do {
        Announcement next;
        {
            std::lock_guard lock(state->mutex);
            if (state->pending.empty()) {
                state->delivering = false;
                return;
            }
            next = std::move(state->pending.front());
            state->pending.pop_front();
        }
        NotificationCenter::defaultCenter().post(next.name, nullptr, next.userInfo);
    } while (all || clock.nsecsElapsed() < state->sliceNs.load());
    {
        std::lock_guard lock(state->mutex);
        if (state->pending.empty()) {
            state->delivering = false;
            return;
        }
    }
    queueDelivery(state);
}

SlicedAnnouncements::SlicedAnnouncements(std::chrono::microseconds slice) : m_state(std::make_shared<State>())
{
    setSlice(slice);
}

SlicedAnnouncements::~SlicedAnnouncements()
{
    std::lock_guard lock(m_state->mutex);
    m_state->pending.clear();
}

void SlicedAnnouncements::setSlice(std::chrono::microseconds slice)
{
    m_state->sliceNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(slice).count());
}

void SlicedAnnouncements::post(const QString &name, const QVariantMap &userInfo) { post({{name, userInfo}}); }

void SlicedAnnouncements::post(QList<Announcement> batch)
{
    if (batch.isEmpty())
        return;
    {
        std::lock_guard lock(m_state->mutex);
        for (Announcement &announcement : batch)
            m_state->pending.push_back(std::move(announcement));
        if (m_state->delivering)
            return;
        m_state->delivering = true;
    }
    if (!QCoreApplication::instance() || MainQueue::isCurrent())
        deliver(m_state);
    else
        queueDelivery(m_state);
}
