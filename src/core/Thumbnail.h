#pragma once
// The scaled preview stored for copied images. Any thread.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

// The size an image of `size` takes inside a box of maxWidth x maxHeight: scaled down to fit with
// its aspect ratio kept, never enlarged, never a side of 0 pixels. An empty size when the image
// has no pixels.
QSize thumbnailSize(QSizeF size, float maxHeight, float maxWidth);

// The image scaled into the box and encoded as JPEG with the compression factor (0 to 1, higher
// is better quality); transparent parts are laid on white. Nothing when the image is empty or
// cannot be encoded.
std::optional<QByteArray> thumbnailData(const QImage &image, float maxHeight, float maxWidth, float compressionFactor);
