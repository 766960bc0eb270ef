#include "controls/SceneRegistry.h"
#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Defaults.h"
#include "shell/AppDelegate.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ShellSeams.h"
#include "support/ShellHarness.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

struct SeamLog {
    QStringList distributed;
    int screenStarts = 0;
    int screenStops = 0;
    explicit SeamLog()
    {
        auto &seams = ShellSeams::shared();
        seams.postDistributedNotification = [this](const QString &name, const QString &object) {
            distributed.append(name + QLatin1Char('@') + object);
        };
        seams.startScreenMonitoring = [this] { ++screenStarts; };
        seams.stopScreenMonitoring = [this] { ++screenStops; };
    }
};

int welcomeWindowsMade = 0;

void registerWelcomeScene()
{
    welcomeWindowsMade = 0;
    SceneRegistry::shared().registerScene(QStringLiteral("Welcome"), QStringLiteral("welcomeWindowController"), [] {
        ++welcomeWindowsMade;
        return new QWidget;
    });
}

} // namespace

TEST(AppDelegateLife, TheFirstLaunchMakesTheInstallationIdAndWelcomesOnce)
{
    ShellHarness shell;
    registerWelcomeScene();
    AppDelegate &first = shell.makeDelegate();
    first.applicationWillFinishLaunching();
    first.applicationDidFinishLaunching();
    const QString uuid = Defaults::standard().value(QStringLiteral("UUID")).toString();
    EXPECT_FALSE(uuid.isEmpty());
    EXPECT_EQ(welcomeWindowsMade, 1);
    ASSERT_TRUE(first.welcomeWindowController);
    EXPECT_TRUE(first.welcomeWindowController->isVisible());
    EXPECT_TRUE(TaviSettings::shared().alreadyShowTutorial());
    first.applicationWillTerminate();

    AppDelegate &second = shell.makeDelegate();
    second.applicationWillFinishLaunching();
    second.applicationDidFinishLaunching();
    EXPECT_EQ(welcomeWindowsMade, 1);
    EXPECT_EQ(Defaults::standard().value(QStringLiteral("UUID")).toString(), uuid);
    SceneRegistry::shared().removeScene(QStringLiteral("Welcome"), QStringLiteral("welcomeWindowController"));
}

