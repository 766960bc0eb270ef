#include "core/PBImageItemProvider.h"

#include <QBuffer>
#include <QImageReader>

PBImageItemProvider::PBImageItemProvider(const std::optional<QByteArray> &data) : PBImageItemProvider(data, QString())
{
}

PBImageItemProvider::PBImageItemProvider(const std::optional<QByteArray> &data, QString text)
    : PBPayloadItemProvider(std::move(text), data ? QVariant(*data) : QVariant(), {}),
      m_pixelSize(data ? pixelSizeOf(*data) : QSize())
{
}

QSize PBImageItemProvider::pixelSizeOf(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    return size.isValid() && !size.isEmpty() ? size : QSize();
}
