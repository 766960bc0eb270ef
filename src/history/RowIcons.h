#pragma once
// The icons of history rows: application icons from the desktop entries, site icons, thumbnails
// of image files and copied images, file-type icons and named images. Anything that reads a file,
// decodes an image or asks the network is done off the GUI thread; the result is kept by its
// source (application, address, path or item), so a late result only ever shows on the rows of
// that source. GUI thread.

#include "history/PasteItemRow.h"

#include <QCache>
#include <QObject>
#include <QPixmap>
#include <QSet>

class RowIcons : public QObject {
    Q_OBJECT
public:
    // Thumbnails are made within this box.
    static constexpr int kThumbnailSize = 100;

    static RowIcons &shared();

    // The row's icon when it is ready; otherwise its placeholder (possibly null), and the load
    // starts. iconReady() tells when a load finished.
    QPixmap icon(const PasteItemRow &row);
    // The row's icon when it is ready, else null; starts no load.
    QPixmap cached(const PasteItemRow &row) const;
    // The key under which the row's icon is kept.
    static QString keyOf(const PasteItemRow &row);

Q_SIGNALS:
    void iconReady(const QString &key);

private:
    RowIcons() = default;
    void start(const PasteItemRow &row, const QString &key);
    void land(const QString &key, const QPixmap &pixmap);

    QCache<QString, QPixmap> m_icons{16 * 1024}; // cost in KiB
    QSet<QString> m_loading;
};
