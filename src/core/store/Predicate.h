#pragma once
// A typed filter over the records of one entity. The same tree is compiled to SQL with bound
// parameters (for stored rows) and evaluated in memory (for unsaved changes), and both give the
// same answer: a comparison with a missing value is false, never unknown. Values never become
// SQL text. Immutable and cheap to copy; any thread.

#include "core/store/EntityDescription.h"
#include "core/store/SearchIndex.h"

#include <QList>
#include <QStringList>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class ManagedObject;
class PersistentStore;

class Predicate {
public:
    enum class Comparison { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
    struct StringOptions {
        bool caseInsensitive = true;
        bool diacriticInsensitive = true;
    };

    // "%K == %@": equal values, or both missing.
    static Predicate equal(const QString &key, const QVariant &value);
    static Predicate compare(const QString &key, Comparison comparison, const QVariant &value);
    // "%K CONTAINS[cd] %@" by default; an empty text matches nothing.
    static Predicate contains(const QString &key, const QString &text);
    static Predicate contains(const QString &key, const QString &text, StringOptions options);
    // "%K CONTAINS[cd] %@" for any of the keys: the history search. The store answers it through
    // its search index where it has one, with the same result.
    static Predicate search(const QStringList &keys, const QString &text);
    // "%K IN %@": the value is one of the given ones (missing values never match).
    static Predicate in(const QString &key, const QVariantList &values);
    // A to-many relationship holds the object.
    static Predicate relationshipContains(const QString &key, const std::shared_ptr<ManagedObject> &object);
    // "SELF IN %@": exactly these objects.
    static Predicate selfIn(const QList<std::shared_ptr<ManagedObject>> &objects);

    static Predicate andPredicate(const QList<Predicate> &subpredicates);
    static Predicate orPredicate(const QList<Predicate> &subpredicates);
    static Predicate notPredicate(const Predicate &subpredicate);

    Predicate operator&&(const Predicate &other) const { return andPredicate({*this, other}); }
    Predicate operator||(const Predicate &other) const { return orPredicate({*this, other}); }
    Predicate operator!() const { return notPredicate(*this); }

    // Readable form for logs, e.g. `is_sticky == 0`; texts appear only by length and a short hash.
    QString format() const;

    // How search terms become SQL: scanning every row, or through the store's search index
    // (InOrder: tested against an ordered walk rather than driving the query).
    enum class SearchForm { Scan, Index, IndexInOrder };
    // What the search index gave for the keyword of a search term, none when it had more items
    // than asked for.
    struct IndexMatches {
        QString keyword;
        std::optional<SearchIndex::Matches> found;
    };
    // Appends the SQL condition and its bindings. Returns an error text for a key the entity
    // does not have or a test its type does not allow. Through the index, a search term for the
    // keyword of `matches` uses its ids instead of asking the index again.
    std::optional<QString> compile(const EntityDescription &entity, QString &sql, std::vector<StoreValue> &bindings,
                                   SearchForm form = SearchForm::Scan, const IndexMatches *matches = nullptr) const;
    // Whether some search term of the predicate can go through the search index.
    bool usesSearchIndex(const EntityDescription &entity) const;
    // When the whole predicate is one term an index answers (a search term while the search index
    // is ready, or a to-many relationship holding an object), the number of matching rows counted
    // in that index, without the rows. Throws on a store error; the context's lock held.
    std::optional<qint64> countThroughIndex(const EntityDescription &entity, PersistentStore &store) const;
    // When the predicate is a search term the search index answers, or an AND holding one, the
    // items the index offers for it, when there are at most `cap`. Throws on a store error; the
    // context's lock held.
    std::optional<IndexMatches> indexMatches(const EntityDescription &entity, PersistentStore &store, qint64 cap) const;
    // Checks keys and types without building SQL.
    std::optional<QString> validate(const EntityDescription &entity) const;
    // In-memory test of one object. The object's context lock must be held.
    bool evaluate(ManagedObject &object) const;

    struct Node;

private:
    explicit Predicate(std::shared_ptr<const Node> node) : m_node(std::move(node)) {}
    std::shared_ptr<const Node> m_node;
};
