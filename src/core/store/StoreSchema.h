#pragma once
// The store's tables by schema version, and how a database found at the store's path is told
// for one of ours. The entity tables' and link tables' DDL comes from the entity descriptions. On
// the connection that opens the store.

#include <SQLiteCpp/Database.h>

namespace StoreSchema {
// Whether a database found at the store's path is one of ours. An empty one (no schema yet) is
// ours to fill; one with tables but no version, or a version whose tables are missing, belongs to
// another program and must not get our tables added.
bool isOwnDatabase(SQLite::Database &database, int version);
// Turns schema `version` into `version` + 1, in the caller's transaction.
void migrate(SQLite::Database &database, int version);
} // namespace StoreSchema
