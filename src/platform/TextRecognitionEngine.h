#pragma once
// What recognises text: made by the text recognition module (the only code linking
// libtesseract), loaded on the first recognition. Any thread but the GUI thread.

#include "platform/TextRecognizer.h"

#include <QByteArray>

class TextRecognitionEngine {
public:
    virtual ~TextRecognitionEngine() = default;
    // Recognises a grayscale image with the data at `dataPath` for the languages ("eng+fra");
    // on failure `failure` says what failed, for the log.
    virtual TextRecognizer::Result recognize(const QImage &gray, const QByteArray &dataPath,
                                             const QByteArray &languages, const std::atomic<bool> *cancel,
                                             const std::function<void(int)> &progress, QString *failure) = 0;
};

using TextRecognitionEngineEntry = TextRecognitionEngine *(*)();
inline constexpr char kTextRecognitionModule[] = "ocr";
inline constexpr char kTextRecognitionEngineEntry[] = "taviTextRecognitionEngine";
