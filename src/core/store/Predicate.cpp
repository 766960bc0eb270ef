#include "core/store/Predicate.h"

#include "core/store/ManagedObject.h"
#include "core/store/PersistentStore.h"
#include "core/store/SearchIndex.h"
#include "core/store/SqlIdentifier.h"
#include "platform/Log.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

struct Predicate::Node {
    enum class Kind { Compare, Contains, Search, In, RelationshipContains, SelfIn, And, Or, Not };
    Kind kind;
    QString key;
    QStringList keys;
    Comparison comparison = Comparison::Equal;
    QVariant value;
    QVariantList values;
    StringOptions options;
    std::shared_ptr<ManagedObject> object;
    QList<std::shared_ptr<ManagedObject>> objects;
    QList<Predicate> children;
};

namespace {
using Node = Predicate::Node;

std::shared_ptr<Node> makeNode(Node::Kind kind)
{
    auto node = std::make_shared<Node>();
    node->kind = kind;
    return node;
}

const char *comparisonOperator(Predicate::Comparison comparison)
{
    switch (comparison) {
    case Predicate::Comparison::Equal: return "==";
    case Predicate::Comparison::NotEqual: return "!=";
    case Predicate::Comparison::Less: return "<";
    case Predicate::Comparison::LessOrEqual: return "<=";
    case Predicate::Comparison::Greater: return ">";
    case Predicate::Comparison::GreaterOrEqual: return ">=";
    }
    return "==";
}

const char *sqlOperator(Predicate::Comparison comparison)
{
    switch (comparison) {
    case Predicate::Comparison::Equal: return "IS";
    case Predicate::Comparison::NotEqual: return "IS NOT";
    case Predicate::Comparison::Less: return "<";
    case Predicate::Comparison::LessOrEqual: return "<=";
    case Predicate::Comparison::Greater: return ">";
    case Predicate::Comparison::GreaterOrEqual: return ">=";
    }
    return "IS";
}

bool holds(int order, Predicate::Comparison comparison)
{
    switch (comparison) {
    case Predicate::Comparison::Equal: return order == 0;
    case Predicate::Comparison::NotEqual: return order != 0;
    case Predicate::Comparison::Less: return order < 0;
    case Predicate::Comparison::LessOrEqual: return order <= 0;
    case Predicate::Comparison::Greater: return order > 0;
    case Predicate::Comparison::GreaterOrEqual: return order >= 0;
    }
    return false;
}

int foldFlags(const Predicate::StringOptions &options)
{
    return (options.caseInsensitive ? 1 : 0) | (options.diacriticInsensitive ? 2 : 0);
}

QString unknownKey(const EntityDescription &entity, const QString &key)
{
    return QStringLiteral("keypath %1 not found in entity %2").arg(key, entity.name);
}
} // namespace

Predicate Predicate::equal(const QString &key, const QVariant &value) { return compare(key, Comparison::Equal, value); }

Predicate Predicate::compare(const QString &key, Comparison comparison, const QVariant &value)
{
    auto node = makeNode(Node::Kind::Compare);
    node->key = key;
    node->comparison = comparison;
    node->value = value;
    return Predicate(node);
}

Predicate Predicate::contains(const QString &key, const QString &text)
{
    return contains(key, text, StringOptions{true, true});
}

Predicate Predicate::contains(const QString &key, const QString &text, StringOptions options)
{
    auto node = makeNode(Node::Kind::Contains);
    node->key = key;
    node->value = text;
    node->options = options;
    return Predicate(node);
}

Predicate Predicate::search(const QStringList &keys, const QString &text)
{
    auto node = makeNode(Node::Kind::Search);
    node->keys = keys;
    node->value = text;
    for (const QString &key : keys)
        node->children.append(contains(key, text));
    return Predicate(node);
}

Predicate Predicate::in(const QString &key, const QVariantList &values)
{
    auto node = makeNode(Node::Kind::In);
    node->key = key;
    node->values = values;
    return Predicate(node);
}

