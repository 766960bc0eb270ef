#include "StoreTestSupport.h"

// Reads that fail are counted on the record and tried again on its next use; what they yield
// meanwhile is a default, never remembered as the stored value.

TEST_F(StoreTest, AnUnreadablePayloadIsCountedAndReadAgainLater)
{
    auto record = item(QStringLiteral("a"));
    record->setData("payload");
    ASSERT_TRUE(context()->save());
    reopen();
    const auto fetched = context()->fetch(PBItemRecord::fetchRequest()).value();
    ASSERT_EQ(fetched.size(), 1);
    const auto stored = fetched.first();

    rawDatabase().exec("ALTER TABLE \"PBItemRecord\" RENAME TO \"away\"");
    EXPECT_EQ(stored->readFailureCount(), 0u);
    EXPECT_TRUE(stored->data().isEmpty());
    EXPECT_EQ(stored->readFailureCount(), 1u);
    rawDatabase().exec("ALTER TABLE \"away\" RENAME TO \"PBItemRecord\"");
    EXPECT_EQ(stored->data(), QByteArray("payload"));
    EXPECT_EQ(stored->readFailureCount(), 1u);
}

TEST_F(StoreTest, LinksThatCouldNotBeReadAreNotLostByTheNextChange)
{
    auto record = item(QStringLiteral("a"));
    record->addCategoriesObject(category(QStringLiteral("g")));
    category(QStringLiteral("h"));
    ASSERT_TRUE(context()->save());
    reopen();
    const auto stored = context()->fetch(PBItemRecord::fetchRequest()).value().first();
    auto request = PBCategoryRecord::fetchRequest();
    request.predicate = Predicate::equal(QStringLiteral("id"), QStringLiteral("h"));
    const auto other = context()->fetch(request).value().first();

    rawDatabase().exec("ALTER TABLE \"PBItemRecord_categories\" RENAME TO \"links_away\"");
    EXPECT_TRUE(stored->categories().isEmpty());
    EXPECT_EQ(stored->readFailureCount(), 1u);
    rawDatabase().exec("ALTER TABLE \"links_away\" RENAME TO \"PBItemRecord_categories\"");

    stored->addCategoriesObject(other);
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(rowCount("PBItemRecord_categories"), 2);
    EXPECT_EQ(stored->categories().size(), 2);
}

TEST_F(StoreTest, AMissingColumnIsAReadErrorNotItsOwnName)
{
    auto record = item(QStringLiteral("a"));
    record->setData("payload");
    ASSERT_TRUE(context()->save());
    reopen();
    const auto stored = context()->fetch(PBItemRecord::fetchRequest()).value().first();
    rawDatabase().exec("ALTER TABLE \"PBItemRecord\" RENAME COLUMN \"data\" TO \"gone\"");
    EXPECT_TRUE(stored->data().isEmpty());
    EXPECT_EQ(stored->readFailureCount(), 1u);
}
