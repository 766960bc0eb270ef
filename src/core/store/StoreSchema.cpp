#include "core/store/StoreSchema.h"

#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "core/store/PersistentStore.h"
#include "core/store/SearchIndex.h"

#include <QStringList>

#include <iterator>
#include <string>

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
LINK_TABLES
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

// Migration `version`, with the link tables as their relationships describe them.
std::string migration(int version)
{
    QString links;
    for (const RelationshipDescription &relationship : PBItemRecord::entityDescription().relationships)
        if (relationship.kind == RelationshipDescription::Kind::ManyToMany)
            links += relationship.linkTableSchema(PBItemRecord::entityDescription());
    return QString::fromUtf8(kMigrations[version]).replace(QStringLiteral("LINK_TABLES\n"), links).toStdString();
}

// Tables every version of our schema has.
QStringList ownTables()
{
    return {PBItemRecord::entityDescription().name, PBPasteboardDataRecord::entityDescription().name,
            PBCategoryRecord::entityDescription().name, PBItemRecord::categoriesLink().linkTable};
}

} // namespace

bool isOwnDatabase(SQLite::Database &database, int version)
{
    const int objects = database.execAndGet("SELECT count(*) FROM sqlite_master").getInt();
    if (version == 0)
        return objects == 0;
    SQLite::Statement table(database, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
    for (const QString &name : ownTables()) {
        table.bind(1, name.toStdString());
        if (!table.executeStep() || table.getColumn(0).getInt() != 1)
            return false;
        table.reset();
    }
    return true;
}

void migrate(SQLite::Database &database, int version)
{
    if (kMigrations[version])
        database.exec(migration(version));
    else
        SearchIndex::createSchema(database);
}
} // namespace StoreSchema
