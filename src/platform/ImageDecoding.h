// Decoding images as large as a copy can hold.
#pragma once

#include <QImage>

#include <functional>

class QByteArray;
class QImageReader;

namespace ImageDecoding {

// The longest side an image is decoded whole at: formats that cannot decode at a smaller size
// (PNG among them) decode the whole image before scaling it.
inline constexpr int kMaxDecodedSide = 8000;

// While one exists, Qt's process-wide image memory limit (128 MB, a 5800 x 5800 image) is raised
// to what a 32-bit image of kMaxDecodedSide on both sides needs; the last one puts it back. Hold
// one around QImageReader::read(). Any thread.
class LargeImageAllowance {
public:
    LargeImageAllowance();
    ~LargeImageAllowance();
    LargeImageAllowance(const LargeImageAllowance &) = delete;
    LargeImageAllowance &operator=(const LargeImageAllowance &) = delete;
};

// What `read` makes of a reader over the bytes; a null image for no bytes. Any thread.
QImage fromBytes(const QByteArray &data, const std::function<QImage(QImageReader &)> &read);

} // namespace ImageDecoding
