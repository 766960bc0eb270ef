#include "platform/TextRecognizer.h"

#include "platform/Log.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QPainter>

#ifdef TAVI_HAVE_TESSERACT
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#endif

#include <dlfcn.h>
#include <memory>
#include <mutex>

namespace TextRecognizer {

QString dataName(const QString &language)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("en-US"), QStringLiteral("eng")},    {QStringLiteral("zh-Hans"), QStringLiteral("chi_sim")},
        {QStringLiteral("zh-Hant"), QStringLiteral("chi_tra")}, {QStringLiteral("yue-Hans"), QStringLiteral("chi_sim")},
        {QStringLiteral("yue-Hant"), QStringLiteral("chi_tra")}, {QStringLiteral("fr-FR"), QStringLiteral("fra")},
        {QStringLiteral("it-IT"), QStringLiteral("ita")},    {QStringLiteral("de-DE"), QStringLiteral("deu")},
        {QStringLiteral("es-ES"), QStringLiteral("spa")},    {QStringLiteral("pt-BR"), QStringLiteral("por")},
        {QStringLiteral("ko-KR"), QStringLiteral("kor")},    {QStringLiteral("ja-JP"), QStringLiteral("jpn")},
        {QStringLiteral("ru-RU"), QStringLiteral("rus")},    {QStringLiteral("uk-UA"), QStringLiteral("ukr")},
    };
    return names.value(language);
}

QString dataPath()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        return prefix;
    for (const char *candidate : {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata",
                                  "/usr/share/tessdata"}) {
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
            LOG_WARNING("installedDataNames(languages:)", QStringLiteral("No recognition data is known for ") + language);
            continue;
        }
        if (names.contains(name))
            continue;
        if (!folder.exists(name + QStringLiteral(".traineddata"))) {
            LOG_WARNING("installedDataNames(languages:)",
                        QStringLiteral("Recognition data %1 for %2 is not installed; the language is left out").arg(name, language));
            continue;
        }
        names.append(name);
    }
    return names;
}

namespace {
// Qt's limit is one for the process: it stays raised while any recognition read runs and is put
// back by the last one.
class RaisedImageLimit {
public:
    RaisedImageLimit()
    {
        std::lock_guard lock(s_mutex);
        if (s_readers++ == 0) {
            s_saved = QImageReader::allocationLimit();
            // A 32-bit image of kMaxSide x kMaxSide pixels, in MB; no limit stays no limit.
            constexpr int needed = int((qint64(kMaxSide) * kMaxSide * 4 + (1 << 20) - 1) >> 20);
            if (s_saved > 0 && s_saved < needed)
                QImageReader::setAllocationLimit(needed);
        }
    }
    ~RaisedImageLimit()
    {
        std::lock_guard lock(s_mutex);
        if (--s_readers == 0)
            QImageReader::setAllocationLimit(s_saved);
    }
    RaisedImageLimit(const RaisedImageLimit &) = delete;
    RaisedImageLimit &operator=(const RaisedImageLimit &) = delete;

private:
    static inline std::mutex s_mutex;
    static inline int s_readers = 0;
    static inline int s_saved = 0;
};
} // namespace

QImage readImage(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    // A huge image is decoded at a size recognition can handle.
    if (size.isValid() && (size.width() > kMaxSide || size.height() > kMaxSide))
        reader.setScaledSize(size.scaled(kMaxSide, kMaxSide, Qt::KeepAspectRatio));
    const RaisedImageLimit limit;
    return reader.read();
}

#ifdef TAVI_HAVE_TESSERACT

namespace {

struct Monitor {
    const std::atomic<bool> *cancel = nullptr;
    const std::function<void(int)> *progress = nullptr;
    int lastProgress = -1;
};

// The recognition library parallelises with OpenMP, whose idle threads spin: on a busy desktop
// that makes a recognition several times slower and keeps other cores hot. Its parallel parts
// take as many threads as the load leaves free (set for the calling thread).
void adaptThreadsToLoad()
{
    using SetFlag = void (*)(int);
    static const auto setDynamic = reinterpret_cast<SetFlag>(dlsym(RTLD_DEFAULT, "omp_set_dynamic"));
    if (setDynamic)
        setDynamic(1);
}

bool cancelled(void *data, int)
{
    auto *monitor = static_cast<Monitor *>(data);
    return monitor->cancel && monitor->cancel->load();
}

} // namespace

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

    adaptThreadsToLoad();
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    const QByteArray path = QFile::encodeName(dataPath());
    const QByteArray languages = dataNames.join(QLatin1Char('+')).toLatin1();
    if (api->Init(path.constData(), languages.constData(), tesseract::OEM_DEFAULT) != 0) {
        LOG_ERROR(function, QStringLiteral("The recognition data could not be loaded: ") + QString::fromLatin1(languages));
        return {Status::failed, {}};
    }
    if (cancel && cancel->load())
        return {Status::cancelled, {}};
    api->SetPageSegMode(tesseract::PSM_AUTO);
    api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
    // Screen captures are at screen resolution; saying so spares a warning and a guess.
    api->SetSourceResolution(96);

    Monitor monitorData{cancel, &progress};
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelled;
    monitor.cancel_this = &monitorData;
    if (progress) {
        monitor.progress_callback2 = [](tesseract::ETEXT_DESC *description, int, int, int, int) {
            auto *data = static_cast<Monitor *>(description->cancel_this);
            if (data->progress && *data->progress && description->progress != data->lastProgress) {
                data->lastProgress = description->progress;
                (*data->progress)(description->progress);
            }
            return true;
        };
    }
    const int failed = api->Recognize(&monitor);
    if (cancel && cancel->load())
        return {Status::cancelled, {}};
    if (failed != 0) {
        LOG_ERROR(function, QStringLiteral("Text recognition failed"));
        return {Status::failed, {}};
    }
    Result result{Status::nothingFound, {}};
    std::unique_ptr<tesseract::ResultIterator> lines(api->GetIterator());
    if (lines) {
        do {
            std::unique_ptr<char[]> text(lines->GetUTF8Text(tesseract::RIL_TEXTLINE));
            if (!text)
                continue;
            const QString line = QString::fromUtf8(text.get()).trimmed();
            if (!line.isEmpty())
                result.lines.append(line);
        } while (lines->Next(tesseract::RIL_TEXTLINE));
    }
    api->End();
    if (!result.lines.isEmpty())
        result.status = Status::recognized;
    LOG_INFO(function, QStringLiteral("Recognised lines: ") + QString::number(result.lines.size()));
    return result;
}

#else

Result recognize(const QImage &, const QStringList &, const std::atomic<bool> *, const std::function<void(int)> &)
{
    LOG_ERROR("recognize(image:languages:)", QStringLiteral("This build has no text recognition"));
    return {Status::failed, {}};
}

#endif

} // namespace TextRecognizer
