#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/LoginItem.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "shell/AutoLaunchHintWindowController.h"
#include "shell/ShellSeams.h"
#include "shell/TaviMenuBarController.h"
#include "shell/UpdateChecker.h"
#include "support/LoopbackHttpServer.h"
#include "support/ShellHarness.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

QList<QAction *> itemEntries(TaviMenuBarController &menu)
{
    QList<QAction *> entries;
    for (QAction *entry : menu.statusBarMenu()->actions()) {
        if (TaviMenuBarController::tag(entry) >= TaviMenuBarController::kItemTagBase)
            entries.append(entry);
    }
    return entries;
}

// An entry's title, without the key a menu shows after the tab.
QString title(const QAction *entry) { return entry->text().section(QLatin1Char('\t'), 0, 0); }

QStringList numbered(int count)
{
    QStringList texts;
    for (int i = 1; i <= count; ++i)
        texts.append(QStringLiteral("item %1").arg(i));
    return texts;
}

Shortcut digit(int number, quint32 modifier = Shortcut::kCommand)
{
    return Shortcut(AppDelegate::kDigitKeyCodes[number - 1], modifier);
}

struct AlertLog {
    AlertLog(ModalResponse response = ModalResponse::alertSecondButtonReturn)
    {
        setAlertResponder([this, response](const AlertRequest &request) {
            requests.append(request);
            return response;
        });
    }
    ~AlertLog() { setAlertResponder({}); }
    QList<AlertRequest> requests;
};

TaviMenuBarController &menuOf(AppDelegate &delegate) { return *delegate.menuBarController(); }

FakeWorkspace &sharedFakeWorkspace()
{
    Workspace::setShared(std::make_unique<FakeWorkspace>());
    return static_cast<FakeWorkspace &>(Workspace::shared());
}

} // namespace

TEST(StatusMenu, ListsTheNewestItemsWithDigitKeysAboveTheFixedEntries)
{
    ShellHarness shell;
    TaviSettings::shared().setMenuHistoryCapacity(5);
    AppDelegate &delegate = shell.launchWith(numbered(12));
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.menuNeedsUpdate();
    menu.menuNeedsUpdate(); // a second opening replaces the entries
    const QList<QAction *> entries = itemEntries(menu);
    ASSERT_EQ(entries.size(), 5);
    const QList<QAction *> all = menu.statusBarMenu()->actions();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(all.indexOf(entries[i]), i);
        EXPECT_EQ(TaviMenuBarController::tag(entries[i]), 100 + i);
        EXPECT_EQ(title(entries[i]), QStringLiteral("item %1").arg(12 - i));
        EXPECT_EQ(entries[i]->shortcut(), digit(i + 1).keySequence());
        // The key shown names the Super key as every other window does.
        EXPECT_EQ(entries[i]->text().section(QLatin1Char('\t'), 1), QStringLiteral("Super+%1").arg(i + 1));
    }
    EXPECT_EQ(menu.clearAllMenuItem->text().section(QLatin1Char('\t'), 1), QStringLiteral("Shift+Super+C"));
    EXPECT_EQ(title(menu.clearAllMenuItem), L("StatusBarMenu.ClearAll.title"));
}

TEST(StatusMenu, NeverListsMoreThanNineItemsWhateverTheCapacitySays)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith(numbered(12));
    TaviSettings::shared().setMenuHistoryCapacity(40);
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.menuNeedsUpdate();
    EXPECT_EQ(itemEntries(menu).size(), 9);
    EXPECT_EQ(menu.lastItems.size(), 9);
}

TEST(StatusMenu, AnEmptiedHistoryLeavesOnlyTheFixedEntries)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith(numbered(3));
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.menuNeedsUpdate();
    const qsizetype withItems = menu.statusBarMenu()->actions().size();
    shell.manager->clearAllItems(true);
    shell.settle();
    menu.menuNeedsUpdate();
    EXPECT_TRUE(itemEntries(menu).isEmpty());
    EXPECT_EQ(menu.statusBarMenu()->actions().size(), withItems - 3);
}

