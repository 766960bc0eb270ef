#include "core/FileIcon.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

namespace {
const QString kDirectoryType = QStringLiteral("inode/directory");

QString localPath(const QString &path)
{
    if (path.startsWith(QLatin1String("file:")))
        return QUrl(path).toLocalFile();
    return path;
}
} // namespace

std::optional<QMimeType> fileIconType(const QString &path)
{
    const QMimeDatabase database;
    const QString local = localPath(path);
    if (local.endsWith(QLatin1Char('/')) || QFileInfo(local).isDir())
        return database.mimeTypeForName(kDirectoryType);
    const QString suffix = QFileInfo(local).suffix();
    if (suffix.isEmpty())
        return database.mimeTypeForName(QStringLiteral("text/plain"));
    // An unknown extension gives the generic type ("application/octet-stream").
    const QMimeType type = database.mimeTypeForFile(QStringLiteral("file.") + suffix, QMimeDatabase::MatchExtension);
    if (!type.isValid())
        return std::nullopt;
    return type;
}

std::optional<QIcon> fileIcon(const QString &path)
{
    const auto type = fileIconType(path);
    if (!type)
        return std::nullopt;
    const bool isFolder = type->name() == kDirectoryType;
    const QFileIconProvider provider;
    const QIcon fallback = provider.icon(isFolder ? QFileIconProvider::Folder : QFileIconProvider::File);
    if (isFolder)
        return QIcon::fromTheme(QStringLiteral("folder"), fallback);
    return QIcon::fromTheme(type->iconName(), QIcon::fromTheme(type->genericIconName(), fallback));
}
