#include "capture/TaviPBManager.h"
#include "core/Alert.h"
#include "core/store/CoreDataStack.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "support/ShellHarness.h"

#include <SQLiteCpp/Database.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace {
struct AlertLog {
    QList<AlertRequest> alerts;
    AlertLog()
    {
        setAlertResponder([this](const AlertRequest &request) {
            alerts.append(request);
            return ModalResponse::alertFirstButtonReturn;
        });
    }
    ~AlertLog() { setAlertResponder({}); }
    bool saw(const QString &text) const
    {
        return std::any_of(alerts.cbegin(), alerts.cend(),
                           [&](const AlertRequest &a) { return a.informativeText.contains(text); });
    }
};
} // namespace

TEST(HistoryProblemNotices, AQuitThatCannotSaveSaysHowManyItemsAreLostAndNeverThatItSaved)
{
    ShellHarness shell;
    AlertLog log;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    SQLite::Database &database = shell.manager->storage().context()->store()->database();
    database.exec("PRAGMA query_only = 1");
    shell.copyText(QStringLiteral("one"));
    shell.copyText(QStringLiteral("two"));
    QStringList logged;
    Log::setObserver([&](LogLevel, const QString &message, const char *, const char *, int) { logged << message; });
    delegate.applicationWillTerminate();
    Log::setObserver({});
    database.exec("PRAGMA query_only = 0");

    EXPECT_TRUE(log.saw(L("Save.Problem.UnsavedMany").arg(2)));
    EXPECT_FALSE(logged.contains(QStringLiteral("History saved")));
}

TEST(HistoryProblemNotices, AQuitThatSavesSaysSo)
{
    ShellHarness shell;
    AlertLog log;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    shell.copyText(QStringLiteral("one"));
    QStringList logged;
    Log::setObserver([&](LogLevel, const QString &message, const char *, const char *, int) { logged << message; });
    delegate.applicationWillTerminate();
    Log::setObserver({});
    EXPECT_TRUE(logged.contains(QStringLiteral("History saved")));
    EXPECT_EQ(shell.manager->unsavedItemCount(), 0);
}

TEST(HistoryProblemNotices, ASettingsFileKeptAsideAndLaterProblemsAreShown)
{
    ShellHarness shell;
    const QString path = Defaults::standard().filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();
    Defaults::resetStandard(path);
    const QString aside = Defaults::standard().keptAsidePath();
    ASSERT_FALSE(aside.isEmpty());

    AlertLog log;
    shell.makeDelegate().applicationDidFinishLaunching();
    EXPECT_TRUE(waitUntil([&] { return log.saw(aside); }));

    shell.manager->problems().tell(QStringLiteral("Title"), QStringLiteral("Something went wrong"));
    EXPECT_TRUE(waitUntil([&] { return log.saw(QStringLiteral("Something went wrong")); }));
    EXPECT_EQ(log.alerts.size(), 2);
    // A store rebuilt later (sync switched) that cannot use the file is told as well.
    Q_EMIT CoreDataStack::shared().storeProblemFound(QStringLiteral("The store is in use by another program"));
    EXPECT_TRUE(waitUntil([&] { return log.saw(QStringLiteral("in use by another program")); }));
    EXPECT_EQ(log.alerts.size(), 3);
}

TEST(HistoryProblemNotices, CopiesLostBeforeTheyCouldBeReadAreCountedInTheTrayTooltipAndToldOnce)
{
    ShellHarness shell;
    AlertLog log;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(delegate.statusItem());
    EXPECT_EQ(delegate.statusItem()->toolTip(), L("App.name"));
    const auto loseOne = [&](const QString &newer) {
        PasteboardItem item;
        item.setString(PasteboardType::string, newer);
        shell.pasteboard.simulateReplacedCopy({item});
        shell.manager->retreivePasteboardInfo();
        shell.settle();
    };

    loseOne(QStringLiteral("newer"));
    EXPECT_TRUE(waitUntil([&] { return delegate.statusItem()->toolTip().contains(L("Capture.Lost.TooltipOne")); }))
        << delegate.statusItem()->toolTip().toStdString();
    EXPECT_TRUE(waitUntil([&] { return log.saw(L("Capture.Lost.Replaced")); }));
    loseOne(QStringLiteral("newest"));
    EXPECT_TRUE(waitUntil([&] {
        return delegate.statusItem()->toolTip().contains(L("Capture.Lost.TooltipMany").arg(2));
    })) << delegate.statusItem()->toolTip().toStdString();
    EXPECT_TRUE(delegate.statusItem()->toolTip().startsWith(L("App.name")));
    shell.settle();
    EXPECT_EQ(std::count_if(log.alerts.cbegin(), log.alerts.cend(),
                            [](const AlertRequest &a) { return a.informativeText == L("Capture.Lost.Replaced"); }),
              1);
    EXPECT_EQ(shell.manager->itemCount(), 2);
}
