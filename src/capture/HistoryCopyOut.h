#pragma once
// What a copy-out or a drag of history items carries: each item's stored data read back whole
// and put under its pasteboard types, as the item's kind and the list it is in want it. Reads
// only; the clipboard is written by the caller. Any thread.

#include "capture/HistoryRecords.h"
#include "platform/Pasteboard.h"

#include <QMimeData>

#include <memory>

class HistoryProblems;
class TaviSettings;

class HistoryCopyOut {
public:
    HistoryCopyOut(TaviSettings &settings, HistoryRecords &records, HistoryProblems &problems);

    // The pasteboard items of a copy-out: the last item first, items without data left out;
    // none, the user told, when an item's stored data could not be read.
    std::optional<QList<PasteboardItem>> pasteboardItems(const QList<PBItem> &items,
                                                         const std::optional<PBCategory> &category);
    std::unique_ptr<QMimeData> mimeDataForDrag(const QList<PBItem> &items, const std::optional<PBCategory> &category);
    std::optional<PasteboardItem> getPasteboardItem(const PBItem &item, const std::optional<PBCategory> &category,
                                                    bool *readFailed = nullptr);

private:
    TaviSettings &m_settings;
    HistoryRecords &m_records;
    HistoryProblems &m_problems;
};
