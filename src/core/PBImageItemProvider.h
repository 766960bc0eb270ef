#pragma once
// A copied image: the payload is the image data, the text its name (the file's name when it was
// read from a file, else empty). Any thread.

#include "core/PBTextualItemProvider.h"

#include <QSize>

class PBImageItemProvider : public PBPayloadItemProvider {
public:
    explicit PBImageItemProvider(const std::optional<QByteArray> &data);
    PBImageItemProvider(const std::optional<QByteArray> &data, QString text);

    // Always a provider, without a name.
    static std::optional<PBImageItemProvider> restore(const std::optional<QByteArray> &data)
    {
        return PBImageItemProvider(data);
    }

    // The image's size in pixels, read from the header of its data; empty when unknown.
    QSize pixelSize() const { return m_pixelSize; }
    // For an item listed without its data: the size read from the data's start.
    void setPixelSize(QSize size) { m_pixelSize = size; }

    // The size an image's header gives (only the header is read); empty when it cannot be read.
    static QSize pixelSizeOf(const QByteArray &data);

private:
    QSize m_pixelSize;
};
