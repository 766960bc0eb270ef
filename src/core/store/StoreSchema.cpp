#include "core/store/StoreSchema.h"

#include "core/store/PersistentStore.h"
#include "core/store/SearchIndex.h"

#include <iterator>

namespace StoreSchema {
namespace {
// Schema of each version; migrations[n] turns version n into n + 1.
const char *const kMigrations[] = {
    // 0 -> 1: the first schema.
    R"sql(
CREATE TABLE "PBCategoryRecord" (
    "pk" INTEGER PRIMARY KEY AUTOINCREMENT,
    "id" TEXT, "name" TEXT, "type" TEXT, "bgColorHexStr" TEXT, "fgColorHexStr" TEXT,
    "index" INTEGER NOT NULL DEFAULT 0,
    "isHidden" INTEGER NOT NULL DEFAULT 0,
    "isLock" INTEGER NOT NULL DEFAULT 0);
CREATE INDEX "PBCategoryRecord_id" ON "PBCategoryRecord" ("id");
CREATE TABLE "PBItemRecord" (
    "pk" INTEGER PRIMARY KEY AUTOINCREMENT,
    "uuid" TEXT, "dataHash" TEXT, "text" TEXT, "data" BLOB,
    "appName" TEXT, "appId" TEXT, "appPath" TEXT,
    "createdAt" INTEGER, "modifiedAt" INTEGER,
    "is_sticky" INTEGER NOT NULL DEFAULT 0,
    "comment" TEXT);
CREATE INDEX "PBItemRecord_uuid" ON "PBItemRecord" ("uuid");
CREATE INDEX "PBItemRecord_dataHash" ON "PBItemRecord" ("dataHash");
CREATE INDEX "PBItemRecord_sticky_modifiedAt" ON "PBItemRecord" ("is_sticky", "modifiedAt");
CREATE TABLE "PBPasteboardDataRecord" (
    "pk" INTEGER PRIMARY KEY AUTOINCREMENT,
    "item" INTEGER REFERENCES "PBItemRecord" ("pk") ON DELETE CASCADE,
    "type" TEXT, "data" BLOB);
CREATE INDEX "PBPasteboardDataRecord_item" ON "PBPasteboardDataRecord" ("item");
CREATE TABLE "PBItemRecord_categories" (
    "item" INTEGER NOT NULL REFERENCES "PBItemRecord" ("pk") ON DELETE CASCADE,
    "category" INTEGER NOT NULL REFERENCES "PBCategoryRecord" ("pk") ON DELETE CASCADE,
    PRIMARY KEY ("item", "category")) WITHOUT ROWID;
CREATE INDEX "PBItemRecord_categories_category" ON "PBItemRecord_categories" ("category", "item");
CREATE TABLE "PBSyncOperation" (
    "pk" INTEGER PRIMARY KEY AUTOINCREMENT,
    "uuid" TEXT, "updateDate" INTEGER);
)sql",
    // 1 -> 2: the search index, made by SearchIndex::createSchema (built after opening).
    nullptr,
    // 2 -> 3: the bookmarks of copied and granted files (see TPBookMarkCacher), by path.
    R"sql(
CREATE TABLE IF NOT EXISTS "FileBookmark" (
    "path" TEXT PRIMARY KEY NOT NULL,
    "bookmark" BLOB NOT NULL) WITHOUT ROWID;
)sql",
};
static_assert(std::size(kMigrations) == PersistentStore::kSchemaVersion);

// Tables every version of our schema has.
const char *const kOwnTables[] = {"PBItemRecord", "PBPasteboardDataRecord", "PBCategoryRecord", "PBItemRecord_categories"};

} // namespace

bool isOwnDatabase(SQLite::Database &database, int version)
{
    const int objects = database.execAndGet("SELECT count(*) FROM sqlite_master").getInt();
    if (version == 0)
        return objects == 0;
    SQLite::Statement table(database, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
    for (const char *name : kOwnTables) {
        table.bind(1, name);
        if (!table.executeStep() || table.getColumn(0).getInt() != 1)
            return false;
        table.reset();
    }
    return true;
}

void migrate(SQLite::Database &database, int version)
{
    if (kMigrations[version])
        database.exec(kMigrations[version]);
    else
        SearchIndex::createSchema(database);
}
} // namespace StoreSchema