TEST(AppDelegateLife, TheSearchTipWaitsUntilTheWelcomeWindowHasClosed)
{
    ShellHarness shell;
    registerWelcomeScene();
    TaviSettings::shared().setCopyTotalTimes(5);
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(delegate.welcomeWindowController && delegate.welcomeWindowController->isVisible());
    SearchHUDIntroWindowController *tip = delegate.searchTipWC();
    ASSERT_NE(tip, nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(tip->isWaiting());
    EXPECT_FALSE(tip->isVisible());
    EXPECT_FALSE(TaviSettings::shared().hasShownSearchHUDTip());

    delegate.welcomeWindowController->close();
    EXPECT_TRUE(waitUntil([&] { return tip->isVisible(); }));
    EXPECT_TRUE(TaviSettings::shared().hasShownSearchHUDTip());
    tip->close();
    delegate.applicationWillTerminate();
    SceneRegistry::shared().removeScene(QStringLiteral("Welcome"), QStringLiteral("welcomeWindowController"));
}

TEST(AppDelegateLife, ALocaleWithoutRegionReportsNa)
{
    ShellHarness shell;
    const QLocale saved;
    QLocale::setDefault(QLocale::c());
    RecordedEvents events;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    QLocale::setDefault(saved);
    const auto region = events.named(QStringLiteral("Region"));
    ASSERT_EQ(region.size(), 1);
    EXPECT_EQ(region.first().properties.value(QStringLiteral("region")), QStringLiteral("na"));
    EXPECT_EQ(events.named(QStringLiteral("APP_Launch")).size(), 1);
    EXPECT_EQ(events.named(QStringLiteral("Device_Info")).size(), 1);
}

TEST(AppDelegateLife, TellsARunningLoginHelperToQuitOnce)
{
    ShellHarness shell;
    SeamLog seams;
    RunningApplication helper;
    helper.bundleIdentifier = appBundleIdentifier().value_or(QString()) + QStringLiteral("-helper");
    helper.processIdentifier = 77;
    shell.workspace.setRunningApplications({ShellHarness::editor(), helper, helper});
    Workspace::setShared(std::make_unique<FakeWorkspace>());
    static_cast<FakeWorkspace &>(Workspace::shared()).setRunningApplications({ShellHarness::editor(), helper});
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(seams.distributed.filter(NotificationName::killLauncher).size(), 1);
    EXPECT_TRUE(seams.distributed.first().endsWith(QLatin1Char('@') + appBundleIdentifier().value_or(QString())));
}

TEST(AppDelegateLife, WithoutTheHelperNothingIsPostedAtLaunch)
{
    ShellHarness shell;
    SeamLog seams;
    Workspace::setShared(std::make_unique<FakeWorkspace>());
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(seams.distributed.isEmpty());
}

TEST(AppDelegateLife, DeactivatingTaviPasteItselfKeepsTheLastActiveApplication)
{
    ShellHarness shell;
    auto workspace = std::make_unique<FakeWorkspace>();
    FakeWorkspace *fake = workspace.get();
    Workspace::setShared(std::move(workspace));
    fake->setFrontmostApplication(ShellHarness::editor());
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationWillFinishLaunching();

    RunningApplication self;
    self.bundleIdentifier = fake->ownBundleIdentifier();
    self.processIdentifier = QCoreApplication::applicationPid();
    RunningApplication terminal;
    terminal.bundleIdentifier = QStringLiteral("org.gnome.Terminal");
    fake->setFrontmostApplication(self);
    delegate.pollFrontmostApplication();
    ASSERT_TRUE(delegate.lastActiveApplication);
    EXPECT_EQ(delegate.lastActiveApplication->bundleIdentifier, ShellHarness::editor().bundleIdentifier);
    fake->setFrontmostApplication(terminal);
    delegate.pollFrontmostApplication();
    EXPECT_EQ(delegate.lastActiveApplication->bundleIdentifier, ShellHarness::editor().bundleIdentifier);
    fake->setFrontmostApplication(ShellHarness::editor());
    delegate.pollFrontmostApplication();
    EXPECT_EQ(delegate.lastActiveApplication->bundleIdentifier, terminal.bundleIdentifier);
}

TEST(AppDelegateLife, EachQuitCountsOnceStoresTheVersionAndSavesTheHistory)
{
    ShellHarness shell;
    SeamLog seams;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    shell.copyText(QStringLiteral("keep me"));
    const int launches = TaviSettings::shared().launchTime();
    delegate.applicationWillTerminate();
    delegate.applicationWillTerminate();
    EXPECT_EQ(TaviSettings::shared().launchTime(), launches + 1);
    EXPECT_EQ(TaviSettings::shared().lastVersion(), appVersion());
    EXPECT_EQ(seams.distributed.filter(NotificationName::killHelper).size(), 1);
    EXPECT_EQ(seams.screenStops, 1);

    // What the store holds on disk, read by a fresh stack.
    shell.delegate.reset();
    shell.manager.reset();
    shell.categories.reset();
    CoreDataStack::resetShared();
    PBCategoryManager categories(CoreDataStack::shared().managedContext());
    TaviPBManager reopened(shell.pasteboard, shell.workspace, categories);
    EXPECT_EQ(reopened.itemCount(), 1);
}

TEST(AppDelegateLife, TheScreenMonitorRunsOnlyWhenTheBarFollowsTheActiveScreen)
{
    for (const auto option : {PBColorBarDisplayScreenOption::initial, PBColorBarDisplayScreenOption::specific}) {
        ShellHarness shell;
        SeamLog seams;
        TaviSettings::shared().setBarScreenOption(option);
        shell.makeDelegate().applicationDidFinishLaunching();
        EXPECT_EQ(seams.screenStarts, 0);
    }
    ShellHarness shell;
    SeamLog seams;
    TaviSettings::shared().setBarScreenOption(PBColorBarDisplayScreenOption::active);
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(seams.screenStarts, 1);
    TaviSettings::shared().setBarScreenOption(PBColorBarDisplayScreenOption::specific);
    NotificationCenter::defaultCenter().post(NotificationName::colorBarScreenOptionChanged);
    EXPECT_EQ(seams.screenStops, 1);
}

TEST(AppDelegateLife, OnlyAFirstChangedSyncKeyRebuildsTheStore)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    const auto container = CoreDataStack::shared().storeContainer();
    NotificationCenter::defaultCenter().post(
        CloudKeyValueStore::kDidChangeExternally, &CloudKeyValueStore::shared(),
        {{CloudKeyValueStore::kChangedKeys,
          QStringList{QStringLiteral("activeCategoryID"), QStringLiteral("enableCloudSync")}}});
    EXPECT_EQ(CoreDataStack::shared().storeContainer(), container);
    NotificationCenter::defaultCenter().post(
        CloudKeyValueStore::kDidChangeExternally, &CloudKeyValueStore::shared(),
        {{CloudKeyValueStore::kChangedKeys, QStringList{QStringLiteral("enableCloudSync")}}});
    EXPECT_NE(CoreDataStack::shared().storeContainer(), container);
}

