#include "capture/HistoryNotes.h"

#include "capture/HistoryAnnouncements.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "core/Uuid.h"

#include <algorithm>

HistoryNotes::HistoryNotes(TaviSettings &settings, HistoryRecords &records) : m_settings(settings), m_records(records)
{
}

PBItem HistoryNotes::addNote(const QString &title, const QString &body)
{
    const QUuid uuid = QUuid::createUuid();
    const PBCategory noteCategory(
        std::nullopt, localizedName(PBDefaultCategory::note), defaultBackgroundColor(PBDefaultCategory::note),
        defaultForegroundColor(PBDefaultCategory::note), PBDefaultCategory::note, false, false);
    std::optional<PBItemProvider> provider;
    if (auto note = PBNoteItemProvider::make(title, body))
        provider = std::move(*note);
    const QDateTime modified = QDateTime::currentDateTime();
    const QDateTime created = QDateTime::currentDateTime();
    PBItem item(uuid, uuidString(uuid), {noteCategory, PBCategory::all()}, provider, modified, created, std::nullopt,
                false, std::nullopt);
    if (m_records.add(item)) {
        m_records.changed();
        ItemsByCategory payload;
        payload.insert(noteCategory.id(), {item});
        postOnMain(NotificationName::historyDidAddNewItem, NotificationPayload::ItemChanges::encode(payload));
    }
    return item;
}

void HistoryNotes::updateNote(const PBItem &item)
{
    const HistoryRecords::RecordPtr record = m_records.recordFor(item);
    if (!record)
        return;
    const std::optional<PBItemProvider> &provider = item.dataProvider();
    m_records.storage().context()->performAndWait([&] {
        const QVariant body = provider ? provider->accosicatedData() : QVariant();
        record->setData(body.typeId() == QMetaType::QByteArray ? body.toByteArray() : QByteArray());
        record->setText(provider ? provider->representedText() : QString());
    });
    const QString activeId = m_settings.activeCategoryID();
    std::optional<PBCategory> attach;
    for (const PBCategory &category : m_records.categoryManager().categories()) {
        if (category.id() == activeId) {
            attach = category;
            break;
        }
    }
    if (attach && std::any_of(item.categories().cbegin(), item.categories().cend(), [&](const PBCategory &c) {
            return c.id() == attach->id();
        }))
        attach.reset();
    m_records.update(item, attach, QDateTime::currentDateTime());
    m_records.changed();
    ItemsByCategory payload;
    payload.insert(categoryId(PBDefaultCategory::note), {item});
    postOnMain(NotificationName::historyItemDidUpdate, NotificationPayload::ItemChanges::encode(payload));
}
