#include "history/RowIcons.h"

#include "core/FileIcon.h"
#include "core/Thumbnail.h"
#include "history/ImageLoader.h"
#include "history/NamedImages.h"
#include "platform/DesktopEntries.h"
#include "platform/DispatchQueue.h"
#include "platform/ImageDecoding.h"
#include "platform/LockedFiles.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QPointer>

namespace {

constexpr int kApplicationIconSize = 64;

// The image within the thumbnail box, decoded at that size where the format allows; null when it
// does not decode or claims a size beyond any real image.
QImage readScaled(QImageReader &reader)
{
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return reader.read().scaled(RowIcons::kThumbnailSize, RowIcons::kThumbnailSize, Qt::KeepAspectRatio,
                                    Qt::SmoothTransformation);
    reader.setScaledSize(thumbnailSize(QSizeF(size), RowIcons::kThumbnailSize, RowIcons::kThumbnailSize));
    const ImageDecoding::LargeImageAllowance allowance;
    return reader.read();
}

QImage imageFromData(const QByteArray &data) { return ImageDecoding::fromBytes(data, readScaled); }

QImage imageFromFile(const QString &path)
{
    if (LockedFiles::isHeld(path))
        return {}; // the store's own file: opening it would drop its locks
    QImageReader reader(path);
    return readScaled(reader);
}

// The icon name or file of the application's desktop entry; empty without one.
QString desktopIcon(const QString &applicationId)
{
    DesktopEntries &entries = DesktopEntries::shared();
    auto entry = entries.byId(applicationId);
    if (!entry)
        entry = entries.byWindowClass(applicationId);
    return entry ? entry->icon : QString();
}

QPixmap pixmapOf(const QIcon &icon, int size) { return icon.isNull() ? QPixmap() : icon.pixmap(size, size); }

QPixmap fileTypeIcon(const QString &path)
{
    const auto icon = fileIcon(path);
    return icon ? pixmapOf(*icon, kApplicationIconSize)
                : namedImage(QStringLiteral("ic_appicon_missing"), kApplicationIconSize);
}

} // namespace

RowIcons &RowIcons::shared()
{
    static RowIcons *icons = new RowIcons;
    return *icons;
}

QString RowIcons::keyOf(const PasteItemRow &row)
{
    switch (row.icon) {
    case PasteItemRow::IconSource::none: return {};
    case PasteItemRow::IconSource::named: return QStringLiteral("named:") + row.iconKey;
    case PasteItemRow::IconSource::application: return QStringLiteral("app:") + row.iconKey;
    case PasteItemRow::IconSource::favicon: return QStringLiteral("site:") + row.iconKey;
    case PasteItemRow::IconSource::fileThumbnail: return QStringLiteral("thumb:") + row.iconKey;
    case PasteItemRow::IconSource::imageData: return QStringLiteral("data:") + row.uuid.toString();
    case PasteItemRow::IconSource::fileIcon: return QStringLiteral("file:") + row.iconKey;
    }
    return {};
}

QPixmap RowIcons::icon(const PasteItemRow &row)
{
    const QString key = keyOf(row);
    if (key.isEmpty())
        return {};
    if (const QPixmap *cached = m_icons.object(key))
        return *cached;
    switch (row.icon) {
    case PasteItemRow::IconSource::named: {
        const QPixmap pixmap = namedImage(row.iconKey, kApplicationIconSize);
        land(key, pixmap);
        return pixmap;
    }
    case PasteItemRow::IconSource::fileIcon: {
        // The type comes from the name; the file itself is not read.
        const QPixmap pixmap = fileTypeIcon(row.iconKey);
        land(key, pixmap);
        return pixmap;
    }
    default: break;
    }
    if (!m_loading.contains(key)) {
        m_loading.insert(key);
        start(row, key);
    }
    return row.icon == PasteItemRow::IconSource::favicon
               ? namedImage(QStringLiteral("website_default"), kApplicationIconSize)
               : QPixmap();
}

QPixmap RowIcons::cached(const PasteItemRow &row) const
{
    const QPixmap *found = m_icons.object(keyOf(row));
    return found ? *found : QPixmap();
}

void RowIcons::start(const PasteItemRow &row, const QString &key)
{
    const QPointer<RowIcons> self(this);
    switch (row.icon) {
    case PasteItemRow::IconSource::application: {
        const QString id = row.iconKey;
        GlobalQueue::async([self, key, id] {
            const QString icon = desktopIcon(id);
            MainQueue::async([self, key, id, icon] {
                if (!self)
                    return;
                QPixmap pixmap;
                if (!icon.isEmpty())
                    pixmap = pixmapOf(QFileInfo(icon).isAbsolute() ? QIcon(icon) : QIcon::fromTheme(icon),
                                      kApplicationIconSize);
                if (pixmap.isNull()) {
                    LOG_INFO("RowIcons.application",
                             QStringLiteral("No desktop entry icon for application %1; shown as missing").arg(id));
                    pixmap = namedImage(QStringLiteral("ic_appicon_missing"), kApplicationIconSize);
                }
                self->land(key, pixmap);
            });
        });
        return;
    }
    case PasteItemRow::IconSource::favicon: {
        const QUrl url(row.iconKey);
        ImageLoader::shared().load(url, this, [self, key](const QPixmap &favicon) {
            if (self)
                self->land(key, favicon.scaled(kApplicationIconSize, kApplicationIconSize, Qt::KeepAspectRatio,
                                               Qt::SmoothTransformation));
        });
        return;
    }
    case PasteItemRow::IconSource::fileThumbnail:
    case PasteItemRow::IconSource::imageData: {
        const bool fromFile = row.icon == PasteItemRow::IconSource::fileThumbnail;
        const QString path = QUrl(row.iconKey).isLocalFile() ? QUrl(row.iconKey).toLocalFile() : row.iconKey;
        const QByteArray data = row.iconData;
        GlobalQueue::async([self, key, fromFile, path, data] {
            const QImage image = fromFile ? imageFromFile(path) : imageFromData(data);
            const qsizetype bytes = data.size();
            MainQueue::async([self, key, fromFile, path, image, bytes] {
                if (!self)
                    return;
                if (!image.isNull()) {
                    self->land(key, QPixmap::fromImage(image));
                } else if (fromFile) {
                    LOG_INFO("RowIcons.thumbnail",
                             QStringLiteral("No thumbnail for an image file; its type icon is shown"));
                    self->land(key, fileTypeIcon(path));
                } else {
                    LOG_INFO("RowIcons.image",
                             QStringLiteral("A copied image of %1 bytes does not decode; a generic image is shown")
                                 .arg(bytes));
                    self->land(key, namedImage(QStringLiteral("df_image"), kApplicationIconSize));
                }
            });
        });
        return;
    }
    default: return;
    }
}

void RowIcons::land(const QString &key, const QPixmap &pixmap)
{
    m_loading.remove(key);
    const qsizetype cost = std::max<qsizetype>(1, qsizetype(pixmap.width()) * pixmap.height() * 4 / 1024);
    m_icons.insert(key, new QPixmap(pixmap), cost);
    Q_EMIT iconReady(key);
}