Predicate Predicate::relationshipContains(const QString &key, const std::shared_ptr<ManagedObject> &object)
{
    auto node = makeNode(Node::Kind::RelationshipContains);
    node->key = key;
    node->object = object;
    return Predicate(node);
}

Predicate Predicate::selfIn(const QList<std::shared_ptr<ManagedObject>> &objects)
{
    auto node = makeNode(Node::Kind::SelfIn);
    node->objects = objects;
    return Predicate(node);
}

Predicate Predicate::andPredicate(const QList<Predicate> &subpredicates)
{
    auto node = makeNode(Node::Kind::And);
    node->children = subpredicates;
    return Predicate(node);
}

Predicate Predicate::orPredicate(const QList<Predicate> &subpredicates)
{
    auto node = makeNode(Node::Kind::Or);
    node->children = subpredicates;
    return Predicate(node);
}

Predicate Predicate::notPredicate(const Predicate &subpredicate)
{
    auto node = makeNode(Node::Kind::Not);
    node->children = {subpredicate};
    return Predicate(node);
}

QString Predicate::format() const
{
    const Node &n = *m_node;
    auto joined = [&](const char *separator) -> QString {
        QStringList parts;
        for (const Predicate &child : n.children)
            parts << child.format();
        return QLatin1Char('(') + parts.join(QLatin1String(separator)) + QLatin1Char(')');
    };
    switch (n.kind) {
    case Node::Kind::Compare:
        return n.key + QLatin1Char(' ') + QLatin1String(comparisonOperator(n.comparison)) + QLatin1Char(' ')
               + (!n.value.isValid()                       ? QStringLiteral("nil")
                  : n.value.typeId() == QMetaType::QString ? Log::redacted(n.value.toString())
                                                           : n.value.toString());
    case Node::Kind::Contains:
        return n.key + QStringLiteral(" CONTAINS") + (foldFlags(n.options) ? QStringLiteral("[") : QString())
               + (n.options.caseInsensitive ? QStringLiteral("c") : QString())
               + (n.options.diacriticInsensitive ? QStringLiteral("d") : QString())
               + (foldFlags(n.options) ? QStringLiteral("]") : QString()) + QLatin1Char(' ')
               + Log::redacted(n.value.toString());
    case Node::Kind::Search: return joined(" OR ");
    case Node::Kind::In:
        return n.key + QStringLiteral(" IN {") + QString::number(n.values.size()) + QStringLiteral(" values}");
    case Node::Kind::RelationshipContains: return n.key + QStringLiteral(" CONTAINS <object>");
    case Node::Kind::SelfIn:
        return QStringLiteral("SELF IN {") + QString::number(n.objects.size()) + QStringLiteral(" objects}");
    case Node::Kind::And: return n.children.isEmpty() ? QStringLiteral("TRUEPREDICATE") : joined(" AND ");
    case Node::Kind::Or: return n.children.isEmpty() ? QStringLiteral("FALSEPREDICATE") : joined(" OR ");
    case Node::Kind::Not: return QStringLiteral("NOT ") + n.children.first().format();
    }
    return {};
}

std::optional<QString> Predicate::validate(const EntityDescription &entity) const
{
    QString sql;
    std::vector<StoreValue> bindings;
    return compile(entity, sql, bindings);
}