TEST(AppDelegateLife, AFolderCheckReachesTheAuthorizerOnlyWithAPath)
{
    ShellHarness shell;
    QStringList paths;
    ShellSeams::shared().showAuthorizer = [&](QWidget *, const QString &path) { paths.append(path); };
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    auto &center = NotificationCenter::defaultCenter();
    center.post(NotificationName::needCheckAuthorize);
    center.postInfo(NotificationName::needCheckAuthorize, 42);
    center.postInfo(NotificationName::needCheckAuthorize, QStringLiteral("/home/user/Documents"));
    EXPECT_EQ(paths, QStringList{QStringLiteral("/home/user/Documents")});
}

TEST(AppDelegateLife, ADamagedHistoryIsToldWithWhereItWasKept)
{
    ShellHarness shell;
    const QString path = CoreDataStack::shared().storePath();
    shell.manager.reset();
    shell.categories.reset();
    CoreDataStack::resetShared();
    for (const QString &file : QStringList{path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")})
        QFile::remove(file);
    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    shell.categories = std::make_unique<PBCategoryManager>(CoreDataStack::shared().managedContext());
    shell.manager = std::make_unique<TaviPBManager>(shell.pasteboard, shell.workspace, *shell.categories);
    const auto problem = CoreDataStack::shared().storeProblem();
    ASSERT_TRUE(problem && !problem->movedAsidePath.isEmpty());

    QList<AlertRequest> alerts;
    setAlertResponder([&](const AlertRequest &request) {
        alerts.append(request);
        return ModalResponse::alertFirstButtonReturn;
    });
    shell.makeDelegate().applicationDidFinishLaunching();
    EXPECT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }));
    setAlertResponder({});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().informativeText.contains(problem->movedAsidePath));
}

TEST(AppDelegateLife, WithoutACloudAccountMirroringIsSwitchedOff)
{
    ShellHarness shell;
    TaviSettings::shared().setEnableCloudSync(true);
    AppDelegate &delegate = shell.makeDelegate();
    EXPECT_EQ(delegate.cloudkitManager.accountStatus(), CloudAccountStatus::NoAccount);
    EXPECT_FALSE(TaviSettings::shared().enableCloudSync());
    EXPECT_FALSE(CoreDataStack::shared().isMirroring());
}
