#pragma once
// Text recognition in images (libtesseract). Recognition is slow (seconds on a large page): call
// recognize() off the GUI thread; it can be cancelled through the flag it polls.

#include "platform/ImageDecoding.h"

#include <QImage>
#include <QStringList>

#include <atomic>
#include <functional>

namespace TextRecognizer {

enum class Status { recognized, nothingFound, failed, cancelled };

struct Result {
    Status status = Status::failed;
    // One entry per recognised line, in reading order.
    QStringList lines;
};

// The recognition data name of a language code of the settings ("en-US" -> "eng"); Cantonese
// falls back to the Chinese data. Empty for a language without one.
QString dataName(const QString &language);
// The folder holding the recognition data: $TESSDATA_PREFIX, else the Debian package folders.
QString dataPath();
// The data names of the languages, in order without repeats; languages whose data is not
// installed are dropped (each with a log line).
QStringList installedDataNames(const QStringList &languages);

// Images larger than this on a side are scaled down before recognition.
inline constexpr int kMaxSide = ImageDecoding::kMaxDecodedSide;

// The image of the data as recognition takes it, decoded at most kMaxSide on a side; null when it
// does not decode. Qt's image memory limit (128 MB, a 5800 x 5800 image) is raised while it
// decodes to what such an image needs, so a 600-dpi page scan is read. Any thread.
QImage readImage(const QByteArray &data);

// Recognises the image's text with the data names given. `cancel` is polled while it runs;
// `progress` (0-100) is called from the calling thread. Any thread but the GUI thread.
Result recognize(const QImage &image, const QStringList &dataNames, const std::atomic<bool> *cancel = nullptr,
                 const std::function<void(int)> &progress = {});

} // namespace TextRecognizer