std::optional<QString> Predicate::compile(const EntityDescription &entity, QString &sql,
                                          std::vector<StoreValue> &bindings, SearchForm form,
                                          const IndexMatches *matches) const
{
    const Node &n = *m_node;
    switch (n.kind) {
    case Node::Kind::Search: {
        // The scan: the OR of the CONTAINS terms.
        QString scan;
        std::vector<StoreValue> scanBindings;
        if (auto error = orPredicate(n.children).compile(entity, scan, scanBindings))
            return error;
        if (form == SearchForm::Scan || !SearchIndex::canAnswer(entity, n.keys, n.value.toString())) {
            sql += scan;
            bindings.insert(bindings.end(), scanBindings.begin(), scanBindings.end());
            return std::nullopt;
        }
        const bool matched = matches && matches->found && matches->keyword == n.value.toString();
        SearchIndex::appendCondition(n.keys, n.value.toString(), scan, scanBindings, form == SearchForm::IndexInOrder,
                                     sql, bindings, matched ? &*matches->found : nullptr);
        return std::nullopt;
    }
    case Node::Kind::Compare: {
        const int index = entity.attributeIndex(n.key);
        if (index < 0)
            return unknownKey(entity, n.key);
        const AttributeDescription &attribute = entity.attribute(index);
        const StoreValue value = StoreValues::fromVariant(attribute.type, n.value);
        // Where the search index's matches drive the query, "+" keeps SQLite from walking a
        // column's index instead (it takes an equality on an index without statistics for a
        // rare one, and would test every row of a common value against the matches).
        const QString column = (form == SearchForm::Index ? QStringLiteral("+") : QString()) + quoted(attribute.column);
        if (n.comparison == Comparison::Equal || n.comparison == Comparison::NotEqual) {
            sql += column + QLatin1Char(' ') + QLatin1String(sqlOperator(n.comparison)) + QStringLiteral(" ?");
            bindings.push_back(value);
        } else if (StoreValues::isNull(value)) {
            sql += QStringLiteral("0");
        } else {
            sql += QLatin1Char('(') + column + QStringLiteral(" IS NOT NULL AND ") + column + QLatin1Char(' ')
                   + QLatin1String(sqlOperator(n.comparison)) + QStringLiteral(" ?)");
            bindings.push_back(value);
        }
        return std::nullopt;
    }
    case Node::Kind::Contains: {
        const int index = entity.attributeIndex(n.key);
        if (index < 0)
            return unknownKey(entity, n.key);
        const AttributeDescription &attribute = entity.attribute(index);
        if (attribute.type != AttributeType::String)
            return QStringLiteral("CONTAINS needs a text attribute, %1 is not one").arg(n.key);
        const int flags = foldFlags(n.options);
        const QString needle =
            StoreValues::fold(n.value.toString(), n.options.caseInsensitive, n.options.diacriticInsensitive);
        if (needle.isEmpty()) {
            sql += QStringLiteral("0");
            return std::nullopt;
        }
        const QString column = quoted(attribute.column);
        const QString haystack = flags ? QStringLiteral("tavi_fold(%1, %2)").arg(column).arg(flags) : column;
        sql += QStringLiteral("COALESCE(instr(%1, ?) > 0, 0)").arg(haystack);
        bindings.push_back(needle);
        return std::nullopt;
    }
    case Node::Kind::In: {
        const int index = entity.attributeIndex(n.key);
        if (index < 0)
            return unknownKey(entity, n.key);
        const AttributeDescription &attribute = entity.attribute(index);
        std::vector<StoreValue> values;
        for (const QVariant &v : n.values) {
            StoreValue value = StoreValues::fromVariant(attribute.type, v);
            if (!StoreValues::isNull(value))
                values.push_back(std::move(value));
        }
        if (values.empty()) {
            sql += QStringLiteral("0");
            return std::nullopt;
        }
        const QString column = quoted(attribute.column);
        sql += QLatin1Char('(') + column + QStringLiteral(" IS NOT NULL AND ") + column + QStringLiteral(" IN (");
        // Numbers and texts travel as one JSON array, so a list of any length is one binding.
        const bool json = std::all_of(values.cbegin(), values.cend(), [](const StoreValue &value) {
            return std::holds_alternative<qint64>(value) || std::holds_alternative<QString>(value);
        });
        if (json) {
            QJsonArray array;
            for (const StoreValue &value : values) {
                if (const auto *number = std::get_if<qint64>(&value))
                    array.append(*number);
                else
                    array.append(std::get<QString>(value));
            }
            sql += QStringLiteral("SELECT value FROM json_each(?)))");
            bindings.push_back(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
            return std::nullopt;
        }
        for (size_t i = 0; i < values.size(); ++i) {
            sql += i ? QStringLiteral(", ?") : QStringLiteral("?");
            bindings.push_back(values[i]);
        }
        sql += QStringLiteral("))");
        return std::nullopt;
    }
    case Node::Kind::RelationshipContains: {
        const int index = entity.relationshipIndex(n.key);
        if (index < 0)
            return unknownKey(entity, n.key);
        const RelationshipDescription &relationship = entity.relationships[size_t(index)];
        if (n.object && &n.object->entity() != &relationship.target())
            return QStringLiteral("%1 does not hold %2 objects").arg(n.key, n.object->entity().name);
        const qint64 row = n.object ? n.object->objectID() : 0;
        if (relationship.kind == RelationshipDescription::Kind::ManyToMany) {
            // A look-up per row tested: an ordered walk that stops after a page tests few rows,
            // where an IN list would first gather every link of the target.
            sql += QStringLiteral("EXISTS (SELECT 1 FROM %1 WHERE %1.%2 = %3.\"pk\" AND %1.%4 = ?)")
                       .arg(quoted(relationship.linkTable), quoted(relationship.ownColumn), quoted(entity.name),
                            quoted(relationship.targetColumn));
        } else {
            sql += QStringLiteral("\"pk\" IN (SELECT %1 FROM %2 WHERE \"pk\" = ?)")
                       .arg(quoted(relationship.target().ownerColumn), quoted(relationship.target().name));
        }
        bindings.push_back(row > 0 ? StoreValue(row) : StoreValue(qint64(-1)));
        return std::nullopt;
    }
    case Node::Kind::SelfIn: {
        QJsonArray rows;
        for (const auto &object : n.objects) {
            if (object && &object->entity() == &entity && object->objectID() > 0)
                rows.append(object->objectID());
        }
        sql += QStringLiteral("\"pk\" IN (SELECT value FROM json_each(?))");
        bindings.push_back(QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact)));
        return std::nullopt;
    }
    case Node::Kind::And:
    case Node::Kind::Or: {
        if (n.children.isEmpty()) {
            sql += n.kind == Node::Kind::And ? QStringLiteral("1") : QStringLiteral("0");
            return std::nullopt;
        }
        sql += QLatin1Char('(');
        for (qsizetype i = 0; i < n.children.size(); ++i) {
            if (i)
                sql += n.kind == Node::Kind::And ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
            if (auto error = n.children[i].compile(entity, sql, bindings, form, matches))
                return error;
        }
        sql += QLatin1Char(')');
        return std::nullopt;
    }
    case Node::Kind::Not:
        sql += QStringLiteral("NOT (");
        if (auto error = n.children.first().compile(entity, sql, bindings, form, matches))
            return error;
        sql += QLatin1Char(')');
        return std::nullopt;
    }
    return QStringLiteral("unknown predicate");
}

