#pragma once
// The stored rows of a fetch request, asked of the store alone (unsaved changes are the
// context's part): the request compiled to SQL, a window of its row ids in its order and the
// number of its rows, through the search index where that is quicker. Runs on the connection of
// the store it is given, under the lock of the context that owns the connection.

#include "core/store/FetchRequest.h"
#include "core/store/PersistentStore.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace StoredRowQuery {
// A request as SQL: " WHERE ..." (empty without a predicate) with its bindings, and
// " ORDER BY ..." with the attribute index and direction of each sort key.
struct CompiledRequest {
    QString expression; // the predicate's condition alone
    QString where;
    std::vector<StoreValue> bindings;
    QString order;
    QStringList terms; // the sort keys' expressions, in order
    QList<int> keys;
    QList<bool> ascending;
};

// Rows of ordered windows already read, by place, for each statement and its bindings: a window
// deeper than one of them is read from the rows after it instead of skipping every row before.
// Forgotten as soon as the store changes (through any connection). Bounded.
class PageAnchors {
public:
    struct Anchor {
        qint64 offset;
        qint64 row;
    };
    // The known row nearest before `offset` in the window of `statement`, when the store is still
    // in `state`.
    std::optional<Anchor> before(const QString &statement, qint64 offset, std::pair<qint64, qint64> state);
    void remember(const QString &statement, Anchor anchor, std::pair<qint64, qint64> state);
    void clear();

    // Whether rows of `statement` have a null sort key, once per state of the store.
    std::optional<bool> hasNullKeys(const QString &statement) const { return m_nullKeys.value(statement); }
    void setHasNullKeys(const QString &statement, bool nulls) { m_nullKeys.insert(statement, nulls); }

private:
    static constexpr qsizetype kStatements = 16;
    static constexpr size_t kRowsPerStatement = 4096;
    void follow(std::pair<qint64, qint64> state);
    std::pair<qint64, qint64> m_state{-1, -1};
    QHash<QString, std::map<qint64, qint64>> m_rows;
    QHash<QString, std::optional<bool>> m_nullKeys;
};

// Absent, with the reason in `error`, when a key or the predicate does not fit the entity.
std::optional<CompiledRequest> compileRequest(const FetchRequestBase &request, StoreError *error,
                                              Predicate::SearchForm form = Predicate::SearchForm::Scan,
                                              const Predicate::IndexMatches *matches = nullptr);

// The ids of the stored rows of the request in its order, at most `limit` (< 0: all) after the
// first `offset`. Throws on a store error.
QList<qint64> searchRows(PersistentStore &store, const FetchRequestBase &request, const CompiledRequest &scan,
                         qint64 limit, qint64 offset = 0);

// The number of stored rows matching the request, less those of `shadowed` (rows the context
// holds edited or deleted, which count as they are now, not as stored). Throws on a store error.
qsizetype countStoredRows(PersistentStore &store, const FetchRequestBase &request, const CompiledRequest &compiled,
                          const QList<qint64> &shadowed);
} // namespace StoredRowQuery
