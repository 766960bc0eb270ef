#pragma once
// The announcements of deletions and clears, posted on the main thread in the order they were
// made. A batch crosses to the main thread in one hop and is delivered a few milliseconds' worth
// per turn of the event loop, so that thousands of per-item notices never hold the GUI thread
// for a frame. With nothing pending, a post on the main thread delivers its first slice before it
// returns (a short batch wholly). Any thread.

#include <QList>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <memory>

class SlicedAnnouncements {
public:
    struct Announcement {
        QString name;
        QVariantMap userInfo;
    };

    // Pending announcements are dropped with the object.
    explicit SlicedAnnouncements(std::chrono::microseconds slice = std::chrono::milliseconds(3));
    ~SlicedAnnouncements();
    SlicedAnnouncements(const SlicedAnnouncements &) = delete;
    SlicedAnnouncements &operator=(const SlicedAnnouncements &) = delete;

    void post(const QString &name, const QVariantMap &userInfo = {});
    void post(QList<Announcement> batch);

    // How long one turn of the event loop delivers for (at least one announcement per turn).
    void setSlice(std::chrono::microseconds slice);

private:
    struct State;
    // Main thread: one slice, at least one announcement; queues the next turn when more are pending.
    static void deliver(const std::shared_ptr<State> &state);
    static void queueDelivery(const std::weak_ptr<State> &weak);

    std::shared_ptr<State> m_state;
};