TEST(StatusMenu, TitlesAreFlatEscapedAndCutAtAWordAfterTwentyCharacters)
{
    ShellHarness shell;
    AppDelegate &delegate =
        shell.launchWith({QStringLiteral("Tom & Jerry\tshow\nnow"), QStringLiteral("12345678901234567890"),
                          QStringLiteral("Meeting notes for the whole team")});
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.menuNeedsUpdate();
    const QList<QAction *> entries = itemEntries(menu);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(title(entries[0]), QStringLiteral("Meeting notes for\u2026"));
    EXPECT_EQ(title(entries[1]), QStringLiteral("12345678901234567890"));
    EXPECT_EQ(title(entries[2]), QStringLiteral("Tom && Jerry show now"));
}

TEST(StatusMenu, ACopyNoOneCanSeeIsListedAsWhatItIs)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith(
        {QStringLiteral("  \n "), QString(30, QLatin1Char(' ')) + QStringLiteral("indented"), QStringLiteral("\t")});
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.menuNeedsUpdate();
    const QList<QAction *> entries = itemEntries(menu);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(title(entries[0]), QStringLiteral("1 tab"));
    EXPECT_EQ(title(entries[1]), QStringLiteral("indented"));
    EXPECT_EQ(title(entries[2]), QStringLiteral("Whitespace (2 lines)"));
}

TEST(StatusMenu, DigitHotKeysStepAsideWhileTheMenuShows)
{
    ShellHarness shell;
    TaviSettings::shared().setEnableQuickSelection(true);
    TaviSettings::shared().setHistoryQuickSelectionKey(PBHistoryQuickSelectionKey::option);
    AppDelegate &delegate = shell.launchWith(numbered(3));
    ASSERT_TRUE(shell.shortcuts->isShortcutRegistered(digit(1, Shortcut::kOption)));
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.menuNeedsUpdate();
    EXPECT_EQ(itemEntries(menu).first()->shortcut(), digit(1, Shortcut::kOption).keySequence());
    for (int number = 1; number <= 3; ++number)
        EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(digit(number, Shortcut::kOption)));
    menu.menuDidClose();
    shell.settle();
    for (int number = 1; number <= 3; ++number)
        EXPECT_TRUE(shell.shortcuts->isShortcutRegistered(digit(number, Shortcut::kOption)));
}

TEST(StatusMenu, AnEntryPastesItsItem)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({QStringLiteral("older"), QStringLiteral("newer")});
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.menuNeedsUpdate();
    shell.copyText(QStringLiteral("something else"));
    itemEntries(menu).at(1)->trigger();
    shell.settle();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("older"));
    // Its digit key in the open menu does the same.
    shell.copyText(QStringLiteral("another"));
    menu.menuNeedsUpdate();
    const qsizetype older = std::find_if(menu.lastItems.cbegin(), menu.lastItems.cend(),
                                         [](const PBItem &item) {
                                             return item.dataProvider()->representedText() == QLatin1String("older");
                                         })
                            - menu.lastItems.cbegin();
    ASSERT_LT(older, menu.lastItems.size());
    QTest::keyClick(menu.statusBarMenu(), Qt::Key(Qt::Key_1 + older), Qt::MetaModifier);
    shell.settle();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("older"));
    // An entry of an earlier opening whose index is gone does nothing.
    QAction stale;
    stale.setData(TaviMenuBarController::kItemTagBase + 7);
    shell.copyText(QStringLiteral("latest"));
    menu.pasteItem(&stale);
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("latest"));
}

TEST(StatusMenu, PauseStopsCaptureUntilResumed)
{
    ShellHarness shell;
    int announcements = 0;
    ObserverBag observers;
    observers.observe(NotificationName::didChangedPasteEnableState, [&](const Notification &) { ++announcements; });
    AppDelegate &delegate = shell.launchWith({QStringLiteral("before")});
    TaviMenuBarController &menu = *delegate.menuBarController();

    menu.pauseBtnItem->trigger();
    EXPECT_EQ(menu.pauseBtnItem->text(), L("StatusBarMenu.Resume.title"));
    shell.copyText(QStringLiteral("while paused"));
    EXPECT_EQ(shell.manager->itemCount(), 1);

    menu.pauseBtnItem->trigger();
    EXPECT_EQ(menu.pauseBtnItem->text(), L("StatusBarMenu.Pause.title"));
    shell.copyText(QStringLiteral("after"));
    EXPECT_EQ(shell.manager->itemCount(), 2);
    EXPECT_EQ(announcements, 2);
}

