#include "history/ImageLoader.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cstdio>

namespace {
constexpr int kTransferTimeoutMs = 15000;

void printLine(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}
} // namespace

ImageLoader &ImageLoader::shared()
{
    static ImageLoader loader;
    return loader;
}

QNetworkAccessManager *ImageLoader::network()
{
    if (!m_network)
        m_network = new QNetworkAccessManager(QCoreApplication::instance());
    return m_network;
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
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply *reply = network()->get(request);
    // An icon is small: a large answer is not one.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kMaxImageBytes || total > kMaxImageBytes)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, url] { finished(reply, url); });
}

void ImageLoader::finished(QNetworkReply *reply, const QUrl &url)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        // The error's text names the address, which comes from a copied link.
        fail(url, QStringLiteral("network error %1").arg(int(reply->error())));
        return;
    }
    const QByteArray data = reply->readAll();
    // Decoding off the main thread; the pixmap is made back on it.
    GlobalQueue::async([this, url, data] {
        QImage image;
        const bool decoded = image.loadFromData(data);
        MainQueue::async([this, url, image, decoded] {
            if (!decoded || image.isNull()) {
                fail(url, QStringLiteral("The answer is not an image"));
                return;
            }
            printLine(QStringLiteral("Task done for: ") + Log::redacted(url.toString()));
            const QPixmap shown = QPixmap::fromImage(image);
            m_images.insert(url, new QPixmap(shown));
            const QList<Waiter> waiters = m_waiting.take(url);
            for (const Waiter &waiter : waiters) {
                if (waiter.context)
                    waiter.done(shown);
            }
        });
    });
}

void ImageLoader::fail(const QUrl &url, const QString &error)
{
    printLine(QStringLiteral("Job failed: ") + error);
    m_waiting.remove(url);
    m_failed.insert(url, new bool(true));
}
