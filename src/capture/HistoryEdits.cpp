#include "capture/HistoryEdits.h"

#include "capture/HistoryAnnouncements.h"
#include "core/NotificationNames.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"

HistoryEdits::HistoryEdits(HistoryRecords &records) : m_records(records) {}

void HistoryEdits::updateComment(const PBItem &item, const std::optional<QString> &comment,
                                 const std::function<void()> &completion)
{
    LOG_DEBUG("updateComment(item:comment:completion:)",
              QStringLiteral("[-] -> update item comment: ")
                  + (comment ? Log::redacted(*comment) : QStringLiteral("NA")));
    const HistoryRecords::RecordPtr record = m_records.recordFor(item);
    if (!record) {
        LOG_DEBUG("updateComment(item:comment:completion:)", QStringLiteral("[-] ! no item found"));
        return;
    }
    record->setComment(comment.value_or(QString()));
    m_records.refreshLists();
    m_records.changed();
    if (completion)
        completion();
}

void HistoryEdits::updateText(const PBItem &item, const QString &text, const std::function<void()> &completion)
{
    LOG_DEBUG("updateText(item:text:completion:)",
              QStringLiteral("[-] -> update item text: text: ") + Log::redacted(text));
    const HistoryRecords::RecordPtr record = m_records.recordFor(item);
    if (!record) {
        LOG_DEBUG("updateText(item:text:completion:)", QStringLiteral("[-] ! no item found"));
        return;
    }
    m_records.storage().context()->performAndWait([&] {
        // A representation kept as the item's text keeps the text it was copied with.
        for (const auto &pasteboard : record->pasteboards()) {
            if (pasteboard && pasteboard->type() == PasteboardType::string && pasteboard->data().isEmpty())
                pasteboard->setData(record->text().toUtf8());
        }
        record->setText(text);
        record->setModifiedAt(QDateTime::currentDateTime());
    });
    m_records.refreshLists();
    m_records.changed();
    if (completion)
        completion();
}

void HistoryEdits::stickItem(const PBItem &item, bool is_sticky, const std::function<void()> &completion)
{
    const char *const function = "stickItem(item:is_sticky:completion:)";
    LOG_DEBUG(function, QStringLiteral("[-] -> stick item: is_sticky: ")
                            + (is_sticky ? QStringLiteral("true") : QStringLiteral("false")));
    const HistoryRecords::RecordPtr record = m_records.recordFor(item);
    if (!record) {
        LOG_DEBUG(function, QStringLiteral("[-] ! no item found"));
        return;
    }
    m_records.storage().context()->performAndWait([&] {
        record->setIs_sticky(is_sticky);
        record->setModifiedAt(QDateTime::currentDateTime());
    });
    m_records.refreshLists();
    m_records.changed();
    LOG_DEBUG(function, QStringLiteral("[-] <- stick item done"));
    if (completion)
        completion();
}

void HistoryEdits::addItem(const PBItem &item, const PBCategory &to)
{
    LOG_DEBUG("addItem(item:to:)", QStringLiteral("[~>] -> move item to category"));
    if (retag(item, to, true, "addItem(item:to:)"))
        LOG_DEBUG("addItem(item:to:)", QStringLiteral("[~>] <- move done"));
}

void HistoryEdits::addItems(const QList<PBItem> &items, const PBCategory &to)
{
    const char *const function = "addItems(items:to:)";
    LOG_DEBUG(function, QStringLiteral("[~>] -> move item to category"));
    const auto category = m_records.categoryRecord(to.id());
    if (!category) {
        LOG_DEBUG(function, QStringLiteral("Not matched category record!"));
        return;
    }
    for (const PBItem &item : items) {
        if (const HistoryRecords::RecordPtr record = m_records.recordFor(item)) {
            record->addCategoriesObject(category);
            postOnMain(NotificationName::categoryTagStatusChanged, NotificationPayload::ChangedItem::encode(item));
        }
    }
    m_records.refreshLists();
    m_records.changed();
}

void HistoryEdits::removeItem(const PBItem &item, const PBCategory &from)
{
    LOG_DEBUG("removeItem(item:from:)", QStringLiteral("[<~] -> remove item from category ") + from.id());
    if (retag(item, from, false, "removeItem(item:from:)"))
        LOG_DEBUG("removeItem(item:from:)", QStringLiteral("[<~] <- remove done"));
}

bool HistoryEdits::retag(const PBItem &item, const PBCategory &category, bool adding, const char *function)
{
    const auto categoryRow = m_records.categoryRecord(category.id());
    if (!categoryRow) {
        LOG_DEBUG(function, QStringLiteral("Not matched category record!"));
        return false;
    }
    const HistoryRecords::RecordPtr record = m_records.recordFor(item);
    if (!record) {
        LOG_DEBUG(function, QStringLiteral("[-] ! no item found"));
        return false;
    }
    if (adding)
        record->addCategoriesObject(categoryRow);
    else
        record->removeCategoriesObject(categoryRow);
    m_records.refreshLists();
    m_records.changed();
    postOnMain(NotificationName::categoryTagStatusChanged, NotificationPayload::ChangedItem::encode(item));
    return true;
}

void HistoryEdits::removeCategoryFromAllItems(const PBCategory &category)
{
    if (category.type() != PBDefaultCategory::custom)
        return;
    const auto categoryRow = m_records.categoryRecord(category.id());
    if (!categoryRow)
        return;
    m_records.storage().context()->performAndWait([&] {
        for (const auto &record : categoryRow->records())
            record->removeCategoriesObject(categoryRow);
    });
    m_records.refreshLists();
    m_records.changed();
}
