#include "core/sync/SyncSettings.h"

#include "core/TaviSettings.h"

namespace SyncSettings {
QString folder() { return TaviSettings::shared().syncFolderPath(); }
void setFolder(const QString &path) { TaviSettings::shared().setSyncFolderPath(path); }
SyncKey key() { return SyncKey(TaviSettings::shared().syncFolderKey().value_or(QByteArray())); }
void setKey(const SyncKey &key)
{
    TaviSettings::shared().setSyncFolderKey(key.isValid() ? std::optional<QByteArray>(key.bytes()) : std::nullopt);
}
qint64 budget() { return TaviSettings::shared().syncByteBudget(); }
void setBudget(qint64 bytes) { TaviSettings::shared().setSyncByteBudget(bytes); }
QString lastError() { return TaviSettings::shared().syncLastError(); }
void setLastError(const QString &message)
{
    if (lastError() != message)
        TaviSettings::shared().setSyncLastError(message);
}
} // namespace SyncSettings
