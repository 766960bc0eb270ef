#include "capture/PBItemRecordConversion.h"

#include "core/StringExtensions.h"
#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "platform/UniformType.h"

namespace {
// Enough of an image file to hold its size (a JPEG's comes after its metadata).
constexpr qsizetype kImageHeaderBytes = 64 * 1024;

std::optional<QByteArray> optionalData(const QByteArray &data)
{
    if (data.isNull())
        return std::nullopt;
    return data;
}

QString textOf(const PBItemRecord &record, bool whole)
{
    const QString text = whole ? record.text() : record.textHead(kListTextLength);
    return text.isNull() ? QString(QLatin1String("")) : text;
}

std::optional<QByteArray> dataOf(const PBItemRecord &record, bool whole)
{
    if (whole)
        return optionalData(record.data());
    const std::optional<QByteArray> data = record.dataUpTo(kListPayloadBytes);
    return data ? optionalData(*data) : std::nullopt;
}

template <typename Provider>
void lighten(Provider &provider)
{
    provider.setPasteboardData({});
    if constexpr (requires { provider.setRepresentedText(QString()); }) {
        if (provider.representedText().size() > kListTextLength)
            provider.setRepresentedText(provider.representedText().left(kListTextLength));
    }
    if constexpr (std::is_base_of_v<PBPayloadItemProvider, Provider>) {
        const QVariant &payload = provider.accosicatedData();
        if (payload.typeId() == QMetaType::QByteArray && payload.toByteArray().size() > kListPayloadBytes)
            provider.setAccosicatedData(QVariant());
    }
}
} // namespace

namespace {
bool isTextual(const PBItemProvider &provider)
{
    return provider.is<PBTextItemProvider>() || provider.is<PBLinkItemProvider>() || provider.is<PBEmailItemProvider>();
}
} // namespace

bool repeatsOwnContent(const PBItemProvider &provider, const QString &type, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return false;
    if (isTextual(provider)) {
        const QString text = provider.representedText();
        return type == PasteboardType::string && bytes.size() >= text.size() && bytes == text.toUtf8();
    }
    if (provider.is<PBImageItemProvider>() && UniformType::conformsTo(type, UniformType::image)) {
        const QVariant payload = provider.accosicatedData();
        return payload.typeId() == QMetaType::QByteArray && bytes == payload.toByteArray();
    }
    return false;
}

PBItem listItem(const PBItem &item)
{
    PBItem light = item;
    if (std::optional<PBItemProvider> &provider = light.dataProvider(); provider && !provider->is<PBNoteItemProvider>())
        std::visit([](auto &concrete) { lighten(concrete); }, provider->variant());
    return light;
}

namespace {
std::optional<PBItem> convert(const PBItemRecord &record, PayloadLoading loading, bool &representationFailed);

// The bytes a representation stored without them stands for (see repeatsOwnContent()).
QByteArray ownContent(const PBItemProvider &provider, const QString &type)
{
    if (isTextual(provider))
        return type == PasteboardType::string ? provider.representedText().toUtf8() : QByteArray();
    if (provider.is<PBImageItemProvider>() && UniformType::conformsTo(type, UniformType::image)) {
        const QVariant payload = provider.accosicatedData();
        return payload.typeId() == QMetaType::QByteArray ? payload.toByteArray() : QByteArray();
    }
    return {};
}
} // namespace

std::optional<PBItem> pbItem(const PBItemRecord &record, PayloadLoading loading, bool *readFailed)
{
    const quint32 failuresBefore = record.readFailureCount();
    bool representationFailed = false;
    std::optional<PBItem> item = convert(record, loading, representationFailed);
    const bool failed = representationFailed || record.readFailureCount() != failuresBefore;
    if (readFailed)
        *readFailed = failed;
    if (failed)
        return std::nullopt;
    return item;
}

