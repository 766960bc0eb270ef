#include "core/sync/SyncSettings.h"

#include "platform/Defaults.h"

namespace {
const QString kFolder = QStringLiteral("syncFolderPath");
const QString kKey = QStringLiteral("syncFolderKey");
const QString kBudget = QStringLiteral("syncByteBudget");
const QString kLastError = QStringLiteral("syncLastError");
} // namespace

namespace SyncSettings {
QString folder() { return Defaults::standard().value(kFolder).toString(); }
void setFolder(const QString &path) { Defaults::standard().setValue(kFolder, path); }
SyncKey key() { return SyncKey(Defaults::standard().value(kKey).toByteArray()); }
void setKey(const SyncKey &key)
{
    if (key.isValid())
        Defaults::standard().setValue(kKey, key.bytes());
    else
        Defaults::standard().remove(kKey);
}
qint64 budget() { return Defaults::standard().value(kBudget).toLongLong(); }
void setBudget(qint64 bytes) { Defaults::standard().setValue(kBudget, bytes); }
QString lastError() { return Defaults::standard().value(kLastError).toString(); }
void setLastError(const QString &message)
{
    if (lastError() != message)
        Defaults::standard().setValue(kLastError, message);
}
} // namespace SyncSettings
