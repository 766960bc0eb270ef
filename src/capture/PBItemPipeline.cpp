#include "capture/PBItemPipeline.h"

#include "core/FileTypes.h"
#include "core/HtmlReading.h"
#include "core/RtfReader.h"
#include "core/StringExtensions.h"
#include "core/TaviSettings.h"
#include "core/Thumbnail.h"
#include "core/store/StoreFailure.h"
#include "platform/LockedFiles.h"
#include "platform/Log.h"
#include "platform/UniformType.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTextBoundaryFinder>
#include <QUrl>

#include <cmath>
#include <exception>

namespace {
const char *const kFunction = "processPasteboardItem(_:from:resultCompletion:)";
const QString kNotesRichText = QStringLiteral("com.apple.notes.richtext");
const QString kTraditionalMacText = QStringLiteral("com.apple.traditional-mac-plain-text");
constexpr int kSummaryLength = 48;

QString concealedSkipped()
{
    return QStringLiteral("A concealed item (%1) was skipped.").arg(PasteboardType::concealed);
}

// Counts at most `limit` characters, so that a huge text costs no more than a short one.
qsizetype graphemeCount(const QString &text, qsizetype limit)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (count < limit && finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString graphemePrefix(const QString &text, qsizetype length)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            break;
        end = next;
    }
    return text.left(end);
}

bool containsAny(const QStringList &types, const QStringList &list)
{
    return std::any_of(types.cbegin(), types.cend(), [&](const QString &type) { return list.contains(type); });
}

bool looksLikeImage(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead();
}

PBCategory kindCategory(PBDefaultCategory kind)
{
    return PBCategory(std::nullopt, localizedName(kind), defaultBackgroundColor(kind), defaultForegroundColor(kind),
                      kind, false, false);
}

// The text of copied HTML. HTML larger than PBItemPipeline::kMaxLaidOutHtmlBytes is not laid
// out when the copy has a plain text too: that text is taken instead.
std::optional<QString> textOfHtml(const PasteboardItem &item, const QByteArray &html)
{
    if (html.size() > PBItemPipeline::kMaxLaidOutHtmlBytes) {
        if (std::optional<QString> plain = item.string(PasteboardType::string))
            return plain;
    }
    if (const std::optional<QTextDocumentFragment> fragment = htmlAttributedString(html))
        return fragment->toPlainText();
    return std::nullopt;
}

struct Classified {
    std::optional<PBItemProvider> provider;
    PBDefaultCategory kind = PBDefaultCategory::other;
    QString dropReason; // set when the item must be dropped outright
};

// A copied file URL: an image file becomes an image item when it is small enough to read.
Classified classifyFileUrl(const PasteboardItem &item, const QByteArray &data, qint64 *imageFileBytesLeft)
{
    const QUrl url(QString::fromUtf8(data).trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.isEmpty() || url.isRelative())
        return {
            PBTextItemProvider(item.string(PasteboardType::string).value_or(QString())), PBDefaultCategory::text, {}};
    if (url.isLocalFile() && isImage(url)) {
        const QFileInfo info(url.toLocalFile());
        TaviSettings &settings = TaviSettings::shared();
        qint64 limit = PBItemPipeline::kMaxImageFileBytes;
        if (settings.ignoreDataSizeMoreThan() && !settings.unreadableSizeLimitSetting())
            limit = std::min(limit,
                             PBItemPipeline::sizeLimitBytes(settings.ignoreDataSize(),
                                                            settings.ignoreDataSizeType() == IgnoreDataSizeType::mb));
        if (imageFileBytesLeft)
            limit = std::min(limit, *imageFileBytesLeft);
        // The store's own file under another name stays a file item: closing a descriptor of it
        // would drop the locks the store's connections hold on it.
        if (info.isFile() && info.size() <= limit && !LockedFiles::isHeld(info.filePath())) {
            if (imageFileBytesLeft)
                *imageFileBytesLeft -= info.size();
            QFile file(info.filePath());
            if (file.open(QIODevice::ReadOnly)) {
                QByteArray bytes = file.read(limit + 1);
                if (file.error() == QFileDevice::NoError && bytes.size() <= limit)
                    return {PBImageItemProvider(bytes, info.fileName()), PBDefaultCategory::image, {}};
            }
        }
    }
    return {PBFileItemProvider(url), PBDefaultCategory::file, {}};
}

