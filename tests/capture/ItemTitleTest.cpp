#include "CaptureTestSupport.h"

#include "capture/ItemTitle.h"
#include "capture/PBItemRecordConversion.h"
#include "core/StringExtensions.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Noise does not compress: the PNG is larger than a list holds of a payload.
QByteArray largePng(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = random.generate() | 0xff000000u;
    }
    return pngOf(image);
}

PasteboardItem imageCopy(const QByteArray &png)
{
    PasteboardItem item;
    item.setData(PasteboardType::png, png);
    return item;
}

PBCategory imageCategory(CaptureHarness &h)
{
    for (const PBCategory &category : h.categories->categories()) {
        if (category.type() == PBDefaultCategory::image)
            return category;
    }
    return {};
}

// The titles of the image list's rows as the lists read them (payloads over the list's share left out).
QStringList listedImageTitles(CaptureHarness &h)
{
    QStringList titles;
    for (const PBItem &item :
         h.manager->getItemsPage(TaviPBManager::ListQuery{imageCategory(h), std::nullopt, {}}, 0, 10))
        titles.append(itemTitle(item, 64));
    return titles;
}

} // namespace

TEST(ItemTitles, AnImageIsTitledWithItsSizeAndAnImageFileWithItsName)
{
    CaptureHarness h;
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.png"));
    QImage small(300, 200, QImage::Format_RGB32);
    small.fill(Qt::darkBlue);
    ASSERT_TRUE(small.save(photo));
    QImage screen(1920, 1080, QImage::Format_RGB32);
    screen.fill(Qt::yellow);

    h.copyFromOutside({imageCopy(pngOf(screen))});
    const QByteArray large = largePng(400, 300);
    ASSERT_GT(large.size(), kListPayloadBytes);
    h.copyFromOutside({imageCopy(large)});
    h.copyFromOutside({CaptureHarness::fileItem(photo)});

    const QString times = QStringLiteral(" \u00D7 ");
    EXPECT_EQ(listedImageTitles(h),
              QStringList({QStringLiteral("photo.png"), QStringLiteral("Image 400") + times + QStringLiteral("300"),
                           QStringLiteral("Image 1920") + times + QStringLiteral("1080")}));
    // The whole item reads the same.
    for (const PBItem &item : h.manager->getAllItems())
        EXPECT_EQ(itemTitle(h.manager->loadFullItem(item), 64), itemTitle(item, 64));
}

TEST(ItemTitles, AnImageStoredWithAnIdForNameOrUnreadableDataShowsNoId)
{
    CaptureHarness h;
    const PBCategory image = imageCategory(h);
    // As earlier versions stored them: the name a random id, in braces or not.
    const QDateTime now = QDateTime::currentDateTime();
    const QUuid first = QUuid::createUuid(), second = QUuid::createUuid();
    const QByteArray large = largePng(300, 250);
    ASSERT_TRUE(h.manager->add(PBItem(first, QStringLiteral("a"), {image, PBCategory::all()},
                                      PBImageItemProvider(large, first.toString(QUuid::WithoutBraces).toUpper()), now,
                                      now, std::nullopt, false, std::nullopt)));
    ASSERT_TRUE(h.manager->add(PBItem(second, QStringLiteral("b"), {image, PBCategory::all()},
                                      PBImageItemProvider(QByteArray("not an image"), second.toString()),
                                      now.addSecs(1), now.addSecs(1), std::nullopt, false, std::nullopt)));
    h.settle();
    EXPECT_EQ(listedImageTitles(h), QStringList({QStringLiteral("Image"), QStringLiteral("Image 300 \u00D7 250")}));
}

TEST(ItemTitles, TextsAreCutAtAWordAndShownFromWhatCanBeSeen)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("\n\n  The quarterly report for the northern region shows a steady increase in revenue"));
    const QList<PBItem> items = h.manager->getItemsPage(0, 10);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(itemTitle(items[0], 20), QStringLiteral("The quarterly report\u2026"));
    EXPECT_EQ(itemTitle(items[0], 17), QStringLiteral("The quarterly\u2026"));
}
