#include "CaptureTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PersistentStore.h"
#include "platform/Defaults.h"
#include "platform/Strings.h"

#include <SQLiteCpp/Database.h>

#include <gtest/gtest.h>

#include <thread>

namespace {
void copyNumbered(CaptureHarness &h, int count)
{
    for (int i = 0; i < count; ++i) {
        h.copyText(QStringLiteral("item %1").arg(i));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void setModified(CaptureHarness &h, const QString &text, const QDateTime &when)
{
    const PBItem item = h.item(text);
    const auto records = h.manager->storage().fetch(Predicate::equal(QStringLiteral("uuid"), item.uuid()));
    for (const auto &record : records.value())
        record->setModifiedAt(when);
    h.manager->reloadRecords(RecordSorter::defaultOrder, false);
}
} // namespace

TEST(AutoClean, CountRuleKeepsTheNewestInTheDefaultOrder)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    settings.setHistoryKeepLastCount(3);
    copyNumbered(h, 10);
    h.manager->stickItem(h.item(QStringLiteral("item 0")), true);
    // A list sorted otherwise, or a search, changes nothing.
    h.manager->reloadRecords(RecordSorter::title, true);
    h.manager->setFilter(PBSearchFilter{{QStringLiteral("item 1")}});
    h.manager->autoCleanHistory();
    h.manager->setFilter(std::nullopt);
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("item 0"), QStringLiteral("item 9"), QStringLiteral("item 8"),
                                      QStringLiteral("item 7")}));
    EXPECT_EQ(h.posted(NotificationName::historyItemDidDelete).size(), 6);
    EXPECT_EQ(h.posted(NotificationName::historyItemsDidClear).size(), 1);

    h.clearPosted();
    h.manager->autoCleanHistory();
    EXPECT_TRUE(h.posted(NotificationName::historyItemsDidClear).isEmpty());
}

TEST(AutoClean, CountRuleOfZeroTakesEveryCandidateAndANegativeOneNothing)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    copyNumbered(h, 3);
    h.manager->addNote(QStringLiteral("note"), QStringLiteral("body"));
    settings.setHistoryKeepLastCount(-2);
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts().size(), 4);
    settings.setHistoryKeepLastCount(0);
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("note")});
}

TEST(AutoClean, LockedAndUserCategoriesAreSparedUnlessIncluded)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    settings.setHistoryKeepLastCount(0);
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    h.copyText(QStringLiteral("tagged"));
    h.manager->addItem(h.item(QStringLiteral("tagged")), work);
    h.copyText(QStringLiteral("https://example.org"));
    PBCategory link = filterCategories(h.categories->categories(), categoryId(PBDefaultCategory::link)).first();
    link.setLocked(true);
    h.categories->update(link);
    h.copyText(QStringLiteral("plain"));
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts().size(), 2);
    settings.setAutoCleanIncludeLock(true);
    settings.setAutoCleanIncludeCustom(true);
    h.manager->autoCleanHistory();
    EXPECT_TRUE(h.texts().isEmpty());
}

TEST(AutoClean, AgeRuleCountsCalendarDaysOfTheModificationTime)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::days);
    settings.setHistoryKeepLastCount(1);
    h.copyText(QStringLiteral("yesterday"));
    h.copyText(QStringLiteral("today"));
    h.copyText(QStringLiteral("bumped"));
    h.copyText(QStringLiteral("tomorrow"));
    const QDate today = QDate::currentDate();
    setModified(h, QStringLiteral("yesterday"), QDateTime(today.addDays(-1), QTime(23, 59)));
    setModified(h, QStringLiteral("today"), QDateTime(today, QTime(0, 0, 1)));
    setModified(h, QStringLiteral("bumped"), QDateTime(today.addDays(-30), QTime(12, 0)));
    setModified(h, QStringLiteral("tomorrow"), QDateTime(today.addDays(1), QTime(0, 1)));
    h.copyText(QStringLiteral("bumped")); // copied again today
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts().size(), 3);
    EXPECT_FALSE(h.texts().contains(QStringLiteral("yesterday")));

    settings.setHistoryKeepLastCount(-3); // not "everything older than three days from now"
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts().size(), 3);

    settings.setHistoryKeepLastCount(0);
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("tomorrow")});
}

TEST(AutoClean, AStoreThatRefusesTheDeleteKeepsEveryItemAndAnnouncesNothing)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    settings.setHistoryKeepLastCount(1);
    copyNumbered(h, 4);
    h.manager->saveNow();
    h.manager->storage().context()->store()->database().exec(
        "CREATE TEMP TRIGGER refuse BEFORE DELETE ON \"PBItemRecord\" BEGIN SELECT RAISE(ABORT, 'refused'); END");
    h.clearPosted();
    h.manager->autoCleanHistory();
    h.settle();
    EXPECT_EQ(h.texts().size(), 4);
    EXPECT_TRUE(h.posted(NotificationName::historyItemDidDelete).isEmpty());
    EXPECT_TRUE(h.posted(NotificationName::historyItemsDidClear).isEmpty());

    h.manager->storage().context()->store()->database().exec("DROP TRIGGER temp.refuse");
    h.manager->autoCleanHistory();
    h.settle();
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("item 3")});
    EXPECT_EQ(h.posted(NotificationName::historyItemDidDelete).size(), 3);
}

TEST(AutoClean, AnUnreadableRuleSettingDeletesNothingAndIsToldOnce)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    copyNumbered(h, 4);
    Defaults &defaults = Defaults::standard();
    for (const QString &key : {QStringLiteral("historyKeepLastCount"), QStringLiteral("historyClearType")}) {
        // Read as its initial value (keep 1, or by days), it would delete what the user meant to keep.
        defaults.setValue(QStringLiteral("historyKeepLastCount"), qint64(2));
        defaults.setValue(key, QStringLiteral("two"));
        h.clearPosted();
        h.manager->autoCleanHistory();
        h.manager->autoCleanHistory();
        h.settle();
        EXPECT_EQ(h.texts().size(), 4) << key.toStdString();
        EXPECT_TRUE(h.posted(NotificationName::historyItemDidDelete).isEmpty());
        const auto told = h.posted(NotificationName::historyProblemOccurred);
        ASSERT_EQ(told.size(), 1) << key.toStdString();
        EXPECT_TRUE(told.first().userInfo.value(NotificationKey::info).toString().contains(
            Strings::text(QStringLiteral("Settings.Name.") + key)));
        defaults.remove(key);
    }

    // A whole number stored as another type is the user's number.
    defaults.setValue(QStringLiteral("historyClearType"), 1.0);
    defaults.setValue(QStringLiteral("historyKeepLastCount"), QStringLiteral("2"));
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("item 3"), QStringLiteral("item 2")}));
}