Classified classifyText(const PasteboardItem &item, const QString &availableType, const QByteArray &data)
{
    std::optional<QString> text;
    if (availableType == kTraditionalMacText || availableType == UniformType::webArchive
        || availableType == kNotesRichText) {
        text = item.string(PasteboardType::string);
    } else if (!UniformType::conformsTo(availableType, UniformType::plainText)) {
        if (!UniformType::isEqual(availableType, UniformType::rtf))
            text = textOfHtml(item, data);
        if (!text) {
            if (const std::optional<QTextDocumentFragment> attributed = RtfReader::read(data))
                text = attributed->toPlainText();
        }
    }
    if (!text)
        text = item.string(availableType);
    if (!text)
        text = item.string(PasteboardType::string);
    Classified result;
    if (text) {
        if (isURL(*text)) {
            result = {PBLinkItemProvider(*text), PBDefaultCategory::link, {}};
        } else if (isEmail(*text)) {
            result = {PBEmailItemProvider(*text), PBDefaultCategory::email, {}};
        } else {
            result = {PBTextItemProvider(*text), PBDefaultCategory::text, {}};
        }
    } else {
        result.kind = PBDefaultCategory::text;
    }
    return result;
}

Classified classify(const PasteboardItem &item, const QString &availableType, const QByteArray &data,
                    const std::optional<QString> &summaryText, qint64 *imageFileBytesLeft)
{
    if (UniformType::conformsTo(availableType, UniformType::fileURL))
        return classifyFileUrl(item, data, imageFileBytesLeft);
    if (UniformType::conformsTo(availableType, UniformType::image)) {
        const std::optional<QByteArray> bytes = item.data(availableType);
        if (!bytes)
            return {std::nullopt, PBDefaultCategory::image, {}};
        if (!looksLikeImage(*bytes))
            return {std::nullopt, PBDefaultCategory::image,
                    QStringLiteral("Image data could not be read. Ignored! - ") + availableType};
        return {PBImageItemProvider(*bytes), PBDefaultCategory::image, {}};
    }
    if (UniformType::conformsTo(availableType, UniformType::html)) {
        const QString text = textOfHtml(item, data).value_or(QString());
        if (isURL(text))
            return {PBLinkItemProvider(text), PBDefaultCategory::link, {}};
        return {PBTextItemProvider(text), PBDefaultCategory::text, {}};
    }
    if (UniformType::conformsTo(availableType, UniformType::text)
        || UniformType::conformsTo(availableType, UniformType::webArchive) || availableType == kNotesRichText)
        return classifyText(item, availableType, data);

    for (const QString &type : item.types()) {
        if (!UniformType::conformsTo(type, UniformType::image))
            continue;
        std::optional<PBItemProvider> provider;
        if (const std::optional<QByteArray> bytes = item.data(type)) {
            const QImage image = QImage::fromData(*bytes);
            if (const std::optional<QByteArray> thumbnail = thumbnailData(image, 200, 200, 0.5f))
                provider = PBImageItemProvider(*thumbnail);
        }
        return {provider, PBDefaultCategory::image, {}};
    }
    auto [provider, kind] = PBItemPipeline::getPasteboardData(item, summaryText);
    return {std::move(provider), kind, {}};
}

PasteboardProcessResult fail(const QString &reason) { return PasteboardProcessResult::failure(reason); }

