#include "platform/TextRecognizer.h"

#include "platform/ImageDecoding.h"
#include "platform/LoadableModule.h"
#include "platform/Log.h"
#include "platform/TextRecognitionEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QPainter>

namespace TextRecognizer {

QString dataName(const QString &language)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("en-US"), QStringLiteral("eng")},
        {QStringLiteral("zh-Hans"), QStringLiteral("chi_sim")},
        {QStringLiteral("zh-Hant"), QStringLiteral("chi_tra")},
        {QStringLiteral("yue-Hans"), QStringLiteral("chi_sim")},
        {QStringLiteral("yue-Hant"), QStringLiteral("chi_tra")},
        {QStringLiteral("fr-FR"), QStringLiteral("fra")},
        {QStringLiteral("it-IT"), QStringLiteral("ita")},
        {QStringLiteral("de-DE"), QStringLiteral("deu")},
        {QStringLiteral("es-ES"), QStringLiteral("spa")},
        {QStringLiteral("pt-BR"), QStringLiteral("por")},
        {QStringLiteral("ko-KR"), QStringLiteral("kor")},
        {QStringLiteral("ja-JP"), QStringLiteral("jpn")},
        {QStringLiteral("ru-RU"), QStringLiteral("rus")},
        {QStringLiteral("uk-UA"), QStringLiteral("ukr")},
    };
    return names.value(language);
}

QString dataPath()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        return prefix;
    for (const char *candidate :
         {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata", "/usr/share/tessdata"}) {
        if (QFileInfo(QString::fromLatin1(candidate)).isDir())
            return QString::fromLatin1(candidate);
    }
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

QStringList installedDataNames(const QStringList &languages)
{
    const QDir folder(dataPath());
    QStringList names;
    for (const QString &language : languages) {
        const QString name = dataName(language);
        if (name.isEmpty()) {
            LOG_WARNING("installedDataNames(languages:)",
                        QStringLiteral("No recognition data is known for ") + language);
            continue;
        }
        if (names.contains(name))
            continue;
        if (!folder.exists(name + QStringLiteral(".traineddata"))) {
            LOG_WARNING("installedDataNames(languages:)",
                        QStringLiteral("Recognition data %1 for %2 is not installed; the language is left out")
                            .arg(name, language));
            continue;
        }
        names.append(name);
    }
    return names;
}

QImage readImage(const QByteArray &data)
{
    return ImageDecoding::fromBytes(data, [](QImageReader &reader) {
        const QSize size = reader.size();
        // A huge image is decoded at a size recognition can handle.
        if (size.isValid() && (size.width() > kMaxSide || size.height() > kMaxSide))
            reader.setScaledSize(size.scaled(kMaxSide, kMaxSide, Qt::KeepAspectRatio));
        const ImageDecoding::LargeImageAllowance allowance;
        return reader.read();
    });
}

Result recognize(const QImage &image, const QStringList &dataNames, const std::atomic<bool> *cancel,
                 const std::function<void(int)> &progress)
{
    const char *const function = "recognize(image:languages:)";
    if (image.isNull() || image.width() < 1 || image.height() < 1 || dataNames.isEmpty())
        return {Status::failed, {}};
    QImage gray = image;
    if (gray.width() > kMaxSide || gray.height() > kMaxSide)
        gray = gray.scaled(kMaxSide, kMaxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Transparent pixels (screenshots of text on nothing) read as white paper.
    if (gray.hasAlphaChannel()) {
        QImage paper(gray.size(), QImage::Format_RGB32);
        paper.fill(Qt::white);
        QPainter(&paper).drawImage(0, 0, gray);
        gray = paper;
    }
    gray = gray.convertToFormat(QImage::Format_Grayscale8);
    if (gray.isNull())
        return {Status::failed, {}};

    // On this worker thread: the first recognition loads the module and maps libtesseract.
    const QFunctionPointer entry =
        LoadableModule::entry(QString::fromLatin1(kTextRecognitionModule), kTextRecognitionEngineEntry);
    if (!entry) {
        LOG_ERROR(function, QStringLiteral("This build has no text recognition"));
        return {Status::failed, {}};
    }
    QString failure;
    const Result result = reinterpret_cast<TextRecognitionEngineEntry>(entry)()->recognize(
        gray, QFile::encodeName(dataPath()), dataNames.join(QLatin1Char('+')).toLatin1(), cancel, progress, &failure);
    if (!failure.isEmpty())
        LOG_ERROR(function, failure);
    else if (result.status != Status::cancelled)
        LOG_INFO(function, QStringLiteral("Recognised lines: ") + QString::number(result.lines.size()));
    return result;
}

} // namespace TextRecognizer