namespace {
std::optional<PBItem> convert(const PBItemRecord &record, PayloadLoading loading, bool &representationFailed)
{
    const auto categoryRows = record.categories();
    const QUuid uuid = record.uuid();
    const QString hash = record.dataHash();
    const QDateTime createdAt = record.createdAt();
    if (uuid.isNull() || hash.isNull() || !createdAt.isValid() || categoryRows.isEmpty())
        return std::nullopt;

    QList<PBCategory> categories;
    for (const auto &row : categoryRows) {
        if (!row)
            continue;
        if (auto category = PBCategory::fromRecord(*row))
            categories.append(*category);
    }
    const auto has = [&](PBDefaultCategory kind) {
        return std::any_of(categories.cbegin(), categories.cend(),
                           [&](const PBCategory &c) { return c.type() == kind; });
    };

    // Lists read only the head of the text and small payloads; a note is always whole.
    const bool whole = loading == PayloadLoading::WithRepresentations || has(PBDefaultCategory::note);
    std::optional<PBItemProvider> provider;
    if (has(PBDefaultCategory::text)) {
        provider = PBTextItemProvider(textOf(record, whole));
    } else if (has(PBDefaultCategory::file)) {
        if (auto file = PBFileItemProvider::restore(optionalData(record.data())))
            provider = std::move(*file);
        else
            return std::nullopt;
    } else if (has(PBDefaultCategory::image)) {
        const std::optional<QByteArray> data = dataOf(record, whole);
        if (auto file = PBFileItemProvider::restore(data))
            provider = std::move(*file);
        else {
            PBImageItemProvider image(data, textOf(record, whole));
            // Listed without a large payload: its size comes from the data's start.
            if (!data)
                image.setPixelSize(PBImageItemProvider::pixelSizeOf(record.dataHead(kImageHeaderBytes)));
            provider = std::move(image);
        }
    } else if (has(PBDefaultCategory::link)) {
        provider = PBLinkItemProvider(textOf(record, whole));
    } else if (has(PBDefaultCategory::note)) {
        const QByteArray data = record.data();
        provider = PBNoteItemProvider(textOf(record, true), data.isNull() ? QVariant() : QVariant(data));
        if (std::none_of(categories.cbegin(), categories.cend(),
                         [](const PBCategory &c) { return c.id() == PBCategory::all().id(); }))
            categories.append(PBCategory::all());
    } else if (has(PBDefaultCategory::other)) {
        const std::optional<QByteArray> data = dataOf(record, whole);
        provider = PBOtherItemProvider(textOf(record, whole), data ? QVariant(*data) : QVariant());
    } else if (has(PBDefaultCategory::email)) {
        provider = PBEmailItemProvider(textOf(record, whole));
    } else {
        LOG_WARNING("convert(record:)", QStringLiteral("A stored item of an unknown type is not shown"));
        return std::nullopt;
    }

    if (loading == PayloadLoading::WithRepresentations) {
        PasteboardDataMap map;
        for (const auto &row : record.pasteboards()) {
            if (!row)
                continue;
            const quint32 failuresBefore = row->readFailureCount();
            const QString type = row->type();
            const QByteArray data = row->data();
            if (row->readFailureCount() != failuresBefore) {
                representationFailed = true;
                return std::nullopt;
            }
            if (type.isNull())
                continue;
            if (data.isEmpty()) {
                // Stored once, as the item's own content.
                const QByteArray own = ownContent(*provider, type);
                if (!own.isEmpty())
                    map.insert(type, own);
                continue;
            }
            map.insert(type, data);
        }
        if (!map.isEmpty())
            provider->setPasteboardData(map);
    }

    std::optional<PBAppInfo> sourceApp;
    if (const QString name = record.appName(); !name.isNull()) {
        const QString appId = record.appId();
        const QString appPath = record.appPath();
        sourceApp = PBAppInfo{name, appId.isNull() ? std::nullopt : std::optional(appId),
                              appPath.isNull() ? std::nullopt : std::optional(appPath)};
    }
    const QDateTime modifiedAt = record.modifiedAt();
    const QString comment = record.comment();
    return PBItem(uuid, hash, categories, std::move(provider), modifiedAt.isValid() ? modifiedAt : createdAt, createdAt,
                  sourceApp, record.is_sticky(), comment.isEmpty() ? std::nullopt : std::optional(comment));
}
} // namespace
