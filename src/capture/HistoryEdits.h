#pragma once
// Changes the user makes to stored items: the comment, the text, pinning, and the categories an
// item is filed under. Each change asks for a save and refreshes the lists; a completion runs
// before returning, and not when the item is gone. Any thread.

#include "capture/HistoryRecords.h"

#include <functional>

class HistoryEdits {
public:
    explicit HistoryEdits(HistoryRecords &records);

    void updateComment(const PBItem &item, const std::optional<QString> &comment,
                       const std::function<void()> &completion);
    void updateText(const PBItem &item, const QString &text, const std::function<void()> &completion);
    void stickItem(const PBItem &item, bool is_sticky, const std::function<void()> &completion);
    void addItem(const PBItem &item, const PBCategory &to);
    void addItems(const QList<PBItem> &items, const PBCategory &to);
    void removeItem(const PBItem &item, const PBCategory &from);
    void removeCategoryFromAllItems(const PBCategory &category);

private:
    // Files the item's record under the category or takes it out, and tells the interface.
    bool retag(const PBItem &item, const PBCategory &category, bool adding, const char *function);

    HistoryRecords &m_records;
};
