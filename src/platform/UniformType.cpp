#include "platform/UniformType.h"

#include "platform/LockedFiles.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QSet>

namespace UniformType {
namespace {

struct TypeEntry {
    QString identifier;
    QStringList parents;
    QStringList mimeTypes; // the first is the preferred one
};

struct Table {
    QHash<QString, TypeEntry> byIdentifier;
    QHash<QString, QString> identifierByMime;
};

const Table &table()
{
    static const Table instance = [] {
        const QList<TypeEntry> entries = {
            {item, {}, {}},
            {content, {item}, {}},
            {data, {item}, {QStringLiteral("application/octet-stream")}},
            {directory, {item}, {}},
            {folder, {directory}, {QStringLiteral("inode/directory")}},
            {text, {data, content}, {}},
            {plainText, {text}, {QStringLiteral("text/plain")}},
            {utf8PlainText, {plainText}, {QStringLiteral("text/plain;charset=utf-8")}},
            {QStringLiteral("public.utf16-plain-text"), {plainText}, {}},
            {QStringLiteral("public.utf16-external-plain-text"), {plainText}, {}},
            {QStringLiteral("com.apple.traditional-mac-plain-text"), {plainText}, {}},
            {QStringLiteral("public.source-code"), {plainText}, {}},
            {html, {text}, {QStringLiteral("text/html")}},
            {QStringLiteral("public.xml"), {text}, {QStringLiteral("application/xml"), QStringLiteral("text/xml")}},
            {QStringLiteral("public.json"), {text}, {QStringLiteral("application/json")}},
            {rtf, {text}, {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")}},
            {QStringLiteral("com.apple.flat-rtfd"), {data, content}, {}},
            {url, {data}, {}},
            {fileURL, {url}, {}},
            {webArchive, {data, content}, {QStringLiteral("application/x-webarchive")}},
            {image, {data, content}, {}},
            {png, {image}, {QStringLiteral("image/png")}},
            {jpeg, {image}, {QStringLiteral("image/jpeg")}},
            {tiff, {image}, {QStringLiteral("image/tiff")}},
            {QStringLiteral("com.compuserve.gif"), {image}, {QStringLiteral("image/gif")}},
            {QStringLiteral("com.microsoft.bmp"), {image}, {QStringLiteral("image/bmp")}},
            {QStringLiteral("com.microsoft.ico"), {image}, {QStringLiteral("image/vnd.microsoft.icon")}},
            {QStringLiteral("org.webmproject.webp"), {image}, {QStringLiteral("image/webp")}},
            {QStringLiteral("public.svg-image"), {image}, {QStringLiteral("image/svg+xml")}},
            {QStringLiteral("public.heic"), {image}, {QStringLiteral("image/heic")}},
            {audiovisualContent, {data, content}, {}},
            {movie, {audiovisualContent}, {}},
            {video, {movie}, {}},
            {QStringLiteral("public.mpeg-4"), {movie}, {QStringLiteral("video/mp4")}},
            {QStringLiteral("com.apple.quicktime-movie"), {movie}, {QStringLiteral("video/quicktime")}},
            {audio, {audiovisualContent}, {}},
            {QStringLiteral("public.mp3"), {audio}, {QStringLiteral("audio/mpeg")}},
            {QStringLiteral("com.adobe.pdf"), {data, content}, {QStringLiteral("application/pdf")}},
            {QStringLiteral("public.zip-archive"), {data}, {QStringLiteral("application/zip")}},
        };
        Table result;
        for (const TypeEntry &entry : entries) {
            result.byIdentifier.insert(entry.identifier, entry);
            for (const QString &mime : entry.mimeTypes)
                result.identifierByMime.insert(mime, entry.identifier);
        }
        return result;
    }();
    return instance;
}

bool looksLikeMimeType(const QString &type) { return type.contains(QLatin1Char('/')); }

// Parents of a MIME type outside the table: its MIME ancestors and its top-level family.
QStringList mimeParents(const QString &mimeName)
{
    QStringList result;
    const QMimeType mime = QMimeDatabase().mimeTypeForName(mimeName);
    if (mime.isValid()) {
        for (const QString &ancestor : mime.parentMimeTypes())
            result.append(identifierForMimeType(ancestor));
    }
    if (mimeName.startsWith(QLatin1String("image/")))
        result.append(image);
    else if (mimeName.startsWith(QLatin1String("video/")))
        result.append(movie);
    else if (mimeName.startsWith(QLatin1String("audio/")))
        result.append(audio);
    else if (mimeName.startsWith(QLatin1String("text/")))
        result.append(text);
    else if (mime.isValid())
        result.append(data);
    result.removeDuplicates();
    result.removeAll(mimeName);
    return result;
}

QStringList directParents(const QString &type)
{
    const Table &types = table();
    const auto found = types.byIdentifier.constFind(type);
    if (found != types.byIdentifier.constEnd())
        return found->parents;
    if (looksLikeMimeType(type))
        return mimeParents(type);
    return {};
}

} // namespace

QStringList parents(const QString &type)
{
    QStringList result;
    QSet<QString> seen{type};
    QStringList queue = directParents(type);
    while (!queue.isEmpty()) {
        const QString next = queue.takeFirst();
        if (seen.contains(next))
            continue;
        seen.insert(next);
        result.append(next);
        queue.append(directParents(next));
    }
    return result;
}

bool conformsTo(const QString &type, const QString &parent)
{
    if (type.isEmpty() || parent.isEmpty())
        return false;
    if (type == parent)
        return true;
    if (isDynamic(type))
        return false;
    return parents(type).contains(parent);
}

bool isEqual(const QString &a, const QString &b) { return !a.isEmpty() && a == b; }

bool isDynamic(const QString &type) { return type.startsWith(QLatin1String("dyn.")); }

QString identifierForMimeType(const QString &mimeType)
{
    const Table &types = table();
    const QString lowered = mimeType.trimmed().toLower();
    const auto found = types.identifierByMime.constFind(lowered);
    if (found != types.identifierByMime.constEnd())
        return *found;
    const QMimeType mime = QMimeDatabase().mimeTypeForName(lowered);
    if (mime.isValid() && mime.name() != lowered) {
        const auto alias = types.identifierByMime.constFind(mime.name());
        if (alias != types.identifierByMime.constEnd())
            return *alias;
        return mime.name();
    }
    return lowered;
}

QString preferredMimeType(const QString &type)
{
    const Table &types = table();
    const auto found = types.byIdentifier.constFind(type);
    if (found != types.byIdentifier.constEnd())
        return found->mimeTypes.value(0);
    return looksLikeMimeType(type) ? type : QString();
}

QString preferredIdentifierForFilenameExtension(const QString &extension)
{
    if (extension.isEmpty())
        return QStringLiteral("dyn.ext");
    const QList<QMimeType> candidates = QMimeDatabase().mimeTypesForFileName(QStringLiteral("file.") + extension);
    if (candidates.isEmpty())
        return QStringLiteral("dyn.ext.") + extension.toLower();
    return identifierForMimeType(candidates.first().name());
}

QString identifierForFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isDir())
        return folder;
    // Its content is never read from a database this process holds locks on.
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(
        info, LockedFiles::isHeld(path) ? QMimeDatabase::MatchExtension : QMimeDatabase::MatchDefault);
    if (!mime.isValid())
        return data;
    return identifierForMimeType(mime.name());
}

} // namespace UniformType
