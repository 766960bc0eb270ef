#include "platform/DeviceInfo.h"

#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>

namespace DeviceInfo {

std::optional<QString> platformUUID(const QStringList &sources)
{
    static const QRegularExpression machineId(QStringLiteral("\\A[0-9a-fA-F]{32}\\z"));
    for (const QString &source : sources) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(file.read(256)).trimmed();
        QUuid uuid = QUuid::fromString(text);
        if (uuid.isNull() && machineId.match(text).hasMatch())
            uuid = QUuid::fromString(
                QStringLiteral("%1-%2-%3-%4-%5")
                    .arg(text.mid(0, 8), text.mid(8, 4), text.mid(12, 4), text.mid(16, 4), text.mid(20)));
        if (!uuid.isNull())
            return uuid.toString(QUuid::WithoutBraces).toUpper();
    }
    return std::nullopt;
}

std::optional<QString> platformUUID()
{
    return platformUUID({QStringLiteral("/sys/class/dmi/id/product_uuid"), QStringLiteral("/etc/machine-id"),
                         QStringLiteral("/var/lib/dbus/machine-id")});
}

QString osVersionString() { return QSysInfo::prettyProductName(); }

} // namespace DeviceInfo