TEST(StatusMenu, ClearAllAsksFirst)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith(numbered(2));
    AlertLog alerts(ModalResponse::alertSecondButtonReturn);
    delegate.menuBarController()->clearAllMenuItem->trigger();
    ASSERT_EQ(alerts.requests.size(), 1);
    EXPECT_EQ(alerts.requests.first().messageText, L("Category.Alert.Warning.title"));
    EXPECT_EQ(shell.manager->itemCount(), 2);
}

TEST(StatusMenu, TheUpdateCheckTellsTheResultOrOpensTheDownloadPage)
{
    ShellHarness shell;
    FakeWorkspace &workspace = sharedFakeWorkspace();
    AppDelegate &delegate = shell.launchWith({});
    RecordedEvents events;
    bool hasUpdate = false;
    std::optional<QString> text = QStringLiteral("You have the newest version.");
    ShellSeams::shared().checkUpdate = [&](const ShellSeams::UpdateCheckCompletion &completion) {
        completion(hasUpdate, text);
    };
    ShellSeams::shared().downloadPageURL = [] { return QUrl(QStringLiteral("https://tavipaste.app/download/")); };
    AlertLog alerts;
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.checkUpdateMenuItem->trigger();
    text.reset();
    menu.checkUpdateMenuItem->trigger();
    ASSERT_EQ(alerts.requests.size(), 2);
    EXPECT_EQ(alerts.requests[0].messageText, QStringLiteral("You have the newest version."));
    EXPECT_EQ(alerts.requests[1].messageText, QStringLiteral("Error"));

    hasUpdate = true;
    text = QStringLiteral("2.0");
    menu.checkUpdateMenuItem->trigger();
    EXPECT_EQ(alerts.requests.size(), 2);
    EXPECT_EQ(workspace.openedUrls(), QList<QUrl>{QUrl(QStringLiteral("https://tavipaste.app/download/"))});
    EXPECT_EQ(events.named(QStringLiteral("Update_Action")).size(), 3);
}

TEST(StatusMenu, EntriesThatNeedTheServiceShowOnlyWithItsAddressAndBlameNoNetworkWithout)
{
    ShellHarness shell;
    FakeWorkspace &workspace = sharedFakeWorkspace();
    LoopbackHttpServer server;
    AppDelegate &delegate = shell.launchWith({});
    TaviMenuBarController &menu = *delegate.menuBarController();
    const QList<QAction *> serviceEntries{menu.checkUpdateMenuItem, menu.contactMenuItem, menu.feedbackMenuItem,
                                          menu.moreToolsMenuItem};
    const auto visibleEntries = [&] {
        menu.menuNeedsUpdate();
        int visible = 0;
        for (QAction *entry : serviceEntries)
            visible += entry->isVisible() ? 1 : 0;
        return visible;
    };
    const auto checkedText = [] {
        std::optional<QString> text;
        UpdateChecker::shared().checkUpdate(
            [&](bool, const std::optional<QString> &answer) { text = answer.value_or(QString()); });
        waitUntil([&] { return text.has_value(); }, 5000);
        return text.value_or(QStringLiteral("no answer"));
    };

    EXPECT_EQ(visibleEntries(), 0);
    // Fixed entries that work here stay.
    for (const char *kept : {"StatusBarMenu.Preferences.title", "StatusBarMenu.Help.title", "StatusBarMenu.About.title",
                             "StatusBarMenu.Quit.title"})
        EXPECT_TRUE(menu.statusBarMenu()->findChild<QAction *>(QString::fromLatin1(kept))->isVisible()) << kept;
    EXPECT_EQ(checkedText(), L("CheckUpdate.Msg.NoService"));
    // A refused (plain HTTP, not loopback) address is no service either.
    TaviSettings::shared().setServiceBaseURL(QStringLiteral("http://tavipaste.app"));
    EXPECT_EQ(visibleEntries(), 0);
    EXPECT_EQ(checkedText(), L("CheckUpdate.Msg.NoService"));
    EXPECT_EQ(server.connectionCount(), 0);

    TaviSettings::shared().setServiceBaseURL(server.baseURL());
    EXPECT_EQ(visibleEntries(), 4);
    server.respondWith(200, R"({"code": 1})");
    EXPECT_EQ(checkedText(), L("CheckUpdate.Msg.AlreadyLatest"));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests().first().path.startsWith("/homepage/version?"));
    menu.contactMenuItem->trigger();
    menu.moreToolsMenuItem->trigger();
    ASSERT_EQ(workspace.openedUrls().size(), 2);
    EXPECT_EQ(workspace.openedUrls()[0].path(), QStringLiteral("/support/"));
    EXPECT_EQ(workspace.openedUrls()[1].host(), QStringLiteral("127.0.0.1"));
    TaviSettings::shared().setServiceBaseURL(QString());
    EXPECT_EQ(visibleEntries(), 0);
}

