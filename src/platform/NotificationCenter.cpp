#include "platform/NotificationCenter.h"

#include <atomic>

struct NotificationCenter::Entry {
    Token token;
    QString name;
    const void *object;
    Handler handler;
    std::atomic<bool> removed{false};
};

NotificationCenter &NotificationCenter::defaultCenter()
{
    // Never destroyed: observers remove themselves when they go, whenever that is.
    static auto *center = new NotificationCenter;
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, Handler handler, const void *object)
{
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->object = object;
    entry->handler = std::move(handler);
    std::lock_guard lock(m_mutex);
    entry->token = m_nextToken++;
    m_entries.push_back(entry);
    return entry->token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if ((*it)->token == token) {
            // A delivery in progress holds its own reference and checks the flag before calling.
            (*it)->removed = true;
            m_entries.erase(it);
            return;
        }
    }
}

void NotificationCenter::post(const QString &name, const void *object, const QVariantMap &userInfo)
{
    std::vector<std::shared_ptr<Entry>> targets;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &entry : m_entries) {
            if ((entry->name.isEmpty() || entry->name == name) && (!entry->object || entry->object == object))
                targets.push_back(entry);
        }
    }
    const Notification notification{name, object, userInfo};
    for (const auto &entry : targets) {
        if (!entry->removed)
            entry->handler(notification);
    }
}

void NotificationCenter::postInfo(const QString &name, const QVariant &info, const void *object)
{
    post(name, object, QVariantMap{{QStringLiteral("info"), info}});
}

void ObserverBag::observe(const QString &name, NotificationCenter::Handler handler, const void *object)
{
    m_tokens.push_back(NotificationCenter::defaultCenter().addObserver(name, std::move(handler), object));
}

void ObserverBag::clear()
{
    for (auto token : m_tokens)
        NotificationCenter::defaultCenter().removeObserver(token);
    m_tokens.clear();
}
