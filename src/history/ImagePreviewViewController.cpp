#include "history/ImagePreviewViewController.h"

#include "platform/ImageDecoding.h"

#include <QImageReader>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QImage readFitted(QImageReader &reader)
{
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && !size.isEmpty())
        reader.setScaledSize(ImagePreviewViewController::fittedSize(size));
    QImage image;
    {
        const ImageDecoding::LargeImageAllowance allowance;
        image = reader.read();
    }
    if (!image.isNull()
        && (image.width() > ImagePreviewViewController::kLimit || image.height() > ImagePreviewViewController::kLimit))
        image = image.scaled(ImagePreviewViewController::fittedSize(image.size()), Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    return image;
}

} // namespace

ImagePreviewViewController::ImagePreviewViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ImagePreviewViewController"));
    previewImgView = new QLabel(this);
    previewImgView->setObjectName(QStringLiteral("previewImgView"));
    previewImgView->setAlignment(Qt::AlignCenter);
    previewImgView->setScaledContents(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(previewImgView);
}

QSize ImagePreviewViewController::fittedSize(const QSize &size)
{
    const int w = size.width();
    const int h = size.height();
    if (w <= 0 || h <= 0)
        return {0, 0};
    // Either side above the limit scales both down; a side of exactly 480 with the other
    // above it is fitted too.
    if (w <= kLimit && h <= kLimit)
        return size;
    if (w >= h)
        return {kLimit, std::max(1, int(qint64(h) * kLimit / w))};
    return {std::max(1, int(qint64(w) * kLimit / h)), kLimit};
}

QImage ImagePreviewViewController::decodeForPreview(const QByteArray &data)
{
    return ImageDecoding::fromBytes(data, readFitted);
}

QImage ImagePreviewViewController::decodeFileForPreview(const QString &path)
{
    QImageReader reader(path);
    return readFitted(reader);
}

void ImagePreviewViewController::configure(const QImage &image)
{
    const QSize fitted = fittedSize(image.size());
    widthConstraints = fitted.width();
    heightConstraints = fitted.height();
    previewImgView->setPixmap(QPixmap::fromImage(image));
    previewImgView->setFixedSize(fitted);
}