TEST(StatusMenu, FeedbackIsAnEncodedMailAndOnlyWebAndMailAddressesOpen)
{
    const QUrl mail = TaviMenuBarController::feedbackMailURL({QStringLiteral("support@tavipaste.app")},
                                                             QStringLiteral("Feedback of TaviPaste"),
                                                             QStringLiteral("\n---\nRegion: de&x=1?#é"));
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), QStringLiteral("support@tavipaste.app"));
    const QUrlQuery query(mail);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QStringLiteral("Feedback of TaviPaste"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
              QStringLiteral("\n---\nRegion: de&x=1?#é"));
    EXPECT_FALSE(mail.toEncoded().contains(' '));

    ShellHarness shell;
    FakeWorkspace &workspace = sharedFakeWorkspace();
    for (const char *refused : {"file:///etc/passwd", "javascript:alert(1)", "smb://server/share", ""})
        EXPECT_FALSE(TaviMenuBarController::openExternalURL(QUrl(QString::fromLatin1(refused)))) << refused;
    EXPECT_TRUE(workspace.openedUrls().isEmpty());

    TaviSettings::shared().setServiceBaseURL(QStringLiteral("https://www.tavipaste.app"));
    AppDelegate &delegate = shell.launchWith({});
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.contactUsItemAction();
    menu.feedbackItemAction();
    ASSERT_EQ(workspace.openedUrls().size(), 2);
    EXPECT_EQ(workspace.openedUrls()[0].scheme(), QStringLiteral("https"));
    EXPECT_TRUE(
        workspace.openedUrls()[1].toString().startsWith(QLatin1String("mailto:support@tavipaste.app?subject=")));
    TaviSettings::shared().setServiceBaseURL(QString());
}

TEST(StatusMenu, AboutShowsTheIconVersionLicenseAndAddressAndEveryWindowHasTheIcon)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({});
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_FALSE(QApplication::windowIcon().pixmap(48, 48).isNull());
    delegate.menuBarController()
        ->statusBarMenu()
        ->findChild<QAction *>(QStringLiteral("StatusBarMenu.About.title"))
        ->trigger();
    QMessageBox *about = delegate.aboutWindow();
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_FALSE(about->iconPixmap().isNull());
    EXPECT_EQ(about->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    EXPECT_TRUE(about->text().contains(appVersion()));
    EXPECT_TRUE(about->text().contains(L("About.License").toHtmlEscaped()));
    EXPECT_TRUE(about->text().contains(QStringLiteral("href=\"https://")));
    // A second choice brings the same window forward.
    delegate.aboutMenuItemAction();
    EXPECT_EQ(delegate.aboutWindow(), about);
    about->close();

    menuOf(delegate).quitItemAction();
    ASSERT_TRUE(menuOf(delegate).autoLaunchHintWC);
    EXPECT_EQ(menuOf(delegate).autoLaunchHintWC->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    menuOf(delegate).autoLaunchHintWC->cancelQuitAction();
}

TEST(StatusMenu, WithoutATrayAWindowTellsOnceWhereTheMenuOpens)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the test display has a tray";
    const int grace = std::exchange(AppDelegate::noTrayGraceMs, 0);
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({});
    ASSERT_TRUE(waitUntil([&] { return delegate.noTrayWindow() && delegate.noTrayWindow()->isVisible(); }));
    QMessageBox &told = *delegate.noTrayWindow();
    EXPECT_FALSE(told.isModal());
    EXPECT_TRUE(told.informativeText().contains(Shortcut(38, Shortcut::kCommand).displayText()));
    EXPECT_TRUE(told.informativeText().contains(L("NoTray.ColorBar")));
    told.close();

    AppDelegate &next = shell.launchWith({});
    shell.settle();
    EXPECT_FALSE(next.noTrayWindow()); // told once, not at every start
    AppDelegate::noTrayGraceMs = grace;
}

