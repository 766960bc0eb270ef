#include "history/ImageLoader.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <QImage>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray pngOf(const QColor &color)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(color);
    return ::pngOf(image);
}

} // namespace

TEST(ImageLoader, AnImageIsFetchedOnceAndThenServedFromMemory)
{
    LoopbackHttpServer server;
    server.respondWith(200, pngOf(Qt::blue));
    const QUrl url(server.baseURL() + QStringLiteral("/favicon.ico"));
    QObject row;
    QObject otherRow;
    QList<QPixmap> shown;
    const auto record = [&](const QPixmap &pixmap) { shown.append(pixmap); };
    ImageLoader::shared().load(url, &row, record);
    ImageLoader::shared().load(url, &row, record); // a reused row asks again: still one answer
    ImageLoader::shared().load(url, &otherRow, record);
    // Every view waiting for the address is answered at once when the image arrives.
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }, 5000));
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(shown.first().toImage().pixelColor(8, 8), QColor(Qt::blue));
    ImageLoader::shared().load(url, &row, record);
    EXPECT_EQ(shown.size(), 3);
    EXPECT_EQ(server.requests().size(), 1);
}

TEST(ImageLoader, NothingIsShownForAFailedLoadOrAViewThatIsGone)
{
    LoopbackHttpServer server;
    server.respondWith(200, "no image");
    const QUrl broken(server.baseURL() + QStringLiteral("/broken.ico"));
    QObject context;
    int calls = 0;
    ImageLoader::shared().load(broken, &context, [&](const QPixmap &) { ++calls; });
    ASSERT_TRUE(waitUntil([&] { return ImageLoader::shared().hasFailed(broken); }, 10000));
    EXPECT_EQ(calls, 0);
    ImageLoader::shared().load(broken, &context, [&](const QPixmap &) { ++calls; });

    // The next address is asked after it: the failed one was not asked again before it.
    server.respondWith(200, pngOf(Qt::red));
    const QUrl late(server.baseURL() + QStringLiteral("/late.ico"));
    auto gone = std::make_unique<QObject>();
    ImageLoader::shared().load(late, gone.get(), [&](const QPixmap &) { ++calls; });
    gone.reset();
    ASSERT_TRUE(waitUntil([&] { return !ImageLoader::shared().cached(late).isNull(); }, 10000));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(server.requests().size(), 2);
}

TEST(ImageLoader, ARedirectToTheLocalNetworkIsNotFollowed)
{
    LoopbackHttpServer local;
    local.respondWith(200, pngOf(Qt::green));
    LoopbackHttpServer site;
    site.respondTo("/favicon.ico", 302, {}, {{"Location", (local.baseURL() + QStringLiteral("/reboot")).toUtf8()}});
    QObject row;
    int calls = 0;
    ImageLoader::shared().load(QUrl(site.baseURL() + QStringLiteral("/favicon.ico")), &row,
                               [&](const QPixmap &) { ++calls; });
    ASSERT_TRUE(waitUntil([&] { return site.requests().size() == 1; }, 5000));
    // Followed, the redirect would reach the local server within moments.
    EXPECT_FALSE(waitUntil([&] { return local.connectionCount() > 0; }, 1500));
    EXPECT_EQ(calls, 0);
}
