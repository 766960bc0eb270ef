#include "core/TaviSettings.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Defaults.h"
#include "support/TestEnvironment.h"

#include <QLocale>

#include <limits>

#include <gtest/gtest.h>

namespace {
TaviSettings &settings() { return TaviSettings::shared(); }

void store(const char *key, const QVariant &value) { Defaults::standard().setValue(QString::fromLatin1(key), value); }

QVariant stored(const char *key) { return Defaults::standard().value(QString::fromLatin1(key)); }

class ScopedLocale {
public:
    explicit ScopedLocale(const QString &name) { QLocale::setDefault(QLocale(name)); }
    ~ScopedLocale() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};
} // namespace

TEST(TaviSettings, AFreshInstallationReadsTheInitialValues)
{
    ScopedXdgHome home;
    EXPECT_EQ(settings().barSize(), PBColorBarSize::medium);
    EXPECT_EQ(settings().barAppearance(), PBColorBarAppearance::rounded);
    EXPECT_EQ(settings().barScreenOption(), PBColorBarDisplayScreenOption::active);
    EXPECT_EQ(settings().ignoreDataSizeType(), IgnoreDataSizeType::mb);
    EXPECT_DOUBLE_EQ(settings().hideColorBarDuration(), 3.0);
    EXPECT_DOUBLE_EQ(settings().hideColorBarMaxDuration(), 10.0);
    EXPECT_EQ(settings().blackList(), TaviSettings::passwordManagerIds());
    EXPECT_EQ(settings().menuHistoryCapacity(), 5);
    EXPECT_EQ(settings().menuHistoryMaxCapacity(), 9);
    EXPECT_EQ(settings().historyKeepLastCount(), 1);
    EXPECT_TRUE(settings().alwaysCopyPlainText());
    EXPECT_TRUE(settings().enableQuickSelection());
    EXPECT_TRUE(settings().needShowWhenMouseEntered());
    EXPECT_FALSE(settings().needAutoHideColorBar());
    EXPECT_TRUE(settings().activeCategoryID().isEmpty());
    EXPECT_FALSE(settings().enableCloudSync());
    EXPECT_TRUE(Defaults::standard().keys().isEmpty()); // reading stores nothing
}

TEST(TaviSettings, TheDefaultIgnoreListNamesThisDesktopsPasswordAndKeyManagers)
{
    ScopedXdgHome home;
    const QStringList ignored = settings().blackList();
    for (const char *id : {"org.keepassxc.KeePassXC", "org.gnome.seahorse.Application", "org.kde.kwalletmanager5"})
        EXPECT_TRUE(ignored.contains(QString::fromLatin1(id))) << id;
    EXPECT_FALSE(ignored.contains(QStringLiteral("com.apple.keychainaccess")));

    // A stored list keeps the original entry as it is and in its place; the user's own entries stay.
    const QStringList stored{QStringLiteral("org.example.Editor"), QStringLiteral("com.apple.keychainaccess"),
                             QStringLiteral("keepass2")};
    Defaults::standard().setValue(QStringLiteral("blackList"), stored);
    const QStringList read = settings().blackList();
    EXPECT_EQ(read.first(), QStringLiteral("org.example.Editor"));
    EXPECT_EQ(read.at(1), QStringLiteral("org.keepassxc.KeePassXC"));
    EXPECT_EQ(read.count(QStringLiteral("keepass2")), 1);
    EXPECT_EQ(read.last(), QStringLiteral("keepass2"));
    EXPECT_EQ(Defaults::standard().value(QStringLiteral("blackList")).toStringList(), stored);

    // Without the original entry nothing is added.
    settings().setBlackList({QStringLiteral("org.example.Editor")});
    EXPECT_EQ(settings().blackList(), QStringList{QStringLiteral("org.example.Editor")});
}

TEST(TaviSettings, PropertiesUseTheirOwnPersistedKeys)
{
    ScopedXdgHome home;
    settings().setNeedAutoHideColorBar(true);
    settings().setHideColorBarDuration(4.5);
    settings().setAlwaysCopyPlainText(false);
    settings().setTimeUnit(PBTimeUnit::week);
    settings().setClearType(PBHistoryClearType::items);
    EXPECT_EQ(stored("needAutoHidePanel"), QVariant(true));
    EXPECT_EQ(stored("hidePanelDuration").toDouble(), 4.5);
    EXPECT_EQ(stored("copyPlainText"), QVariant(false));
    EXPECT_EQ(stored("historyKeepTimeUnit").toLongLong(), 1);
    EXPECT_EQ(stored("historyClearType").toLongLong(), 1);
}

TEST(TaviSettings, SettingAnEnumerationStoresItsRawValue)
{
    ScopedXdgHome home;
    settings().setBarPosition(PBColorBarPosition::right);
    EXPECT_EQ(stored("colorBarPosition").toLongLong(), 1);
    EXPECT_EQ(settings().barPosition(), PBColorBarPosition::right);
    settings().setNoteSortType(NoteSorter::title);
    EXPECT_EQ(stored("noteSortType").toLongLong(), 2);
}