bool Predicate::evaluate(ManagedObject &object) const
{
    const Node &n = *m_node;
    const EntityDescription &entity = object.entity();
    switch (n.kind) {
    case Node::Kind::Compare: {
        const int index = entity.attributeIndex(n.key);
        if (index < 0)
            return false;
        const StoreValue value = StoreValues::fromVariant(entity.attribute(index).type, n.value);
        const StoreValue &stored = object.storeValue(index);
        if (n.comparison != Comparison::Equal && n.comparison != Comparison::NotEqual
            && (StoreValues::isNull(value) || StoreValues::isNull(stored)))
            return false;
        return holds(StoreValues::compare(stored, value), n.comparison);
    }
    case Node::Kind::Contains: {
        const int index = entity.attributeIndex(n.key);
        if (index < 0)
            return false;
        const QString needle =
            StoreValues::fold(n.value.toString(), n.options.caseInsensitive, n.options.diacriticInsensitive);
        const StoreValue &stored = object.storeValue(index);
        if (needle.isEmpty() || !std::holds_alternative<QString>(stored))
            return false;
        return StoreValues::fold(std::get<QString>(stored), n.options.caseInsensitive, n.options.diacriticInsensitive)
            .contains(needle);
    }
    case Node::Kind::In: {
        const int index = entity.attributeIndex(n.key);
        if (index < 0)
            return false;
        const StoreValue &stored = object.storeValue(index);
        if (StoreValues::isNull(stored))
            return false;
        for (const QVariant &v : n.values) {
            if (StoreValues::compare(stored, StoreValues::fromVariant(entity.attribute(index).type, v)) == 0)
                return true;
        }
        return false;
    }
    case Node::Kind::RelationshipContains: {
        const int index = entity.relationshipIndex(n.key);
        if (index < 0 || !n.object)
            return false;
        return object.relationshipObjects(index).contains(n.object);
    }
    case Node::Kind::SelfIn:
        for (const auto &candidate : n.objects)
            if (candidate.get() == &object)
                return true;
        return false;
    case Node::Kind::And:
        for (const Predicate &child : n.children)
            if (!child.evaluate(object))
                return false;
        return true;
    case Node::Kind::Search:
    case Node::Kind::Or:
        for (const Predicate &child : n.children)
            if (child.evaluate(object))
                return true;
        return false;
    case Node::Kind::Not: return !n.children.first().evaluate(object);
    }
    return false;
}

