#include "CaptureTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PersistentStore.h"
#include "platform/Defaults.h"
#include "platform/Strings.h"

#include <QSet>
#include <SQLiteCpp/Database.h>

#include <gtest/gtest.h>

#include <limits>
#include <thread>

namespace {
void copyNumbered(CaptureHarness &h, int count)
{
    for (int i = 0; i < count; ++i) {
        h.copyText(QStringLiteral("item %1").arg(i));
        waitForTheClockToMove();
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

TEST(AutoClean, CountRuleKeepsAtLeastOneCandidateAndAtMostEveryOne)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    copyNumbered(h, 3);
    h.manager->addNote(QStringLiteral("note"), QStringLiteral("body"));
    // The largest count Preferences can set: every item stays.
    settings.setHistoryKeepLastCount(std::numeric_limits<int>::max());
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts().size(), 4);
    // The smallest: the newest candidate stays; notes are no candidates.
    settings.setHistoryKeepLastCount(1);
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("note"), QStringLiteral("item 2")}));
}

TEST(AutoClean, LockedAndUserCategoriesAreSparedUnlessIncluded)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    settings.setHistoryKeepLastCount(1);
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    h.copyText(QStringLiteral("tagged"));
    h.manager->addItem(h.item(QStringLiteral("tagged")), work);
    h.copyText(QStringLiteral("https://example.org"));
    PBCategory link = filterCategories(h.categories->categories(), categoryId(PBDefaultCategory::link)).first();
    link.setLocked(true);
    h.categories->update(link);
    h.copyText(QStringLiteral("plain"));
    h.copyText(QStringLiteral("newest"));
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts().size(), 3);
    EXPECT_FALSE(h.texts().contains(QStringLiteral("plain")));
    settings.setAutoCleanIncludeLock(true);
    settings.setAutoCleanIncludeCustom(true);
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("newest")});
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

    // The largest count Preferences can set reaches back before any date: nothing goes.
    setModified(h, QStringLiteral("today"), QDateTime(QDate(1970, 1, 1), QTime(0, 0)));
    settings.setHistoryKeepLastCount(std::numeric_limits<int>::max());
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts().size(), 3);
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
        const QStringList told = h.told();
        ASSERT_EQ(told.size(), 1) << key.toStdString();
        EXPECT_TRUE(told.first().contains(Strings::text(QStringLiteral("Settings.Name.") + key)));
        defaults.remove(key);
    }

    // A whole number stored as another type is the user's number.
    defaults.setValue(QStringLiteral("historyClearType"), 1.0);
    defaults.setValue(QStringLiteral("historyKeepLastCount"), QStringLiteral("2"));
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("item 3"), QStringLiteral("item 2")}));
}

TEST(AutoClean, ARuleOutsideWhatPreferencesCanSetDeletesNothingAndIsToldOnce)
{
    CaptureHarness h;
    copyNumbered(h, 6);
    h.copyText(QStringLiteral("old"));
    setModified(h, QStringLiteral("old"), QDateTime(QDate::currentDate().addDays(-400), QTime(12, 0)));
    Defaults &defaults = Defaults::standard();
    struct Case {
        const char *key;
        QVariant value;
        QVariant otherRule; // a valid value of the other setting
    };
    const QList<Case> cases{
        // By days or by count, each of these once deleted most or all of the history.
        {"historyClearType", qint64(7), qint64(3)},
        {"historyClearType", qint64(-1), qint64(3)},
        {"historyClearType", qint64(2), qint64(3)},
        {"historyKeepLastCount", qint64(0), qint64(rawValue(PBHistoryClearType::items))},
        {"historyKeepLastCount", qint64(0), qint64(rawValue(PBHistoryClearType::days))},
        {"historyKeepLastCount", qint64(-5), qint64(rawValue(PBHistoryClearType::items))},
        {"historyKeepLastCount", qint64(std::numeric_limits<int>::min()), qint64(rawValue(PBHistoryClearType::days))},
    };
    QSet<QString> toldKeys;
    for (const Case &c : cases) {
        const QString key = QString::fromLatin1(c.key);
        const QString other = key == QLatin1String("historyClearType") ? QStringLiteral("historyKeepLastCount")
                                                                       : QStringLiteral("historyClearType");
        const std::string label = key.toStdString() + " = " + c.value.toString().toStdString();
        defaults.setValue(other, c.otherRule);
        defaults.setValue(key, c.value);
        h.clearPosted();
        h.manager->autoCleanHistory();
        h.manager->autoCleanHistory();
        h.settle();
        EXPECT_EQ(h.texts().size(), 7) << label;
        EXPECT_TRUE(h.posted(NotificationName::historyItemDidDelete).isEmpty()) << label;
        const QStringList told = h.told();
        // Told once per setting for the life of the program.
        const bool firstOfKey = !toldKeys.contains(key);
        toldKeys.insert(key);
        ASSERT_EQ(told.size(), firstOfKey ? 1 : 0) << label;
        if (firstOfKey) {
            EXPECT_TRUE(told.first().contains(Strings::text(QStringLiteral("Settings.Name.") + key))) << label;
        }
        defaults.remove(key);
        defaults.remove(other);
    }

    // The user chooses the rule again: it applies.
    TaviSettings::shared().setClearType(PBHistoryClearType::days);
    TaviSettings::shared().setHistoryKeepLastCount(30);
    h.manager->autoCleanHistory();
    EXPECT_EQ(h.texts().size(), 6);
}
