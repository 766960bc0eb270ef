#include "core/store/StoreSchema.h"

#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "core/store/PBSyncOperation.h"
#include "core/store/PersistentStore.h"
#include "core/store/SearchIndex.h"

#include <QStringList>

#include <iterator>

namespace StoreSchema {
namespace {
// The entity tables and their link tables as the entity descriptions give them, in the order
// earlier builds made them. SQLite keeps each table's text as written; the stores of earlier
// builds hold this same text. A column added to a description later changes it too: it needs a
// migration that adds it to older stores and passes over those made with it.
void createEntityTables(SQLite::Database &database)
{
    const EntityDescription &item = PBItemRecord::entityDescription();
    QString sql = PBCategoryRecord::entityDescription().tableSchema() + item.tableSchema()
                  + PBPasteboardDataRecord::entityDescription().tableSchema();
    for (const RelationshipDescription &relationship : item.relationships)
        if (relationship.kind == RelationshipDescription::Kind::ManyToMany)
            sql += relationship.linkTableSchema(item);
    sql += PBSyncOperation::entityDescription().tableSchema();
    database.exec(sql.toStdString());
}

// The bookmarks of copied and granted files (see TPBookMarkCacher), by path.
void createFileBookmarks(SQLite::Database &database)
{
    database.exec(R"sql(
CREATE TABLE IF NOT EXISTS "FileBookmark" (
    "path" TEXT PRIMARY KEY NOT NULL,
    "bookmark" BLOB NOT NULL) WITHOUT ROWID;
)sql");
}

// migrations[n] turns version n into n + 1.
void (*const kMigrations[])(SQLite::Database &) = {
    &createEntityTables,        // 0 -> 1: the first schema
    &SearchIndex::createSchema, // 1 -> 2: the search index (built after opening)
    &createFileBookmarks,       // 2 -> 3
};
static_assert(std::size(kMigrations) == PersistentStore::kSchemaVersion);

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

void migrate(SQLite::Database &database, int version) { kMigrations[version](database); }
} // namespace StoreSchema
