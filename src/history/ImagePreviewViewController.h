#pragma once
// The preview of an image, fitted within 480 x 480 with its aspect ratio kept (never enlarged).
// GUI thread; decoding is the caller's, off the GUI thread (see decodeForPreview).

#include <QImage>
#include <QWidget>

class QLabel;

class ImagePreviewViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLimit = 480;

    explicit ImagePreviewViewController(QWidget *parent = nullptr);

    void configure(const QImage &image);

    // The size an image of `size` is shown at.
    static QSize fittedSize(const QSize &size);
    // The image decoded at its fitted size; null when it does not decode. Any thread.
    static QImage decodeForPreview(const QByteArray &data);
    static QImage decodeFileForPreview(const QString &path);

    QLabel *previewImgView = nullptr;
    int widthConstraints = 0;
    int heightConstraints = 0;
};
