#include "platform/SingleInstance.h"

#include "platform/Paths.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QDBusConnection busOf(const SingleInstance::Address &address)
{
    return address.busConnection.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(address.busConnection);
}

bool hasBus(const SingleInstance::Address &address) { return address.useBus && busOf(address).isConnected(); }

QString lockFileOf(const SingleInstance::Address &address)
{
    if (!address.lockFilePath.isEmpty())
        return address.lockFilePath;
    // $XDG_RUNTIME_DIR, or Qt's private fallback folder when it is not set.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/TaviPaste.lock");
}

bool isLockHeld(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // also drops the shared lock just taken
    return held;
}

} // namespace

SingleInstance::SingleInstance(const Address &address) : m_address(address) {}

std::unique_ptr<SingleInstance> SingleInstance::claim(const Address &address)
{
    std::unique_ptr<SingleInstance> instance(new SingleInstance(address));
    if (hasBus(address)) {
        QDBusConnection bus = busOf(address);
        // Registered before the name is taken, so a request that follows the claim finds it.
        if (!bus.registerObject(QString::fromLatin1(kObjectPath), instance.get(),
                                QDBusConnection::ExportScriptableSlots))
            return nullptr;
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
            bus.interface()->registerService(address.serviceName, QDBusConnectionInterface::DontQueueService,
                                             QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
            bus.unregisterObject(QString::fromLatin1(kObjectPath));
            return nullptr;
        }
        instance->m_ownsBusName = true;
        return instance;
    }
    const QString path = lockFileOf(address);
    Paths::makePrivateDirectory(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    ::fchmod(fd, 0600);
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0)
        (void)!::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    instance->m_lockFile = fd;
    return instance;
}

SingleInstance::~SingleInstance()
{
    if (m_ownsBusName) {
        QDBusConnection bus = busOf(m_address);
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        bus.unregisterService(m_address.serviceName);
    }
    if (m_lockFile >= 0)
        ::close(m_lockFile); // releases the lock; the file stays for the next run
}

bool SingleInstance::isRunning(const Address &address)
{
    // Looked for where claim() takes the session: a lock held by a process of another session
    // (one without a bus) never counts here.
    if (hasBus(address)) {
        const QDBusReply<bool> registered = busOf(address).interface()->isServiceRegistered(address.serviceName);
        return registered.isValid() && registered.value();
    }
    return isLockHeld(lockFileOf(address));
}

bool SingleInstance::showQuickPastePanel(const Address &address, int timeoutMs)
{
    if (!hasBus(address))
        return false;
    const QDBusMessage call = QDBusMessage::createMethodCall(address.serviceName, QString::fromLatin1(kObjectPath),
                                                             QString::fromLatin1(kInterface),
                                                             QString::fromLatin1(kShowQuickPastePanelMethod));
    return busOf(address).call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage;
}

void SingleInstance::setQuickPastePanelHandler(std::function<void()> handler)
{
    m_panelHandler = std::move(handler);
    if (m_panelHandler && m_panelRequested) {
        m_panelRequested = false;
        m_panelHandler();
    }
}

void SingleInstance::ShowQuickPastePanel()
{
    if (m_panelHandler)
        m_panelHandler();
    else
        m_panelRequested = true;
}