TEST(TaviSettings, StoredIntegersOutsideAnEnumerationReadAsItsFallback)
{
    ScopedXdgHome home;
    store("colorBarSize", 7);
    EXPECT_EQ(settings().barSize(), PBColorBarSize::medium);
    store("colorBarSize", -1);
    EXPECT_EQ(settings().barSize(), PBColorBarSize::medium);
    store("colorBarSize", 2);
    EXPECT_EQ(settings().barSize(), PBColorBarSize::small);
    store("textSortType", 4);
    EXPECT_EQ(settings().textSortType(), TextSorter::defaultOrder);
    store("ignoreDataSizeType", 2);
    EXPECT_EQ(settings().ignoreDataSizeType(), IgnoreDataSizeType::mb);
    store("ignoreDataSizeType", 0);
    EXPECT_EQ(settings().ignoreDataSizeType(), IgnoreDataSizeType::kb);
    store("colorBarScreenOption", 3);
    EXPECT_EQ(settings().barScreenOption(), PBColorBarDisplayScreenOption::initial);
    store("colorBarAppearance", 5);
    EXPECT_EQ(settings().barAppearance(), PBColorBarAppearance::right);
    store("historyQuickSelectionKey", 2);
    EXPECT_EQ(settings().historyQuickSelectionKey(), PBHistoryQuickSelectionKey::control);
}

TEST(TaviSettings, RuleValuesOutsideWhatPreferencesCanSetAreUnreadable)
{
    ScopedXdgHome home;
    const auto unreadableWith = [](const char *key, const QVariant &value) {
        store(key, value);
        const std::optional<QString> unreadable = settings().unreadableAutoCleanSetting();
        Defaults::standard().remove(QString::fromLatin1(key));
        return unreadable;
    };
    // The bounds themselves are the user's choice.
    for (const QVariant &type : {QVariant(qint64(0)), QVariant(qint64(1)), QVariant(QStringLiteral("1"))})
        EXPECT_FALSE(unreadableWith("historyClearType", type)) << type.toString().toStdString();
    for (const QVariant &count : {QVariant(qint64(1)), QVariant(qint64(std::numeric_limits<int>::max()))})
        EXPECT_FALSE(unreadableWith("historyKeepLastCount", count)) << count.toString().toStdString();
    // Beyond them a rule would delete what the user never chose to delete.
    for (const QVariant &type : {QVariant(qint64(7)), QVariant(qint64(-1)), QVariant(qint64(2)), QVariant(2.0)})
        EXPECT_EQ(unreadableWith("historyClearType", type), QStringLiteral("historyClearType"))
            << type.toString().toStdString();
    for (const QVariant &count :
         {QVariant(qint64(0)), QVariant(qint64(-1)), QVariant(qint64(std::numeric_limits<int>::min())),
          QVariant(qint64(std::numeric_limits<int>::max()) + 1), QVariant(QStringLiteral("0"))})
        EXPECT_EQ(unreadableWith("historyKeepLastCount", count), QStringLiteral("historyKeepLastCount"))
            << count.toString().toStdString();

    // Read, an unreadable count is the initial one, never the stored zero; the pane shows that.
    store("historyKeepLastCount", qint64(0));
    EXPECT_EQ(settings().historyKeepLastCount(), 1);
    // A clear type of no case still reads as the fallback case, as every enumeration does.
    store("historyClearType", qint64(7));
    EXPECT_EQ(settings().clearType(), PBHistoryClearType::days);
}

TEST(TaviSettings, RawValuesOutsideTheCasesGiveNoCase)
{
    EXPECT_EQ(fromRawValue<TextSorter>(3), TextSorter::sourceApp);
    EXPECT_FALSE(fromRawValue<TextSorter>(4).has_value());
    EXPECT_FALSE(fromRawValue<NoteSorter>(-1).has_value());
    EXPECT_FALSE(fromRawValue<PBColorBarPosition>(2).has_value());
}

TEST(TaviSettings, CloudValuesLiveInTheKeyValueStore)
{
    ScopedXdgHome home;
    settings().setActiveCategoryID(QStringLiteral("3"));
    settings().setEnableCloudSync(true);
    EXPECT_EQ(CloudKeyValueStore::shared().value(QStringLiteral("activeCategoryID")).toString(), QStringLiteral("3"));
    EXPECT_EQ(CloudKeyValueStore::shared().value(QStringLiteral("enableCloudSync")), QVariant(true));
    EXPECT_FALSE(Defaults::standard().contains(QStringLiteral("activeCategoryID")));

    CloudKeyValueStore::resetShared(); // a restart
    EXPECT_EQ(settings().activeCategoryID(), QStringLiteral("3"));
    EXPECT_TRUE(settings().enableCloudSync());
}

TEST(TaviSettings, CloudValuesOfAnotherTypeReadAsAbsent)
{
    ScopedXdgHome home;
    CloudKeyValueStore::shared().setValue(QStringLiteral("activeCategoryID"), qint64(3));
    CloudKeyValueStore::shared().setValue(QStringLiteral("enableCloudSync"), QStringLiteral("true"));
    EXPECT_TRUE(settings().activeCategoryID().isEmpty());
    EXPECT_FALSE(settings().enableCloudSync());
}

