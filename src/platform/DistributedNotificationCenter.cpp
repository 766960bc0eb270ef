#include "platform/DistributedNotificationCenter.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QObject>
#include <QRegularExpression>

namespace {

const QString kPath = QStringLiteral("/org/tavipaste/DistributedNotifications");
const QString kInterface = QStringLiteral("org.tavipaste.DistributedNotifications");

} // namespace

// One observation: the bus delivers only signals whose argument matches; the object is compared
// once more here in case a bus ignores the match.
class DistributedNotificationReceiver : public QObject {
    Q_OBJECT
public:
    DistributedNotificationReceiver(QString object, std::function<void()> handler)
        : m_object(std::move(object)),
          m_handler(std::move(handler))
    {
    }

public Q_SLOTS:
    void received(const QString &object)
    {
        if (object == m_object && m_handler)
            m_handler();
    }

private:
    QString m_object;
    std::function<void()> m_handler;
};

DistributedNotificationCenter &DistributedNotificationCenter::defaultCenter()
{
    static DistributedNotificationCenter center(QDBusConnection::sessionBus());
    return center;
}

DistributedNotificationCenter::DistributedNotificationCenter(const QDBusConnection &connection)
    : m_connection(connection)
{
}

DistributedNotificationCenter::~DistributedNotificationCenter() = default;

bool DistributedNotificationCenter::isConnected() const { return m_connection.isConnected(); }

bool DistributedNotificationCenter::isValidName(const QString &name)
{
    static const QRegularExpression member(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z_][A-Za-z0-9_]{0,254}")));
    return member.match(name).hasMatch();
}

bool DistributedNotificationCenter::post(const QString &name, const QString &object)
{
    m_lastError.clear();
    if (!isValidName(name)) {
        m_lastError = QStringLiteral("\"%1\" cannot be the name of a notification").arg(name);
        return false;
    }
    if (!isConnected()) {
        m_lastError = QStringLiteral("No D-Bus session bus: %1").arg(m_connection.lastError().message());
        return false;
    }
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, name);
    signal << object;
    if (!m_connection.send(signal)) {
        m_lastError = m_connection.lastError().message();
        return false;
    }
    return true;
}

DistributedNotificationCenter::Token
DistributedNotificationCenter::addObserver(const QString &name, const QString &object, std::function<void()> handler)
{
    m_lastError.clear();
    if (!isValidName(name) || !isConnected()) {
        m_lastError = isConnected() ? QStringLiteral("\"%1\" cannot be the name of a notification").arg(name)
                                    : QStringLiteral("No D-Bus session bus");
        return 0;
    }
    auto receiver = std::make_unique<DistributedNotificationReceiver>(object, std::move(handler));
    if (!m_connection.connect(QString(), kPath, kInterface, name, QStringList{object}, QStringLiteral("s"),
                              receiver.get(), SLOT(received(QString)))) {
        m_lastError = m_connection.lastError().message();
        return 0;
    }
    // The bus takes the subscription without answering; a call answered after it means it is in
    // place, so whatever another program posts from now on is heard.
    m_connection.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
    const Token token = m_nextToken++;
    m_observers.emplace(token, std::move(receiver));
    return token;
}

void DistributedNotificationCenter::removeObserver(Token token)
{
    const auto found = m_observers.find(token);
    if (found == m_observers.end())
        return;
    // Deleting the receiver ends its subscription.
    m_observers.erase(found);
}

bool DistributedNotificationCenter::isNameOwned(const QString &busName)
{
    m_lastError.clear();
    QDBusConnectionInterface *bus = isConnected() ? m_connection.interface() : nullptr;
    if (!bus) {
        m_lastError = QStringLiteral("No D-Bus session bus");
        return false;
    }
    const QDBusReply<bool> reply = bus->isServiceRegistered(busName);
    if (!reply.isValid()) {
        m_lastError = reply.error().message();
        return false;
    }
    return reply.value();
}

bool DistributedNotificationCenter::registerName(const QString &busName)
{
    m_lastError.clear();
    if (!isConnected()) {
        m_lastError = QStringLiteral("No D-Bus session bus");
        return false;
    }
    if (!m_connection.registerService(busName)) {
        m_lastError = m_connection.lastError().isValid()
                          ? m_connection.lastError().message()
                          : QStringLiteral("%1 is owned by another program").arg(busName);
        return false;
    }
    return true;
}

#include "DistributedNotificationCenter.moc"
