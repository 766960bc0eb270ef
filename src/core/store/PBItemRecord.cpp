#include "core/store/PBItemRecord.h"

#include "core/store/PBCategoryRecord.h"
#include "core/store/PBPasteboardDataRecord.h"

namespace {
QList<ManagedObjectPtr> upcast(const auto &objects)
{
    QList<ManagedObjectPtr> result;
    for (const auto &object : objects)
        result.append(object);
    return result;
}
} // namespace

PBItemRecord::PBItemRecord() : ManagedObject(entityDescription()) {}

QList<SortDescriptor> PBItemRecord::pinnedThenNewest() { return pinnedThen({QStringLiteral("modifiedAt"), false}); }

QList<SortDescriptor> PBItemRecord::pinnedThen(const SortDescriptor &order)
{
    return {{QStringLiteral("is_sticky"), false}, order};
}

const RelationshipDescription &PBItemRecord::categoriesLink()
{
    const EntityDescription &entity = entityDescription();
    return entity.relationships[size_t(entity.relationshipIndex(QStringLiteral("categories")))];
}

const EntityDescription &PBItemRecord::entityDescription()
{
    // Never destroyed: a store may still open on another thread while the process ends.
    static const EntityDescription &entity = *new const EntityDescription{
        QStringLiteral("PBItemRecord"),
        {
            {QStringLiteral("uuid"), QStringLiteral("uuid"), AttributeType::UUID},
            {QStringLiteral("dataHash"), QStringLiteral("dataHash"), AttributeType::String},
            {QStringLiteral("text"), QStringLiteral("text"), AttributeType::String, true, {}, true},
            {QStringLiteral("data"), QStringLiteral("data"), AttributeType::Binary, true},
            {.name = QStringLiteral("appName"),
             .column = QStringLiteral("appName"),
             .type = AttributeType::String,
             .readableOrder = true,
             .startsSchemaLine = true},
            {QStringLiteral("appId"), QStringLiteral("appId"), AttributeType::String},
            {QStringLiteral("appPath"), QStringLiteral("appPath"), AttributeType::String},
            {.name = QStringLiteral("createdAt"),
             .column = QStringLiteral("createdAt"),
             .type = AttributeType::Date,
             .startsSchemaLine = true},
            {QStringLiteral("modifiedAt"), QStringLiteral("modifiedAt"), AttributeType::Date},
            {QStringLiteral("is_sticky"), QStringLiteral("is_sticky"), AttributeType::Boolean, false, qint64(0)},
            {QStringLiteral("comment"), QStringLiteral("comment"), AttributeType::String},
        },
        {
            {QStringLiteral("uuid"), {QStringLiteral("uuid")}},
            {QStringLiteral("dataHash"), {QStringLiteral("dataHash")}},
            {QStringLiteral("sticky_modifiedAt"), {QStringLiteral("is_sticky"), QStringLiteral("modifiedAt")}},
        },
        {
            {QStringLiteral("categories"), RelationshipDescription::Kind::ManyToMany,
             &PBCategoryRecord::entityDescription, QStringLiteral("PBItemRecord_categories"), QStringLiteral("item"),
             QStringLiteral("category")},
            {QStringLiteral("pasteboards"),
             RelationshipDescription::Kind::OwnedMany,
             &PBPasteboardDataRecord::entityDescription,
             {},
             {},
             {}},
        },
        {},
        nullptr,
        []() -> std::shared_ptr<ManagedObject> { return std::make_shared<PBItemRecord>(); },
    };
    return entity;
}

QUuid PBItemRecord::uuid() const { return attribute(kUuid).toUuid(); }
void PBItemRecord::setUuid(const QUuid &uuid) { setAttribute(kUuid, uuid.isNull() ? QVariant() : QVariant(uuid)); }
QString PBItemRecord::dataHash() const { return attribute(kDataHash).toString(); }
void PBItemRecord::setDataHash(const QString &hash) { setAttribute(kDataHash, hash); }
QString PBItemRecord::text() const { return attribute(kText).toString(); }
void PBItemRecord::setText(const QString &text) { setAttribute(kText, text); }
QByteArray PBItemRecord::data() const { return attribute(kData).toByteArray(); }
QString PBItemRecord::textHead(qsizetype length, bool *whole) const
{
    return attributeHead(kText, length, length, whole).toString();
}
std::optional<QByteArray> PBItemRecord::dataUpTo(qsizetype size) const
{
    bool whole = false;
    const QVariant value = attributeHead(kData, 0, size, &whole);
    if (!whole)
        return std::nullopt;
    return value.toByteArray();
}
QByteArray PBItemRecord::dataHead(qsizetype size) const { return attributeHead(kData, size, size).toByteArray(); }
void PBItemRecord::setData(const QByteArray &data) { setAttribute(kData, data); }
QString PBItemRecord::appName() const { return attribute(kAppName).toString(); }
void PBItemRecord::setAppName(const QString &name) { setAttribute(kAppName, name); }
QString PBItemRecord::appId() const { return attribute(kAppId).toString(); }
void PBItemRecord::setAppId(const QString &bundleId) { setAttribute(kAppId, bundleId); }
QString PBItemRecord::appPath() const { return attribute(kAppPath).toString(); }
void PBItemRecord::setAppPath(const QString &path) { setAttribute(kAppPath, path); }
QDateTime PBItemRecord::createdAt() const { return attribute(kCreatedAt).toDateTime(); }
void PBItemRecord::setCreatedAt(const QDateTime &date) { setAttribute(kCreatedAt, date); }
QDateTime PBItemRecord::modifiedAt() const { return attribute(kModifiedAt).toDateTime(); }
void PBItemRecord::setModifiedAt(const QDateTime &date) { setAttribute(kModifiedAt, date); }
bool PBItemRecord::is_sticky() const { return attribute(kIsSticky).toBool(); }
void PBItemRecord::setIs_sticky(bool sticky) { setAttribute(kIsSticky, sticky); }
QString PBItemRecord::comment() const { return attribute(kComment).toString(); }
void PBItemRecord::setComment(const QString &comment) { setAttribute(kComment, comment); }

QList<std::shared_ptr<PBCategoryRecord>> PBItemRecord::categories() const
{
    return cast<PBCategoryRecord>(relationship(kCategories));
}

void PBItemRecord::addCategoriesObject(const std::shared_ptr<PBCategoryRecord> &category)
{
    addToRelationship(kCategories, {category});
}

void PBItemRecord::addCategories(const QList<std::shared_ptr<PBCategoryRecord>> &categories)
{
    addToRelationship(kCategories, upcast(categories));
}

void PBItemRecord::removeCategoriesObject(const std::shared_ptr<PBCategoryRecord> &category)
{
    removeFromRelationship(kCategories, category);
}

QList<std::shared_ptr<PBPasteboardDataRecord>> PBItemRecord::pasteboards() const
{
    return cast<PBPasteboardDataRecord>(relationship(kPasteboards));
}

void PBItemRecord::addPasteboardsObject(const std::shared_ptr<PBPasteboardDataRecord> &pasteboard)
{
    addToRelationship(kPasteboards, {pasteboard});
}

void PBItemRecord::addPasteboards(const QList<std::shared_ptr<PBPasteboardDataRecord>> &pasteboards)
{
    addToRelationship(kPasteboards, upcast(pasteboards));
}

void PBItemRecord::removePasteboardsObject(const std::shared_ptr<PBPasteboardDataRecord> &pasteboard)
{
    removeFromRelationship(kPasteboards, pasteboard);
}
