#include "core/store/PBPasteboardDataRecord.h"

#include "core/store/PBItemRecord.h"

PBPasteboardDataRecord::PBPasteboardDataRecord() : ManagedObject(entityDescription()) {}

const EntityDescription &PBPasteboardDataRecord::entityDescription()
{
    // Never destroyed: a store may still open on another thread while the process ends.
    static const EntityDescription &entity = *new const EntityDescription{
        QStringLiteral("PBPasteboardDataRecord"),
        {
            {QStringLiteral("type"), QStringLiteral("type"), AttributeType::String},
            {QStringLiteral("data"), QStringLiteral("data"), AttributeType::Binary, true},
        },
        {{QStringLiteral("item"), {QStringLiteral("item")}}},
        {},
        QStringLiteral("item"),
        &PBItemRecord::entityDescription,
        []() -> std::shared_ptr<ManagedObject> { return std::make_shared<PBPasteboardDataRecord>(); },
    };
    return entity;
}

QString PBPasteboardDataRecord::type() const { return attribute(kType).toString(); }
void PBPasteboardDataRecord::setType(const QString &type) { setAttribute(kType, type); }
QByteArray PBPasteboardDataRecord::data() const { return attribute(kData).toByteArray(); }
QByteArray PBPasteboardDataRecord::dataHead(qsizetype size) const
{
    return attributeHead(kData, size, size).toByteArray();
}
void PBPasteboardDataRecord::setData(const QByteArray &data) { setAttribute(kData, data); }

std::shared_ptr<PBItemRecord> PBPasteboardDataRecord::item() const
{
    return std::static_pointer_cast<PBItemRecord>(owner());
}