TEST(TaviSettings, OCRLanguageFallsBackToASupportedPreferredLanguage)
{
    ScopedXdgHome home;
    {
        ScopedLocale french(QStringLiteral("fr_FR"));
        EXPECT_EQ(TaviSettings::selectedOCRLanguage(), QStringLiteral("fr-FR"));
    }
    {
        ScopedLocale canadian(QStringLiteral("fr_CA"));
        EXPECT_EQ(TaviSettings::selectedOCRLanguage(), QStringLiteral("en-US"));
    }
    EXPECT_FALSE(Defaults::standard().contains(QStringLiteral("selectedOCRLanguage")));

    TaviSettings::setSelectedOCRLanguage(QStringLiteral("ja-JP"));
    ScopedLocale french(QStringLiteral("fr_FR"));
    EXPECT_EQ(TaviSettings::selectedOCRLanguage(), QStringLiteral("ja-JP"));
}

TEST(TaviSettings, CapacityWritesReportUsageEvenWhenUnchanged)
{
    ScopedXdgHome home;
    RecordedEvents events;
    settings().setMenuHistoryCapacity(5);
    settings().setMenuHistoryCapacity(5);
    const auto sent = events.named(QStringLiteral("Settings_HistoryCapacity"));
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent.last().properties, (QMap<QString, QString>{{QStringLiteral("number"), QStringLiteral("5")}}));
    EXPECT_EQ(settings().menuHistoryCapacity(), 5);
}

TEST(TaviSettings, KeepLastCountReportsTheClearUnit)
{
    ScopedXdgHome home;
    RecordedEvents events;
    settings().setHistoryKeepLastCount(30);
    settings().setClearType(PBHistoryClearType::items);
    settings().setHistoryKeepLastCount(200);
    const auto sent = events.named(QStringLiteral("Settings_KeepLastHistory"));
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].properties.value(QStringLiteral("Unit")), QStringLiteral("Days"));
    EXPECT_EQ(sent[0].properties.value(QStringLiteral("count")), QStringLiteral("30"));
    EXPECT_EQ(sent[1].properties.value(QStringLiteral("Unit")), QStringLiteral("Items"));
    EXPECT_EQ(settings().historyKeepLastCount(), 200);
}

TEST(TaviSettings, ProgramValuesReadWhatEarlierVersionsStored)
{
    ScopedXdgHome home;
    store("1stVersion", QStringLiteral("1.0"));
    store("UUID", QStringLiteral("ABC"));
    store("ignoreVersion", QStringLiteral("2.0"));
    store("HasSendFirstInstallGAEvent", true);
    store("syncFolderKey", QByteArray("key"));
    store("syncByteBudget", qint64(4096));
    store("kTPBookMarks", QVariantMap{{QStringLiteral("/home"), QByteArray("bookmark")}});
    EXPECT_EQ(settings().firstVersion(), QStringLiteral("1.0"));
    EXPECT_EQ(settings().installationUUID(), QStringLiteral("ABC"));
    EXPECT_EQ(settings().ignoredVersion(), QStringLiteral("2.0"));
    EXPECT_TRUE(settings().hasSentFirstInstallEvent());
    EXPECT_EQ(settings().syncFolderKey(), QByteArray("key"));
    EXPECT_EQ(settings().syncByteBudget(), 4096);
    ASSERT_TRUE(settings().legacyBookmarks());
    EXPECT_EQ(settings().legacyBookmarks()->value(QStringLiteral("/home")), QVariant(QByteArray("bookmark")));

    // An optional value set to none leaves the file; one of another type reads as none.
    settings().setSyncFolderKey(std::nullopt);
    settings().setLegacyBookmarks(std::nullopt);
    EXPECT_FALSE(Defaults::standard().contains(QStringLiteral("syncFolderKey")));
    EXPECT_FALSE(Defaults::standard().contains(QStringLiteral("kTPBookMarks")));
    store("ignoreVersion", 2.0);
    EXPECT_EQ(settings().ignoredVersion(), std::nullopt);
}

TEST(TaviSettings, TheColorBarTopIsKeptPerScreenAndReadOnlyAsAFiniteNumber)
{
    ScopedXdgHome home;
    const QString key = TaviSettings::colorBarOriginKey(2, QPoint(-1440, 0));
    EXPECT_EQ(key, QStringLiteral("SideBarOriginY-2-x:-1440.0-y:0.0"));
    EXPECT_EQ(settings().colorBarOriginY(key), std::nullopt);
    settings().setColorBarOriginY(key, 200);
    EXPECT_EQ(settings().colorBarOriginY(key), 200.0);
    EXPECT_EQ(settings().colorBarOriginY(TaviSettings::colorBarOriginKey(1, QPoint())), std::nullopt);
    Defaults::standard().setValue(key, QStringLiteral("200"));
    EXPECT_EQ(settings().colorBarOriginY(key), std::nullopt);
}
