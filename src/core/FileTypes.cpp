#include "core/FileTypes.h"

#include "platform/UniformType.h"

#include <QFileInfo>

namespace {
// The text after the last dot of the file name; a leading dot (".profile") starts no extension.
QString pathExtension(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1);
}
} // namespace

bool conforms(const QUrl &url, const QString &type)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
    const QString extension = pathExtension(path);
    if (!extension.isEmpty()) {
        const QString identifier = UniformType::preferredIdentifierForFilenameExtension(extension);
        return !identifier.isEmpty() && UniformType::conformsTo(identifier, type);
    }
    if (!url.isLocalFile())
        return false;
    const QString identifier = UniformType::identifierForFile(path);
    return !identifier.isEmpty() && UniformType::conformsTo(identifier, type);
}

bool isImage(const QUrl &url) { return conforms(url, UniformType::image); }

bool isVideo(const QUrl &url) { return conforms(url, UniformType::video); }

bool isMedia(const QUrl &url)
{
    return conforms(url, UniformType::audiovisualContent) || conforms(url, UniformType::image);
}

bool isDirectory(const QUrl &url)
{
    if (!url.isLocalFile())
        return false;
    const QFileInfo info(url.toLocalFile());
    return info.isDir() && !info.isSymLink();
}
