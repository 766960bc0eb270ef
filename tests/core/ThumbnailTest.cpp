#include "core/Thumbnail.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {
QSize thumbnailOf(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const auto data = thumbnailData(image, 200, 200, 0.5f);
    if (!data)
        return {-1, -1};
    return QImage::fromData(*data).size();
}
} // namespace

TEST(Thumbnail, LargeImagesFitTheBoxWithTheirAspectRatio)
{
    EXPECT_EQ(thumbnailOf(400, 100), QSize(200, 50));
    EXPECT_EQ(thumbnailOf(100, 400), QSize(50, 200));
    EXPECT_EQ(thumbnailOf(400, 400), QSize(200, 200));
    EXPECT_EQ(thumbnailSize(QSizeF(300, 150), 100, 200), QSize(200, 100)); // ratios equal
}

TEST(Thumbnail, SmallImagesKeepTheirSize)
{
    EXPECT_EQ(thumbnailOf(150, 120), QSize(150, 120));
    EXPECT_EQ(thumbnailOf(1, 1), QSize(1, 1));
}

TEST(Thumbnail, ExtremeAspectRatiosKeepAtLeastOnePixel)
{
    EXPECT_EQ(thumbnailOf(100000, 1), QSize(200, 1));
    EXPECT_EQ(thumbnailOf(1, 100000), QSize(1, 200));
    EXPECT_EQ(thumbnailSize(QSizeF(5000, 3), 200, 200), QSize(200, 1));
}

TEST(Thumbnail, EmptyImagesGiveNothing)
{
    EXPECT_FALSE(thumbnailData(QImage(), 200, 200, 0.5f).has_value());
    EXPECT_TRUE(thumbnailSize(QSizeF(0, 0), 200, 200).isEmpty());
    EXPECT_TRUE(thumbnailSize(QSizeF(0, 50), 200, 200).isEmpty());
}

TEST(Thumbnail, TransparencyIsLaidOnWhiteAndQualityFollowsTheFactor)
{
    QImage image(300, 300, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const auto low = thumbnailData(image, 200, 200, 0.1f);
    ASSERT_TRUE(low.has_value());
    const QImage decoded = QImage::fromData(*low);
    EXPECT_GT(qGray(decoded.pixel(100, 100)), 240);

    QImage noisy(300, 300, QImage::Format_RGB32);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            noisy.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, (x * y) % 256));
    EXPECT_LT(thumbnailData(noisy, 200, 200, 0.1f)->size(), thumbnailData(noisy, 200, 200, 0.9f)->size());
}
