#pragma once
// The search index's tables and the triggers that keep it in step with the item table, and the
// SQL functions those use (registered on every connection to the store). Any thread, on a
// connection the caller holds.

#include <SQLiteCpp/Database.h>

#include <QString>

#include <vector>

namespace SearchIndexSchema {
// Longest text (UTF-8 bytes) of an item that goes into the index.
constexpr qsizetype kIndexedBytes = 64 * 1024;

// Changes with the index's layout, the folding and the Unicode tables of Qt and ICU: an index made
// otherwise is built anew.
QString foldVersion();
// The names of the index's tables and triggers.
const std::vector<const char *> &parts();
// Creates the tables and triggers. The index starts complete on an empty item table and empty
// otherwise.
void create(SQLite::Database &database);
void registerFunctions(SQLite::Database &database);
} // namespace SearchIndexSchema