bool Predicate::usesSearchIndex(const EntityDescription &entity) const
{
    const Node &n = *m_node;
    if (n.kind == Node::Kind::Search)
        return SearchIndex::canAnswer(entity, n.keys, n.value.toString());
    return std::any_of(n.children.cbegin(), n.children.cend(),
                       [&](const Predicate &child) { return child.usesSearchIndex(entity); });
}

std::optional<qint64> Predicate::countThroughIndex(const EntityDescription &entity, PersistentStore &store) const
{
    const Node &n = *m_node;
    if (n.kind == Node::Kind::RelationshipContains) {
        const int index = entity.relationshipIndex(n.key);
        if (index < 0 || entity.relationships[size_t(index)].kind != RelationshipDescription::Kind::ManyToMany)
            return std::nullopt;
        // Links reach only stored rows (their rows cascade), so counting links counts the rows.
        const RelationshipDescription &relationship = entity.relationships[size_t(index)];
        const qint64 row = n.object ? n.object->objectID() : 0;
        if (row <= 0 || &n.object->entity() != &relationship.target())
            return std::nullopt;
        SQLite::Statement &statement =
            store.statement(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?")
                                .arg(quoted(relationship.linkTable), quoted(relationship.targetColumn)));
        statement.bind(1, int64_t(row));
        const qint64 counted = statement.executeStep() ? statement.getColumn(0).getInt64() : 0;
        statement.reset();
        return counted;
    }
    if (n.kind != Node::Kind::Search || !SearchIndex::canAnswer(entity, n.keys, n.value.toString())
        || !store.searchIndex().isReady())
        return std::nullopt;
    QString scan;
    std::vector<StoreValue> scanBindings;
    if (orPredicate(n.children).compile(entity, scan, scanBindings))
        return std::nullopt;
    return store.searchIndex().count(n.keys, n.value.toString(), scan, scanBindings);
}

std::optional<Predicate::IndexMatches> Predicate::indexMatches(const EntityDescription &entity, PersistentStore &store,
                                                               qint64 cap) const
{
    const Node &n = *m_node;
    if (n.kind == Node::Kind::And) {
        for (const Predicate &child : n.children) {
            if (auto found = child.indexMatches(entity, store, cap))
                return found;
        }
        return std::nullopt;
    }
    if (n.kind != Node::Kind::Search || !SearchIndex::canAnswer(entity, n.keys, n.value.toString())
        || !store.searchIndex().isReady())
        return std::nullopt;
    return IndexMatches{n.value.toString(), store.searchIndex().matchingIds(n.value.toString(), cap)};
}
