#include "core/store/SearchIndexSchema.h"

#include "core/store/EntityDescription.h"
#include "core/store/SearchTokenizer.h"
#include "platform/Log.h"

#include <sqlite3.h>
#include <unicode/uchar.h>

#include <QChar>

#include <cstring>

namespace SearchIndexSchema {
namespace {
// The index holds exactly the items with "pk" <= indexedUpTo that are not in the long list,
// each with its current text and name, folded (tavi_search_text). Contentless: the text stays in
// the item table only.
const char *const kSchema = R"sql(
CREATE VIRTUAL TABLE "PBItemRecord_search" USING fts5(t, content='', tokenize='tavi_words');
CREATE TABLE "PBItemRecord_search_long" ("pk" INTEGER PRIMARY KEY);
CREATE TABLE "PBItemRecord_search_state" ("indexedUpTo" INTEGER NOT NULL, "fold" TEXT NOT NULL);
CREATE TRIGGER "PBItemRecord_search_insert" AFTER INSERT ON "PBItemRecord" WHEN new.INDEXED
BEGIN ADD_NEW END;
CREATE TRIGGER "PBItemRecord_search_delete" AFTER DELETE ON "PBItemRecord" WHEN old.INDEXED
BEGIN REMOVE_OLD END;
CREATE TRIGGER "PBItemRecord_search_update" AFTER UPDATE OF "text", "appName" ON "PBItemRecord" WHEN old.INDEXED
BEGIN REMOVE_OLD ADD_NEW END;
)sql";

const char *const kIndexed = R"sql("pk" <= (SELECT "indexedUpTo" FROM "PBItemRecord_search_state"))sql";
const char *const kAddNew = R"sql(
    INSERT INTO "PBItemRecord_search" (rowid, t)
        SELECT new."pk", tavi_search_text(new."text", new."appName")
        WHERE NOT tavi_unindexed(new."text", new."appName");
    INSERT INTO "PBItemRecord_search_long" ("pk") SELECT new."pk" WHERE tavi_unindexed(new."text", new."appName");)sql";
const char *const kRemoveOld = R"sql(
    INSERT INTO "PBItemRecord_search" ("PBItemRecord_search", rowid, t)
        SELECT 'delete', old."pk", tavi_search_text(old."text", old."appName")
        WHERE NOT tavi_unindexed(old."text", old."appName");
    DELETE FROM "PBItemRecord_search_long" WHERE "pk" = old."pk";)sql";

bool tooLongForIndex(sqlite3_value *value)
{
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return false;
    const auto *bytes = static_cast<const char *>(sqlite3_value_blob(value));
    const int size = sqlite3_value_bytes(value);
    return size > kIndexedBytes || (bytes && std::memchr(bytes, 0, size_t(size)));
}

// tavi_unindexed(text, name): whether the item stays out of the index (too long, or a NUL the
// trigram tokenizer would stop at).
void unindexedFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    bool unindexed = false;
    for (int i = 0; i < argc; ++i)
        unindexed = unindexed || tooLongForIndex(argv[i]);
    sqlite3_result_int(context, unindexed ? 1 : 0);
}

// tavi_search_text(text, name): what the index holds of an item, its text and application name
// folded as CONTAINS[cd] folds, a line apart.
void searchTextFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    QByteArray joined;
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            joined += '\n';
        if (sqlite3_value_type(argv[i]) != SQLITE_NULL) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[i]));
            joined += StoreValues::foldUtf8(text, sqlite3_value_bytes(argv[i]), true, true);
        }
    }
    sqlite3_result_text(context, joined.constData(), int(joined.size()), SQLITE_TRANSIENT);
}
} // namespace

QString foldVersion()
{
    return QStringLiteral("3/%1/%2")
        .arg(int(QChar::currentUnicodeVersion()))
        .arg(QString::fromLatin1(U_UNICODE_VERSION));
}

const std::vector<const char *> &parts()
{
    // Never destroyed: the index's builder may still check the schema while the process ends.
    static const auto &names = *new const std::vector<const char *>{
        "PBItemRecord_search",        "PBItemRecord_search_long",   "PBItemRecord_search_state",
        "PBItemRecord_search_insert", "PBItemRecord_search_delete", "PBItemRecord_search_update"};
    return names;
}

void registerFunctions(SQLite::Database &database)
{
    database.createFunction("tavi_unindexed", 2, true, nullptr, &unindexedFunction);
    database.createFunction("tavi_search_text", 2, true, nullptr, &searchTextFunction);
    if (!SearchTokenizer::registerWith(database.getHandle()))
        LOG_ERROR("SearchIndex::registerFunctions()", QStringLiteral("this SQLite has no FTS5: searches scan"));
}

void create(SQLite::Database &database)
{
    QString schema = QString::fromUtf8(kSchema);
    schema.replace(QStringLiteral("INDEXED"), QString::fromUtf8(kIndexed));
    schema.replace(QStringLiteral("ADD_NEW"), QString::fromUtf8(kAddNew));
    schema.replace(QStringLiteral("REMOVE_OLD"), QString::fromUtf8(kRemoveOld));
    database.exec(schema.toStdString());
    SQLite::Statement state(database, R"sql(INSERT INTO "PBItemRecord_search_state" ("indexedUpTo", "fold")
        VALUES (CASE WHEN EXISTS (SELECT 1 FROM "PBItemRecord") THEN 0 ELSE 9223372036854775807 END, ?))sql");
    state.bind(1, foldVersion().toStdString());
    state.exec();
}
} // namespace SearchIndexSchema
