#pragma once
// Loads images from web addresses into image views (a link's favicon), keeping the last ones in
// memory. A failed address is not asked again in this run. GUI thread.

#include <QCache>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

class ImageLoader {
public:
    static constexpr int kCacheSize = 200;
    static constexpr qint64 kMaxImageBytes = 1 << 20;

    static ImageLoader &shared();

    // Calls `done` on the main thread with the image, at once when it is cached; not at all when
    // the load fails or `context` is gone by then. A context waits once for an address: a later
    // call replaces its earlier `done`.
    void load(const QUrl &url, QObject *context, std::function<void(const QPixmap &)> done);

private:
    struct Waiter {
        QPointer<QObject> context;
        std::function<void(const QPixmap &)> done;
    };

    void finished(QNetworkReply *reply, const QUrl &url);
    void fail(const QUrl &url, const QString &error);

    QNetworkAccessManager *network();

    QPointer<QNetworkAccessManager> m_network;
    QCache<QUrl, QPixmap> m_images{kCacheSize};
    QCache<QUrl, bool> m_failed{kCacheSize};
    QHash<QUrl, QList<Waiter>> m_waiting;
};
