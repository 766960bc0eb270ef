#pragma once
// Notifications between programs of the same user: a name and an object string, sent as a D-Bus
// signal on the session bus (member = the name, one string argument = the object), and the
// well-known bus names by which programs find each other. Needs only Qt Core and Qt D-Bus, so the
// login helper uses it too. Main thread.

#include <QDBusConnection>
#include <QString>

#include <functional>
#include <map>
#include <memory>

class QObject;

class DistributedNotificationCenter {
public:
    using Token = quint64;

    // The center of the session bus; without a bus it is not connected and posts nothing.
    static DistributedNotificationCenter &defaultCenter();
    explicit DistributedNotificationCenter(const QDBusConnection &connection);
    ~DistributedNotificationCenter();

    bool isConnected() const;
    // Why the last post, observation or name request failed (empty after success).
    QString lastError() const { return m_lastError; }

    // False when there is no bus or the name cannot be a D-Bus member name.
    bool post(const QString &name, const QString &object);
    // Calls the handler for each posting of the name with exactly this object, from any program,
    // posted after this returns. 0 when no bus.
    Token addObserver(const QString &name, const QString &object, std::function<void()> handler);
    void removeObserver(Token token);

    // Whether some program owns the well-known bus name now.
    bool isNameOwned(const QString &busName);
    // Takes the well-known name for this program; false when another program holds it or no bus.
    bool registerName(const QString &busName);

    static bool isValidName(const QString &name);

private:
    QDBusConnection m_connection;
    QString m_lastError;
    std::map<Token, std::unique_ptr<QObject>> m_observers;
    Token m_nextToken = 1;
};
