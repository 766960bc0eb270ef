#include "core/store/EntityDescription.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>

#include <gtest/gtest.h>

namespace {
const EntityDescription &folderEntity()
{
    static const EntityDescription entity{QStringLiteral("Folder"),
                                          {{QStringLiteral("title"), QStringLiteral("title"), AttributeType::String}},
                                          {},
                                          {},
                                          {}};
    return entity;
}

std::vector<std::string> rows(SQLite::Database &database, const std::string &sql)
{
    std::vector<std::string> result;
    SQLite::Statement query(database, sql);
    while (query.executeStep()) {
        std::string row;
        for (int i = 0; i < query.getColumnCount(); ++i)
            row += (i ? "|" : "") + query.getColumn(i).getString();
        result.push_back(row);
    }
    return result;
}
} // namespace

TEST(StoreSchema, ATableHasTheColumnsDefaultsIndexesAndOwnerLinkItsDescriptionGives)
{
    const EntityDescription note{
        QStringLiteral("Note"),
        {
            {QStringLiteral("title"), QStringLiteral("title"), AttributeType::String},
            {QStringLiteral("body"), QStringLiteral("body"), AttributeType::Binary, true},
            {QStringLiteral("kind"), QStringLiteral("kind"), AttributeType::String, false, QStringLiteral("it's")},
            {QStringLiteral("count"), QStringLiteral("count"), AttributeType::Integer64, false, qint64(-1)},
            {QStringLiteral("seenAt"), QStringLiteral("seenAt"), AttributeType::Date, false, {}, false, true},
        },
        {{QStringLiteral("kind_count"), {QStringLiteral("kind"), QStringLiteral("count")}}},
        {},
        QStringLiteral("folder"),
        &folderEntity,
    };
    SQLite::Database database(":memory:", SQLite::OPEN_READWRITE);
    database.exec("PRAGMA foreign_keys = ON");
    database.exec(QString(folderEntity().tableSchema() + note.tableSchema()).toStdString());

    EXPECT_EQ(
        rows(database, "SELECT name, type, \"notnull\", coalesce(dflt_value, ''), pk FROM pragma_table_info('Note')"),
        (std::vector<std::string>{"pk|INTEGER|0||1", "folder|INTEGER|0||0", "title|TEXT|0||0", "body|BLOB|0||0",
                                  "kind|TEXT|1|'it''s'|0", "count|INTEGER|1|-1|0", "seenAt|INTEGER|0||0"}));
    EXPECT_EQ(rows(database, "SELECT name FROM pragma_index_info('Note_kind_count')"),
              (std::vector<std::string>{"kind", "count"}));

    database.exec("INSERT INTO \"Folder\" (\"title\") VALUES ('f')");
    database.exec("INSERT INTO \"Note\" (\"folder\", \"title\") VALUES (1, 'n')");
    EXPECT_EQ(rows(database, "SELECT \"kind\", \"count\" FROM \"Note\""), std::vector<std::string>{"it's|-1"});
    EXPECT_THROW(database.exec("UPDATE \"Note\" SET \"kind\" = NULL"), SQLite::Exception);
    database.exec("DELETE FROM \"Folder\"");
    EXPECT_TRUE(rows(database, "SELECT * FROM \"Note\"").empty());
}
