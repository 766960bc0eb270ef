#include "platform/FileManager.h"

#include "platform/Log.h"
#include "platform/Workspace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

namespace FileManager {

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");

void openFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!Workspace::shared().openUrl(QUrl::fromLocalFile(folder)))
        LOG_WARNING("showItem(path:)", QStringLiteral("No program opened the folder of a file"));
}

} // namespace

void showItem(const QString &path)
{
    if (path.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface *names = bus.isConnected() ? bus.interface() : nullptr;
    const bool available = names
                           && (names->isServiceRegistered(kService).value()
                               || names->activatableServiceNames().value().contains(kService));
    if (!available) {
        openFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       kService, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [path](QDBusPendingCallWatcher *done) {
        if (done->isError()) {
            LOG_WARNING("showItem(path:)", QStringLiteral("The file manager did not answer: ") + done->error().name());
            openFolder(path);
        }
        done->deleteLater();
    });
}

} // namespace FileManager
