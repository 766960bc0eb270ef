#include "CaptureTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/Uuid.h"

#include <gtest/gtest.h>

TEST(Notes, NewNoteIsStoredAndAnnouncedUnderTheNoteCategory)
{
    CaptureHarness h;
    const PBItem note = h.manager->addNote(QString(), QStringLiteral("body"));
    EXPECT_EQ(note.hash(), uuidString(note.uuid()));
    const auto added = h.posted(NotificationName::historyDidAddNewItem);
    ASSERT_EQ(added.size(), 1);
    const QVariantMap info = added.first().userInfo.value(NotificationKey::info).toMap();
    EXPECT_EQ(info.keys(), QStringList{QStringLiteral("5")});
    EXPECT_EQ(info.value(QStringLiteral("5")).value<QList<PBItem>>().first().uuid(), note.uuid());
    const PBItem stored = h.manager->getAllItems().first();
    EXPECT_EQ(stored.uuid(), note.uuid());
    EXPECT_EQ(stored.dataProvider()->representedText(), QString());
    EXPECT_EQ(stored.dataProvider()->as<PBNoteItemProvider>()->body(), QStringLiteral("body"));
}

TEST(Notes, UpdatedNoteKeepsItsIdentityAndJoinsTheActiveUserCategory)
{
    CaptureHarness h;
    PBItem note = h.manager->addNote(QStringLiteral("Title"), QStringLiteral("old"));
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    h.categories->setActiveCategory(work);
    note.setDataProvider(PBNoteItemProvider::make(QStringLiteral("New title"), QStringLiteral("new body")));
    h.manager->updateNote(note);
    const PBItem stored = h.manager->getAllItems().first();
    EXPECT_EQ(stored.uuid(), note.uuid());
    EXPECT_EQ(stored.hash(), note.hash());
    EXPECT_EQ(stored.createTime(), note.createTime());
    EXPECT_EQ(stored.dataProvider()->representedText(), QStringLiteral("New title"));
    EXPECT_EQ(stored.dataProvider()->as<PBNoteItemProvider>()->body(), QStringLiteral("new body"));
    EXPECT_TRUE(std::any_of(stored.categories().cbegin(), stored.categories().cend(),
                            [&](const PBCategory &c) { return c.id() == work.id(); }));
    EXPECT_EQ(h.posted(NotificationName::historyItemDidUpdate).size(), 1);

    h.manager->deleteItem(stored);
    h.clearPosted();
    h.manager->updateNote(note);
    EXPECT_TRUE(h.posted(NotificationName::historyItemDidUpdate).isEmpty());
}
