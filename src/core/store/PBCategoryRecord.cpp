#include "core/store/PBCategoryRecord.h"

#include "core/store/ManagedObjectContext.h"
#include "core/store/PBItemRecord.h"

PBCategoryRecord::PBCategoryRecord() : ManagedObject(entityDescription()) {}

const EntityDescription &PBCategoryRecord::entityDescription()
{
    // Never destroyed: a store may still open on another thread while the process ends.
    static const EntityDescription &entity = *new const EntityDescription{
        QStringLiteral("PBCategoryRecord"),
        {
            {QStringLiteral("id"), QStringLiteral("id"), AttributeType::String},
            {QStringLiteral("name"), QStringLiteral("name"), AttributeType::String},
            {QStringLiteral("type"), QStringLiteral("type"), AttributeType::String},
            {QStringLiteral("bgColorHexStr"), QStringLiteral("bgColorHexStr"), AttributeType::String},
            {QStringLiteral("fgColorHexStr"), QStringLiteral("fgColorHexStr"), AttributeType::String},
            {QStringLiteral("index"), QStringLiteral("index"), AttributeType::Integer64, false, qint64(0)},
            {QStringLiteral("isHidden"), QStringLiteral("isHidden"), AttributeType::Boolean, false, qint64(0)},
            {QStringLiteral("isLock"), QStringLiteral("isLock"), AttributeType::Boolean, false, qint64(0)},
        },
        {{QStringLiteral("id"), {QStringLiteral("id")}}},
        {},
        {},
        nullptr,
        []() -> std::shared_ptr<ManagedObject> { return std::make_shared<PBCategoryRecord>(); },
    };
    return entity;
}

QString PBCategoryRecord::id() const { return attribute(kId).toString(); }
void PBCategoryRecord::setId(const QString &id) { setAttribute(kId, id); }
QString PBCategoryRecord::name() const { return attribute(kName).toString(); }
void PBCategoryRecord::setName(const QString &name) { setAttribute(kName, name); }
QString PBCategoryRecord::type() const { return attribute(kType).toString(); }
void PBCategoryRecord::setType(const QString &type) { setAttribute(kType, type); }
QString PBCategoryRecord::bgColorHexStr() const { return attribute(kBgColorHexStr).toString(); }
void PBCategoryRecord::setBgColorHexStr(const QString &hex) { setAttribute(kBgColorHexStr, hex); }
QString PBCategoryRecord::fgColorHexStr() const { return attribute(kFgColorHexStr).toString(); }
void PBCategoryRecord::setFgColorHexStr(const QString &hex) { setAttribute(kFgColorHexStr, hex); }
qint64 PBCategoryRecord::index() const { return attribute(kIndex).toLongLong(); }
void PBCategoryRecord::setIndex(qint64 index) { setAttribute(kIndex, index); }
bool PBCategoryRecord::isHidden() const { return attribute(kIsHidden).toBool(); }
void PBCategoryRecord::setIsHidden(bool hidden) { setAttribute(kIsHidden, hidden); }
bool PBCategoryRecord::isLock() const { return attribute(kIsLock).toBool(); }
void PBCategoryRecord::setIsLock(bool locked) { setAttribute(kIsLock, locked); }

QList<std::shared_ptr<PBItemRecord>> PBCategoryRecord::records() const
{
    ManagedObjectContext *context = managedObjectContext();
    if (!context)
        return {};
    auto request = PBItemRecord::fetchRequest();
    request.predicate = Predicate::relationshipContains(QStringLiteral("categories"),
                                                        std::const_pointer_cast<ManagedObject>(shared_from_this()));
    return context->fetch(request).value_or(QList<std::shared_ptr<PBItemRecord>>());
}
