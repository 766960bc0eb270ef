#include "core/store/PBSyncOperation.h"

PBSyncOperation::PBSyncOperation() : ManagedObject(entityDescription()) {}

const EntityDescription &PBSyncOperation::entityDescription()
{
    // Never destroyed: a store may still open on another thread while the process ends.
    static const EntityDescription &entity = *new const EntityDescription{
        QStringLiteral("PBSyncOperation"),
        {
            {QStringLiteral("uuid"), QStringLiteral("uuid"), AttributeType::UUID},
            {QStringLiteral("updateDate"), QStringLiteral("updateDate"), AttributeType::Date},
        },
        {},
        {},
        {},
        nullptr,
        []() -> std::shared_ptr<ManagedObject> { return std::make_shared<PBSyncOperation>(); },
    };
    return entity;
}

QUuid PBSyncOperation::uuid() const { return attribute(kUuid).toUuid(); }
void PBSyncOperation::setUuid(const QUuid &uuid) { setAttribute(kUuid, uuid.isNull() ? QVariant() : QVariant(uuid)); }
QDateTime PBSyncOperation::updateDate() const { return attribute(kUpdateDate).toDateTime(); }
void PBSyncOperation::setUpdateDate(const QDateTime &date) { setAttribute(kUpdateDate, date); }
