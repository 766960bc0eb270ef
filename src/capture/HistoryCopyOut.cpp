#include "capture/HistoryCopyOut.h"

#include "capture/HistoryProblems.h"
#include "core/TaviSettings.h"
#include "platform/Log.h"
#include "platform/Strings.h"

HistoryCopyOut::HistoryCopyOut(TaviSettings &settings, HistoryRecords &records, HistoryProblems &problems)
    : m_settings(settings),
      m_records(records),
      m_problems(problems)
{
}

std::optional<QList<PasteboardItem>> HistoryCopyOut::pasteboardItems(const QList<PBItem> &items,
                                                                     const std::optional<PBCategory> &category)
{
    QList<PasteboardItem> result;
    for (const PBItem &item : items) {
        bool readFailed = false;
        if (std::optional<PasteboardItem> pasteboardItem = getPasteboardItem(item, category, &readFailed))
            result.prepend(std::move(*pasteboardItem)); // the last item comes first
        // Nothing rather than an empty or partial copy.
        if (readFailed) {
            m_problems.tell(L("Read.Problem.title"), L("Read.Problem.CopyOut"));
            return std::nullopt;
        }
    }
    return result;
}

std::unique_ptr<QMimeData> HistoryCopyOut::mimeDataForDrag(const QList<PBItem> &items,
                                                           const std::optional<PBCategory> &category)
{
    const std::optional<QList<PasteboardItem>> dragged = pasteboardItems(items, category);
    return dragged ? Pasteboard::mimeDataForItems(*dragged) : nullptr;
}

std::optional<PasteboardItem>
HistoryCopyOut::getPasteboardItem(const PBItem &item, const std::optional<PBCategory> &category, bool *readFailed)
{
    if (readFailed)
        *readFailed = false;
    const std::optional<PBCategory> primary = item.primaryCategory();
    const PBDefaultCategory itemKind = primary ? primary->type() : PBDefaultCategory::unknown;
    PBDefaultCategory listKind = category ? category->type() : itemKind;
    if (listKind == PBDefaultCategory::custom)
        listKind = itemKind;
    if (!item.dataProvider())
        return std::nullopt;
    const char *const function = "getPasteboardItem(item:in:)";
    LOG_DEBUG(function, QStringLiteral("[>>] copy out item:"));
    PasteboardItem result;
    // Lists hold items without their representations and with their text cut: copy-out reads
    // the whole item.
    bool failed = false;
    const PBItem full = item.dataProvider()->pasteboardData().isEmpty() ? m_records.loadFullItem(item, &failed) : item;
    if (failed) {
        if (readFailed)
            *readFailed = true;
        return std::nullopt;
    }
    const PBItemProvider &provider = full.dataProvider() ? *full.dataProvider() : *item.dataProvider();
    if (itemKind == PBDefaultCategory::text && m_settings.alwaysCopyPlainText()) {
        result.setString(PasteboardType::string, provider.representedText());
        LOG_DEBUG(function, QStringLiteral("   |- copy plain string: ") + Log::redacted(provider.representedText()));
        return result;
    }
    if (listKind == PBDefaultCategory::note) {
        if (const PBNoteItemProvider *note = provider.as<PBNoteItemProvider>()) {
            result.setString(PasteboardType::string, note->body().value_or(QString()));
            LOG_DEBUG(function, QStringLiteral("   |- copy note: ") + Log::redacted(note->representedText()));
            return result;
        }
    }
    const PasteboardDataMap &data = provider.pasteboardData();
    if (data.isEmpty()) {
        result.setString(PasteboardType::string, provider.representedText());
        LOG_DEBUG(function, QStringLiteral("   |- cast to string: ") + Log::redacted(provider.representedText()));
        return result;
    }
    for (auto it = data.cbegin(); it != data.cend(); ++it) {
        if (itemKind == PBDefaultCategory::text) {
            PasteboardItem scratch;
            scratch.setData(it.key(), it.value());
            const std::optional<QString> text = scratch.string(it.key());
            if (text && !text->isEmpty())
                result.setData(it.key(), it.value());
        } else {
            result.setData(it.key(), it.value());
        }
        LOG_DEBUG(function, QStringLiteral("   |- type: ") + it.key());
    }
    LOG_DEBUG(function, QStringLiteral("🌞 pasteboard data: ") + QStringList(data.keys()).join(QStringLiteral(", ")));
    return result;
}