PasteboardProcessResult processItem(const PasteboardItem &item, const std::optional<RunningApplication> &app,
                                    const PBItemPipeline::Environment &environment)
{
    // 1-3: the chosen type is the owner's first.
    const QStringList types = item.types();
    if (types.isEmpty())
        return fail(QStringLiteral("No UTI strings found in pasteboard item. Ignored."));
    const QString availableType = types.first();
    if (availableType.isEmpty())
        return fail(QStringLiteral("No available type found. Ignored."));
    // A password manager's copy: nothing of it is read, hashed, looked up or logged but this line.
    if (item.hasType(PasteboardType::concealed))
        return PasteboardProcessResult::failure(concealedSkipped());

    TaviSettings &settings = TaviSettings::shared();
    if (settings.ignoreDataFromOtherDevices() && containsAny(types, PBItemPipeline::handoffTypes()))
        return fail(QStringLiteral("Type not suppport! Ignored! - ") + availableType);

    // 5: the bytes that are hashed, size-checked and classified.
    std::optional<QByteArray> data;
    if (!UniformType::isDynamic(availableType)) {
        if (auto bytes = item.data(availableType); bytes && !bytes->isEmpty())
            data = std::move(bytes);
    }
    if (!data) {
        if (auto bytes = item.data(PasteboardType::string); bytes && !bytes->isEmpty())
            data = std::move(bytes);
    }
    if (!data)
        data = item.data(PasteboardType::png);
    if (!data)
        return fail(QStringLiteral("No valid data found. Ignored! - ") + availableType);

    // 6: size limit; one that cannot be read drops nothing.
    if (settings.ignoreDataSizeMoreThan() && !settings.unreadableSizeLimitSetting()) {
        const qint64 limit = PBItemPipeline::sizeLimitBytes(settings.ignoreDataSize(),
                                                            settings.ignoreDataSizeType() == IgnoreDataSizeType::mb);
        if (data->size() > limit)
            return fail(QStringLiteral("Data larger than the size limit. Ignored! - ") + availableType);
    }

    // 7-8: hash and the look-up of a stored repeat.
    const QString hash = PBItemPipeline::contentHash(item, availableType, *data);
    std::optional<PBItem> found = environment.findItemByHash ? environment.findItemByHash(hash) : std::nullopt;

    const std::optional<PBCategory> active = environment.activeCategory ? environment.activeCategory() : std::nullopt;
    if (found) {
        const bool lacksActive = active
                                 && std::none_of(found->categories().cbegin(), found->categories().cend(),
                                                 [&](const PBCategory &c) { return c.id() == active->id(); });
        return PasteboardProcessResult::update(std::move(*found), lacksActive ? active : std::nullopt);
    }

    // 10: every representation; transient, concealed and our own content is not recorded.
    std::optional<QString> summaryText;
    qsizetype summaryLength = 0;
    PasteboardDataMap pasteboardData;
    const std::optional<QString> sourceId = app ? std::optional<QString>(app->bundleIdentifier) : std::nullopt;
    for (const auto &[type, bytes] : item.entries()) {
        if (PBItemPipeline::transientTypes().contains(type) || PBItemPipeline::markerTypes().contains(type)
            || sourceId == std::optional<QString>(environment.ownBundleIdentifier))
            return fail(QStringLiteral("Illegal type found or item generated from Tavi: ") + type
                        + QStringLiteral(". Ignored."));
        if (const std::optional<QString> string = item.string(type)) {
            if (!summaryText || graphemeCount(*string, summaryLength) < summaryLength) {
                summaryText = graphemePrefix(*string, kSummaryLength);
                summaryLength = graphemeCount(*summaryText, kSummaryLength);
            }
        }
        pasteboardData.insert(type, bytes);
    }
    if (pasteboardData.isEmpty())
        return fail(QStringLiteral("No valiad pasteboard data found. Ignored!"));

    // 12-13: kind and payload.
    Classified classified = classify(item, availableType, *data, summaryText, environment.imageFileBytesLeft);
    if (!classified.dropReason.isEmpty())
        return fail(classified.dropReason);
    // Whatever representation the text was read from (plain, rich, HTML).
    if (classified.provider && classified.provider->is<PBTextItemProvider>() && settings.ignoreWhiteSpace()
        && isWhiteSpaceOnly(classified.provider->representedText()))
        return fail(QStringLiteral("White space only. Ignored!"));
    if (!classified.provider)
        return fail(QStringLiteral("No content could be made of the item. Ignored! - ") + availableType);

    // 14: the new item.
    classified.provider->setPasteboardData(pasteboardData);
    const QDateTime now = environment.time.isValid() ? environment.time : QDateTime::currentDateTime();
    std::optional<PBAppInfo> sourceApp;
    if (app) {
        const QString name = app->localizedName.isEmpty() ? app->description() : app->localizedName;
        sourceApp =
            PBAppInfo{name, app->bundleIdentifier.isEmpty() ? std::nullopt : std::optional(app->bundleIdentifier),
                      app->bundlePath.isEmpty() ? std::nullopt : std::optional(app->bundlePath)};
    }
    QList<PBCategory> categories{kindCategory(classified.kind), PBCategory::all()};
    if (active && std::none_of(categories.cbegin(), categories.cend(), [&](const PBCategory &c) {
            return c.id() == active->id();
        }))
        categories.append(*active);
    PBItem newItem(QUuid::createUuid(), hash, categories, std::move(classified.provider), now, now, sourceApp, false,
                   std::nullopt);
    return PasteboardProcessResult::newItem(std::move(newItem));
}
} // namespace

