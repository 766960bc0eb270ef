#pragma once
// The SQL text the context runs for an entity, built once from its description, and the moving
// of values into and out of statements. Any thread.

#include "core/store/EntityDescription.h"
#include "core/store/FetchRequest.h"
#include "core/store/SqlIdentifier.h"

#include <SQLiteCpp/Statement.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <exception>

namespace StoreStatements {
using ::quoted;

// Statements of one entity that do not depend on the call.
struct EntitySql {
    QString selectValues;     // non-lazy columns by row id
    QString selectRowsValues; // the row id and non-lazy columns of the rows of a JSON array
    QList<int> valueIndexes;  // attribute index of each selected column
    QString insert;           // every column (and the owner column)
    QString selectOwner;
    QString deleteRow;
    QList<QString> selectLazy;       // by attribute index; empty for eager ones
    QList<QString> selectLazyPrefix; // the value when short enough, else its head; and its length
};
const EntitySql &sqlFor(const EntityDescription &entity);
// Writing a row of `table`: an insert of all of `columns`, and an update of them (at least one)
// by row id, bound last.
QString insertRowSql(const QString &table, const QStringList &columns);
QString updateRowSql(const QString &table, const QStringList &columns);

void bindValue(SQLite::Statement &statement, int index, const StoreValue &value);
StoreValue readValue(const SQLite::Column &column);
// Row ids as a JSON array, for json_each().
QString jsonRows(const QList<qint64> &rows);

StoreError storeError(const std::exception &error);
void report(StoreError *target, StoreError error);

// Resets a cached statement and drops its bound values when the scope ends, however it ends.
class BindingsReleased {
public:
    explicit BindingsReleased(SQLite::Statement &statement) : m_statement(statement) {}
    ~BindingsReleased();
    BindingsReleased(const BindingsReleased &) = delete;
    BindingsReleased &operator=(const BindingsReleased &) = delete;

private:
    SQLite::Statement &m_statement;
};
} // namespace StoreStatements
