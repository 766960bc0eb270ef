#include "history/ImageLoader.h"

#include "core/LocalNetwork.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>

#include <utility>

namespace {
constexpr int kTransferTimeoutMs = 15000;

} // namespace

ImageLoader &ImageLoader::shared()
{
    static ImageLoader loader;
    return loader;
}

ImageLoader::~ImageLoader() { stop(); }

void ImageLoader::stop()
{
    if (!m_thread)
        return;
    // The worker and its transfers are deleted on their own thread, which then ends.
    QObject *worker = std::exchange(m_worker, nullptr);
    QMetaObject::invokeMethod(worker, [worker] {
        delete worker;
        QThread::currentThread()->quit();
    });
    m_thread->wait();
    delete std::exchange(m_thread, nullptr);
}

void ImageLoader::load(const QUrl &url, QObject *context, std::function<void(const QPixmap &)> done)
{
    if (!url.isValid() || m_failed.contains(url))
        return;
    if (const QPixmap *cached = m_images.object(url)) {
        done(*cached);
        return;
    }
    const bool inFlight = m_waiting.contains(url);
    QList<Waiter> &waiters = m_waiting[url];
    // A reused view waits once: its latest wish replaces the earlier one.
    waiters.removeIf([context](const Waiter &waiter) { return !waiter.context || waiter.context == context; });
    waiters.append({context, std::move(done)});
    if (inFlight)
        return;
    if (!m_thread) {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("ImageLoader"));
        m_worker = new QObject;
        m_worker->moveToThread(m_thread);
        m_thread->start();
        // Ended with the application, while the network's own objects still exist.
        qAddPostRoutine([] { ImageLoader::shared().stop(); });
    }
    // The worker outlives what is queued for it: stop() queues its deletion after them.
    QMetaObject::invokeMethod(m_worker, [this, worker = m_worker, url] { transfer(worker, url); });
}

QPixmap ImageLoader::cached(const QUrl &url)
{
    const QPixmap *image = m_images.object(url);
    return image ? *image : QPixmap();
}

void ImageLoader::transfer(QObject *worker, const QUrl &url)
{
    auto *network = worker->findChild<QNetworkAccessManager *>();
    if (!network)
        network = new QNetworkAccessManager(worker);
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    QNetworkReply *reply = network->get(request);
    // A site's icon may move to another site, never to this computer or the local network, nor
    // from https to http.
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl &target) {
        const bool downgrade =
            reply->url().scheme() == QLatin1String("https") && target.scheme() != QLatin1String("https");
        if (downgrade || LocalNetwork::isLocalHost(target.host()))
            reply->abort();
        else
            Q_EMIT reply->redirectAllowed();
    });
    // An icon is small: a large answer is not one.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kMaxImageBytes || total > kMaxImageBytes)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, url] {
        reply->deleteLater();
        QImage image;
        QString error;
        if (reply->error() != QNetworkReply::NoError)
            error = QStringLiteral("network error %1").arg(int(reply->error())); // its text names the copied address
        else if (!image.loadFromData(reply->readAll()) || image.isNull())
            error = QStringLiteral("The answer is not an image");
        MainQueue::async([this, url, image, error] { arrived(url, image, error); });
    });
}

void ImageLoader::arrived(const QUrl &url, const QImage &image, const QString &error)
{
    if (!error.isEmpty()) {
        fail(url, error);
        return;
    }
    LOG_DEBUG("ImageLoader::arrived()", QStringLiteral("Task done for: ") + Log::redacted(url.toString()));
    const QPixmap shown = QPixmap::fromImage(image);
    m_images.insert(url, new QPixmap(shown));
    const QList<Waiter> waiters = m_waiting.take(url);
    for (const Waiter &waiter : waiters) {
        if (waiter.context)
            waiter.done(shown);
    }
}

void ImageLoader::fail(const QUrl &url, const QString &error)
{
    LOG_DEBUG("ImageLoader::fail()", QStringLiteral("Job failed: ") + error);
    m_waiting.remove(url);
    m_failed.insert(url, new bool(true));
}
