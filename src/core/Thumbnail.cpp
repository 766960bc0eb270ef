#include "core/Thumbnail.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cmath>

QSize thumbnailSize(QSizeF size, float maxHeight, float maxWidth)
{
    const float w = float(size.width());
    const float h = float(size.height());
    if (!(w > 0 && h > 0))
        return {};
    float newWidth = w;
    float newHeight = h;
    if (h > maxHeight || w > maxWidth) {
        const float boxRatio = maxWidth / maxHeight;
        const float imageRatio = w / h;
        if (boxRatio > imageRatio) {
            newWidth = (maxHeight / h) * w;
            newHeight = maxHeight;
        } else if (imageRatio > boxRatio) {
            newWidth = maxWidth;
            newHeight = (maxWidth / w) * h;
        } else {
            newWidth = maxWidth;
            newHeight = maxHeight;
        }
    }
    // A very long or tall image still keeps one pixel on its short side.
    const auto pixels = [](float length) { return std::max(1, int(std::lround(length))); };
    return {pixels(newWidth), pixels(newHeight)};
}

std::optional<QByteArray> thumbnailData(const QImage &image, float maxHeight, float maxWidth, float compressionFactor)
{
    if (image.isNull())
        return std::nullopt;
    const QSize size = thumbnailSize(image.size(), maxHeight, maxWidth);
    if (size.isEmpty())
        return std::nullopt;

    QImage thumbnail(size, QImage::Format_RGB32);
    thumbnail.fill(Qt::white);
    {
        QPainter painter(&thumbnail);
        painter.drawImage(0, 0, image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }

    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(int(std::lround(std::clamp(compressionFactor, 0.0f, 1.0f) * 100)));
    if (!writer.write(thumbnail) || data.isEmpty())
        return std::nullopt;
    return data;
}
