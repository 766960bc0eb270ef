#pragma once
// The program's internal bus: a name, an object and a user-info map (payload under "info").
// Delivery is synchronous on the posting thread. Observers are removed by token, also from
// inside a delivery. Thread-safe.

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

struct Notification {
    QString name;
    const void *object = nullptr; // identity of the poster, compared by address only
    QVariantMap userInfo;

    QVariant info() const { return userInfo.value(QStringLiteral("info")); }
};

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification &)>;
    using Token = quint64;

    static NotificationCenter &defaultCenter();

    // An empty name observes every notification; a non-null object only that poster's.
    Token addObserver(const QString &name, Handler handler, const void *object = nullptr);
    void removeObserver(Token token);

    void post(const QString &name, const void *object = nullptr, const QVariantMap &userInfo = {});
    // Posts with the payload under "info".
    void postInfo(const QString &name, const QVariant &info, const void *object = nullptr);

private:
    struct Entry;
    std::mutex m_mutex;
    std::vector<std::shared_ptr<Entry>> m_entries;
    Token m_nextToken = 1;
};

// Removes its observers when destroyed; convenient for objects that observe for their lifetime.
class ObserverBag {
public:
    ObserverBag() = default;
    ObserverBag(const ObserverBag &) = delete;
    ObserverBag &operator=(const ObserverBag &) = delete;
    ~ObserverBag() { clear(); }

    void observe(const QString &name, NotificationCenter::Handler handler, const void *object = nullptr);
    void clear();
    bool isEmpty() const { return m_tokens.empty(); }

private:
    std::vector<NotificationCenter::Token> m_tokens;
};
