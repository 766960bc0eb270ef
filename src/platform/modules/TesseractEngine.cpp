// The text recognition module: libtesseract.

#include "platform/TextRecognitionEngine.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <dlfcn.h>
#include <memory>

using TextRecognizer::Result;
using TextRecognizer::Status;

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

class TesseractEngine final : public TextRecognitionEngine {
public:
    Result recognize(const QImage &gray, const QByteArray &dataPath, const QByteArray &languages,
                     const std::atomic<bool> *cancel, const std::function<void(int)> &progress,
                     QString *failure) override
    {
        adaptThreadsToLoad();
        auto api = std::make_unique<tesseract::TessBaseAPI>();
        if (api->Init(dataPath.constData(), languages.constData(), tesseract::OEM_DEFAULT) != 0) {
            *failure = QStringLiteral("The recognition data could not be loaded: ") + QString::fromLatin1(languages);
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
            *failure = QStringLiteral("Text recognition failed");
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
        return result;
    }
};

} // namespace

extern "C" Q_DECL_EXPORT TextRecognitionEngine *taviTextRecognitionEngine()
{
    static TesseractEngine engine;
    return &engine;
}