TEST(StatusMenu, WithTheTrayIconTurnedOffNoTrayWindowIsShown)
{
    const int grace = std::exchange(AppDelegate::noTrayGraceMs, 0);
    ShellHarness shell;
    TaviSettings::shared().setDisplayMenuBarButton(false);
    AppDelegate &delegate = shell.launchWith({});
    shell.settle();
    EXPECT_FALSE(delegate.noTrayWindow());
    AppDelegate::noTrayGraceMs = grace;
}

TEST(LaunchAtLoginHint, QuittingOffersLaunchAtLoginOnceUnlessDeclined)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({});
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.quitItemAction();
    ASSERT_TRUE(menu.autoLaunchHintWC);
    EXPECT_TRUE(menu.autoLaunchHintWC->isVisible());
    EXPECT_FALSE(delegate.isTerminationRequested());

    menu.autoLaunchHintWC->noPromptBtn->click();
    EXPECT_TRUE(TaviSettings::shared().noAutoLaunchHint());
    // The window stays until the user chooses.
    EXPECT_TRUE(menu.autoLaunchHintWC->isVisible());
    menu.autoLaunchHintWC->cancelBtn->click();
    EXPECT_TRUE(delegate.isTerminationRequested());

    AppDelegate &next = shell.launchWith({});
    next.menuBarController()->quitItemAction();
    EXPECT_FALSE(next.menuBarController()->autoLaunchHintWC);
    EXPECT_TRUE(next.isTerminationRequested());
}

TEST(LaunchAtLoginHint, ReturnQuitsWithoutChangingSettingsAndCancelKeepsRunning)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({});
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.quitItemAction();
    ASSERT_TRUE(menu.autoLaunchHintWC);
    AutoLaunchHintWindowController &hint = *menu.autoLaunchHintWC;
    EXPECT_TRUE(hint.cancelBtn->isDefault());
    EXPECT_FALSE(hint.autoLaunchBtn->isDefault());

    QTest::keyClick(&hint, Qt::Key_Escape);
    EXPECT_FALSE(hint.isVisible());
    hint.present();
    hint.cancelQuitBtn->click();
    EXPECT_FALSE(hint.isVisible());
    EXPECT_FALSE(delegate.isTerminationRequested());

    menu.quitItemAction();
    QWidget *focused = QApplication::focusWidget();
    QTest::keyClick(focused && focused->window() == menu.autoLaunchHintWC.data() ? focused
                                                                                 : menu.autoLaunchHintWC.data(),
                    Qt::Key_Return);
    EXPECT_TRUE(delegate.isTerminationRequested());
    EXPECT_FALSE(TaviSettings::shared().isAutoLaunch());
    EXPECT_FALSE(TaviSettings::shared().noAutoLaunchHint());
    EXPECT_FALSE(QFileInfo::exists(LoginItem::entryPath(QStringLiteral("tavipaste-helper"))));
}

TEST(LaunchAtLoginHint, ClosingTheWindowQuitsThroughTheNormalShutdownOnce)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({});
    TaviMenuBarController &menu = *delegate.menuBarController();
    menu.quitItemAction();
    ASSERT_TRUE(menu.autoLaunchHintWC);
    menu.autoLaunchHintWC->close();
    // The process lives on: the quit is queued for the event loop, whose end runs the shutdown.
    EXPECT_TRUE(delegate.isTerminationRequested());
    EXPECT_FALSE(delegate.isTerminated());
    menu.autoLaunchHintWC->cancelBtn->click();
    delegate.applicationWillTerminate();
    EXPECT_TRUE(delegate.isTerminated());
}