const QStringList &PBItemPipeline::handoffTypes()
{
    static const QStringList types{QStringLiteral("com.apple.is-remote-clipboard")};
    return types;
}

const QStringList &PBItemPipeline::transientTypes()
{
    static const QStringList types{
        QStringLiteral("com.tavi.TransientPasteboardType"), QStringLiteral("com.typeit4me.clipping"),
        QStringLiteral("Pasteboard generator type"), QStringLiteral("com.agilebits.onepassword")};
    return types;
}

const QStringList &PBItemPipeline::markerTypes()
{
    static const QStringList types{PasteboardType::transient, PasteboardType::concealed, PasteboardType::autoGenerated,
                                   PasteboardType::source};
    return types;
}

PasteboardProcessResult PBItemPipeline::process(const PasteboardItem &item,
                                                const std::optional<RunningApplication> &app,
                                                const Environment &environment)
{
    PasteboardProcessResult result;
    try {
        result = processItem(item, app, environment);
    } catch (const std::exception &error) {
        result =
            fail(QStringLiteral("Reading the item failed: ") + storeFailureKind(error) + QStringLiteral(". Ignored."));
    } catch (...) {
        result = fail(QStringLiteral("Reading the item failed. Ignored."));
    }
    if (result.kind == PasteboardProcessResult::Kind::Failure) {
        if (environment.dropped)
            environment.dropped(result.reason);
        else
            TAVI_LOG(result.reason == concealedSkipped() ? LogLevel::Info : LogLevel::Debug, kFunction, result.reason);
    }
    return result;
}

std::pair<PBItemProvider, PBDefaultCategory> PBItemPipeline::getPasteboardData(const PasteboardItem &item,
                                                                               const std::optional<QString> &text)
{
    for (const QString &type : item.types()) {
        if (!UniformType::conformsTo(type, UniformType::text))
            continue;
        if (const std::optional<QString> string = item.string(PasteboardType::string))
            return {PBTextItemProvider(*string), PBDefaultCategory::text};
    }
    return {PBOtherItemProvider(text.value_or(QString())), PBDefaultCategory::other};
}

QString PBItemPipeline::contentHash(const PasteboardItem &item, const QString &availableType, const QByteArray &data)
{
    // The whole content: a prefix or suffix would make different copies look like repeats.
    const bool textual = UniformType::conformsTo(availableType, UniformType::text)
                         || UniformType::conformsTo(availableType, UniformType::html);
    if (!UniformType::conformsTo(availableType, UniformType::fileURL)
        && (textual || item.hasType(PasteboardType::string))) {
        if (const std::optional<QString> string = item.string(PasteboardType::string))
            return md5(*string);
    }
    return md5(data);
}

qint64 PBItemPipeline::sizeLimitBytes(double size, bool megabytes)
{
    constexpr double kMax = 9007199254740992.0; // 2^53: every integer below is exact
    if (std::isnan(size))
        size = 1.0;
    const double bytes = size * (megabytes ? 1024.0 * 1024.0 : 1024.0);
    if (!(bytes > 0))
        return 0;
    if (bytes >= kMax)
        return static_cast<qint64>(kMax);
    return static_cast<qint64>(bytes); // toward zero
}
