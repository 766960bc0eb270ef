#pragma once
// How an entity of the history model maps onto its table: attributes with their column and type,
// the table's indexes, to-many relationships, and the owner link of entities that belong to
// another (cascade delete). The tables' DDL is generated from these.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <variant>
#include <vector>

class ManagedObject;

enum class AttributeType { Boolean, Integer64, String, UUID, Date, Binary };

// The canonical form of a stored value, shared by SQL binding, sorting and in-memory tests:
// null, an integer (booleans 0/1, dates as UTC milliseconds), text (UUIDs lower-case, no
// braces) or bytes.
using StoreValue = std::variant<std::monostate, qint64, QString, QByteArray>;

namespace StoreValues {
StoreValue fromVariant(AttributeType type, const QVariant &value);
QVariant toVariant(AttributeType type, const StoreValue &value);
// A value read from the store in the attribute's own form (a peer may have written another).
StoreValue coerce(AttributeType type, StoreValue value);
inline bool isNull(const StoreValue &value) { return std::holds_alternative<std::monostate>(value); }
// Total order: null first, then integers, text (by code point, as SQLite compares UTF-8), bytes.
int compare(const StoreValue &a, const StoreValue &b);
// Text folded for CONTAINS[c], [d] or [cd]: full case folding, compatibility decomposition
// without marks.
QString fold(const QString &text, bool caseInsensitive, bool diacriticInsensitive);
// The same on UTF-8, quick for plain ASCII (which only lower-cases).
QByteArray foldUtf8(const char *text, qsizetype bytes, bool caseInsensitive, bool diacriticInsensitive);
// The key a text sorts by where order is for reading: the collation of the user's language,
// ignoring case ("apple" before "Banana", "Éclair" among the e's). Keys compare as bytes; only
// the text's start (kReadableOrderUnits code units) counts. Any thread.
inline constexpr qsizetype kReadableOrderUnits = 256;
QByteArray readableOrderKey(QStringView text);
// The same on UTF-8, of which only the start is read.
QByteArray readableOrderKeyUtf8(const char *text, qsizetype bytes);
} // namespace StoreValues

struct AttributeDescription {
    QString name;
    QString column;
    AttributeType type;
    bool lazy = false; // read from the store only when asked for (payloads)
    // Set for non-optional attributes: a null becomes this value, and the column is NOT NULL
    // DEFAULT it.
    StoreValue defaultValue = {};
    // Sorted as a reader expects (readableOrderKey()), not by code point.
    bool readableOrder = false;
    // The table's schema text starts a new line at this column, as the stores of earlier builds
    // have it (SQLite keeps the text as written). A column with a constraint always has a line
    // of its own.
    bool startsSchemaLine = false;

    bool isOptional() const { return StoreValues::isNull(defaultValue); }
};

// An index of an entity's table, named "<table>_<name>".
struct IndexDescription {
    QString name;
    QStringList columns;
};

struct EntityDescription;

struct RelationshipDescription {
    enum class Kind {
        ManyToMany, // through a link table (ownColumn, targetColumn)
        OwnedMany,  // target rows carry the owner's key in the target's ownerColumn; deleted with it
    };
    QString name;
    Kind kind;
    const EntityDescription &(*target)();
    QString linkTable;
    QString ownColumn;
    QString targetColumn;

    // The DDL of a many-to-many link table of `owner`'s rows: a row per link, gone with either
    // end, and an index from the target's side.
    QString linkTableSchema(const EntityDescription &owner) const;
};

struct EntityDescription {
    QString name; // entity name = record class name = table name
    std::vector<AttributeDescription> attributes;
    std::vector<IndexDescription> indexes;
    std::vector<RelationshipDescription> relationships;
    QString ownerColumn; // set for entities owned by another entity
    const EntityDescription &(*ownerEntity)() = nullptr;
    std::shared_ptr<ManagedObject> (*make)() = nullptr;

    int attributeIndex(const QString &key) const;
    int relationshipIndex(const QString &key) const;
    const AttributeDescription &attribute(int index) const { return attributes[size_t(index)]; }

    // The DDL of the table and its indexes: the row id "pk", the owner column, then the attributes.
    QString tableSchema() const;
};