TEST(LaunchAtLogin, AMissingHelperIsReportedAndKeepsTheSetting)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({});
    ASSERT_TRUE(AppDelegate::helperExecutablePath().isEmpty()) << "the test program has no helper beside it";
    AlertLog alerts;
    delegate.menuBarController()->quitItemAction();
    AutoLaunchHintWindowController *hint = delegate.menuBarController()->autoLaunchHintWC;
    ASSERT_TRUE(hint);
    hint->autoLaunchBtn->click();
    ASSERT_EQ(alerts.requests.size(), 1);
    EXPECT_EQ(alerts.requests.first().informativeText, L("AutoLaunch.Failed.NoHelper"));
    EXPECT_FALSE(TaviSettings::shared().isAutoLaunch());
    EXPECT_FALSE(QFileInfo::exists(LoginItem::entryPath(QStringLiteral("tavipaste-helper"))));
    // The user still quits, a moment later.
    EXPECT_FALSE(delegate.isTerminationRequested());
    EXPECT_TRUE(waitUntil([&] { return delegate.isTerminationRequested(); }, 2000));
}

TEST(LaunchAtLogin, TurningOffRemovesTheEntryAndAFailureKeepsTheSetting)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({});
    const QString entry = LoginItem::entryPath(QStringLiteral("tavipaste-helper"));
    // An entry that cannot be removed: a folder with something in it.
    ASSERT_TRUE(QDir().mkpath(entry + QStringLiteral("/inside")));
    TaviSettings::shared().setIsAutoLaunch(true);
    EXPECT_FALSE(delegate.setLaunchAtLogin(false).matches);
    EXPECT_TRUE(TaviSettings::shared().isAutoLaunch());

    QDir(entry).removeRecursively();
    ASSERT_TRUE(LoginItem::setEnabled(QStringLiteral("tavipaste-helper"), true, {QStringLiteral("/bin/true")}).matches);
    EXPECT_TRUE(delegate.setLaunchAtLogin(false).matches);
    EXPECT_FALSE(TaviSettings::shared().isAutoLaunch());
    EXPECT_FALSE(QFileInfo::exists(entry));
}

// At start, launch at login is checked against its entry: an entry whose helper was moved or
// removed is not left to fail at every login. Without a helper of its own (the test program has
// none beside it) TaviPaste removes the entry, turns the setting off and tells the user once; an
// entry removed or disabled in the desktop's settings turns the setting off quietly; a working
// entry is left alone.
TEST(LaunchAtLogin, AtStartAnEntryThatCannotStartAnythingIsRemovedAndTheUserTold)
{
    const QString id = QStringLiteral("tavipaste-helper");
    {
        ShellHarness shell;
        ASSERT_TRUE(
            LoginItem::setEnabled(id, true, {QStringLiteral("/gone/libexec/tavipaste/TaviPasteHelper")}).matches);
        TaviSettings::shared().setIsAutoLaunch(true);
        AlertLog alerts;
        shell.launchWith({});
        EXPECT_TRUE(waitUntil([&] { return !alerts.requests.isEmpty(); }, 2000)) << "the user was not told";
        ASSERT_EQ(alerts.requests.size(), 1);
        EXPECT_EQ(alerts.requests.first().informativeText, L("AutoLaunch.Lost.NoHelper"));
        EXPECT_FALSE(TaviSettings::shared().isAutoLaunch());
        EXPECT_FALSE(QFileInfo::exists(LoginItem::entryPath(id)));
    }
    {
        // Turned off in the desktop's settings: the entry stays as the desktop left it.
        ShellHarness shell;
        QDir().mkpath(LoginItem::autostartDirectory());
        QFile entry(LoginItem::entryPath(id));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nExec=/bin/true\nHidden=true\n");
        entry.close();
        TaviSettings::shared().setIsAutoLaunch(true);
        AlertLog alerts;
        shell.launchWith({});
        EXPECT_FALSE(TaviSettings::shared().isAutoLaunch());
        EXPECT_TRUE(QFileInfo::exists(LoginItem::entryPath(id)));
        EXPECT_TRUE(alerts.requests.isEmpty());
    }
    {
        ShellHarness shell;
        ASSERT_TRUE(LoginItem::setEnabled(id, true, {QStringLiteral("/bin/true")}).matches);
        const QStringList working = LoginItem::command(id);
        TaviSettings::shared().setIsAutoLaunch(true);
        AlertLog alerts;
        shell.launchWith({});
        shell.settle();
        EXPECT_TRUE(TaviSettings::shared().isAutoLaunch());
        EXPECT_EQ(LoginItem::command(id), working);
        EXPECT_TRUE(alerts.requests.isEmpty());
    }
}
