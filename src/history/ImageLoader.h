#pragma once
// Loads images from web addresses into image views (a link's favicon), keeping the last ones in
// memory. A failed address is not asked again in this run; a redirect to this computer or the
// local network is not followed. Called on the GUI thread; transfers and decoding run on a
// thread of their own, so that setting up the network (proxies, the system's certificates) never
// holds up a paint.

#include <QCache>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QUrl>

#include <functional>

class QThread;

class ImageLoader {
public:
    static constexpr int kCacheSize = 200;
    static constexpr qint64 kMaxImageBytes = 1 << 20;

    static ImageLoader &shared();
    ~ImageLoader();

    // Calls `done` on the main thread with the image, at once when it is cached; not at all when
    // the load fails or `context` is gone by then. A context waits once for an address: a later
    // call replaces its earlier `done`.
    void load(const QUrl &url, QObject *context, std::function<void(const QPixmap &)> done);
    // The image already in memory for the address; null when there is none (nothing is asked).
    QPixmap cached(const QUrl &url);
    // Whether the address failed to give an image in this run, so that it is not asked again.
    bool hasFailed(const QUrl &url) const { return m_failed.contains(url); }

private:
    struct Waiter {
        QPointer<QObject> context;
        std::function<void(const QPixmap &)> done;
    };

    ImageLoader() = default;
    // Network thread: fetches and decodes, then hands the image to arrived() on the GUI thread.
    void transfer(QObject *worker, const QUrl &url);
    void arrived(const QUrl &url, const QImage &image, const QString &error);
    void fail(const QUrl &url, const QString &error);
    void stop();

    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr; // lives on m_thread, with the network access manager it owns
    QCache<QUrl, QPixmap> m_images{kCacheSize};
    QCache<QUrl, bool> m_failed{kCacheSize};
    QHash<QUrl, QList<Waiter>> m_waiting;
};
