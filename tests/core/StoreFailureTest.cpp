#include "core/store/StoreFailure.h"
#include "core/store/StoreStatements.h"

#include <SQLiteCpp/Database.h>

#include <gtest/gtest.h>

#include <stdexcept>

// SQLite's own messages may quote the statement or a value; only the code and its fixed text go out.
TEST(StoreFailure, NamesTheCodeNeverTheMessage)
{
    SQLite::Database database(":memory:", SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    try {
        database.exec("SELECT 'copied secret text");
        FAIL() << "the statement should not compile";
    } catch (const std::exception &error) {
        ASSERT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("copied secret text")));
        const QString kind = storeFailureKind(error);
        EXPECT_FALSE(kind.contains(QStringLiteral("secret")));
        EXPECT_TRUE(kind.startsWith(QStringLiteral("SQLite error 1 ")));
        // A failed fetch or save carries both: the message for the user, the kind for the log.
        const StoreError stored = StoreStatements::storeError(error);
        EXPECT_TRUE(stored.description.contains(QStringLiteral("copied secret text")));
        EXPECT_EQ(stored.text(), kind);
    }
    const QString other = storeFailureKind(std::runtime_error("copied secret text"));
    EXPECT_FALSE(other.contains(QStringLiteral("secret")));
    EXPECT_TRUE(other.contains(QStringLiteral("runtime_error")));
}
