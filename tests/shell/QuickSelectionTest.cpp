#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/store/CoreDataStack.h"
#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/NotificationCenter.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"
#include "shell/FeedbackPanel.h"
#include "shell/PasteRoutine.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ShellSeams.h"
#include "support/ShellHarness.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <future>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

namespace {

Shortcut digit(int number, quint32 modifier = Shortcut::kCommand)
{
    return Shortcut(AppDelegate::kDigitKeyCodes[number - 1], modifier);
}

class ScopedAlertAnswer {
public:
    explicit ScopedAlertAnswer(ModalResponse response, bool tickNotes = false)
    {
        setAlertResponder([this, response, tickNotes](const AlertRequest &request) {
            accessory = request.accessoryView;
            if (auto *notes = accessory ? accessory->findChild<QAbstractButton *>(QStringLiteral("noteBtn")) : nullptr)
                notes->setChecked(tickNotes);
            ++count;
            return response;
        });
    }
    ~ScopedAlertAnswer() { setAlertResponder({}); }
    int count = 0;
    QWidget *accessory = nullptr;
};

} // namespace

TEST(GlobalHotKeys, TheDefaultShortcutsAreLiveAfterLaunch)
{
    ShellHarness shell;
    int toggles = 0;
    ShellSeams::shared().toggleQuickPastePanel = [&] { ++toggles; };
    int closes = 0;
    ShellSeams::shared().closeCategoryList = [&] { ++closes; };
    shell.launchWith({});
    EXPECT_TRUE(shell.shortcuts->simulatePress(Shortcut(38, Shortcut::kCommand)));
    EXPECT_TRUE(shell.shortcuts->simulatePress(Shortcut(4, Shortcut::kShift | Shortcut::kCommand)));
    EXPECT_TRUE(shell.shortcuts->isShortcutRegistered(Shortcut(8, Shortcut::kShift | Shortcut::kCommand)));
    // Super+H is the desktop's own hide-window key.
    EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(Shortcut(4, Shortcut::kCommand)));
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(closes, 1);
}

TEST(GlobalHotKeys, AStoredFormerDefaultMovesToTheNewOneAndOtherChoicesStay)
{
    ShellHarness shell;
    ShortcutBinder &binder = ShortcutBinder::shared();
    const QString hideList = AppDelegate::kHideCategoryListShortcutKey;
    Defaults::standard().setValue(hideList, ShortcutBinder::encode(Shortcut(4, Shortcut::kCommand)));
    Defaults::standard().setValue(AppDelegate::kSpotlightShortcutKey,
                                  ShortcutBinder::encode(Shortcut(9, Shortcut::kOption)));
    Defaults::standard().setValue(AppDelegate::kClearAllShortcutKey, ShortcutBinder::encode(std::nullopt));
    shell.launchWith({});
    EXPECT_EQ(binder.shortcut(hideList), Shortcut(4, Shortcut::kShift | Shortcut::kCommand));
    EXPECT_FALSE(Defaults::standard().value(hideList).isValid());
    EXPECT_EQ(binder.shortcut(AppDelegate::kSpotlightShortcutKey), Shortcut(9, Shortcut::kOption));
    EXPECT_EQ(binder.shortcut(AppDelegate::kClearAllShortcutKey), std::nullopt); // removed by the user, stays removed
    EXPECT_TRUE(shell.shortcuts->isShortcutRegistered(Shortcut(4, Shortcut::kShift | Shortcut::kCommand)));
    EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(Shortcut(4, Shortcut::kCommand)));
}

TEST(GlobalHotKeys, AChordAnotherProgramHoldsIsToldOnceNamingEveryRefusedChord)
{
    ShellHarness shell;
    QList<AlertRequest> alerts;
    setAlertResponder([&](const AlertRequest &request) {
        alerts.append(request);
        return ModalResponse::alertFirstButtonReturn;
    });
    const Shortcut clearAll(8, Shortcut::kShift | Shortcut::kCommand);
    const Shortcut panel(38, Shortcut::kCommand);
    shell.shortcuts->simulateTakenElsewhere(clearAll);
    shell.shortcuts->simulateTakenElsewhere(panel);
    shell.launchWith({});
    EXPECT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }));
    shell.settle();
    setAlertResponder({});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().messageText, L("Shortcut.Taken.title"));
    EXPECT_TRUE(alerts.first().informativeText.contains(clearAll.displayText()))
        << alerts.first().informativeText.toStdString();
    EXPECT_TRUE(alerts.first().informativeText.contains(panel.displayText()));
    EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(clearAll));
    // The other shortcuts work.
    EXPECT_TRUE(shell.shortcuts->isShortcutRegistered(Shortcut(4, Shortcut::kShift | Shortcut::kCommand)));
}

TEST(GlobalHotKeys, ClearAllAsksFirstAndKeepsNotesUnlessTicked)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({QStringLiteral("one"), QStringLiteral("two")});
    {
        ScopedAlertAnswer answer(ModalResponse::alertSecondButtonReturn);
        delegate.showClearAllAlert();
        EXPECT_EQ(answer.count, 1);
        EXPECT_EQ(shell.manager->itemCount(), 2);
    }
    shell.manager->addNote(QStringLiteral("note"), QStringLiteral("body"));
    ScopedAlertAnswer answer(ModalResponse::alertFirstButtonReturn);
    delegate.showClearAllAlert();
    EXPECT_TRUE(waitUntil([&] { return shell.manager->itemCount() == 1; }));
}

TEST(GlobalHotKeys, ClearAllWithTheNotesBoxTickedClearsNotesToo)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({QStringLiteral("one")});
    shell.manager->addNote(QStringLiteral("note"), QStringLiteral("body"));
    ScopedAlertAnswer answer(ModalResponse::alertFirstButtonReturn, true);
    delegate.showClearAllAlert();
    ASSERT_TRUE(answer.accessory);
    EXPECT_TRUE(waitUntil([&] { return shell.manager->itemCount() == 0; }));
}

TEST(GlobalHotKeys, ClearingThousandsOfFilesNeverHoldsTheInterface)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({});
    QTemporaryDir folder;
    QList<PasteboardItem> files;
    for (int i = 0; i < 2000; ++i) {
        const QString path = folder.filePath(QStringLiteral("file %1.txt").arg(i));
        QFile(path).open(QIODevice::WriteOnly);
        PasteboardItem item;
        item.setData(PasteboardType::fileURL, QUrl::fromLocalFile(path).toEncoded());
        files.append(item);
    }
    shell.pasteboard.simulateCopy(files);
    shell.manager->retreivePasteboardInfo();
    shell.settle();
    ASSERT_EQ(shell.manager->itemCount(), 2000);
    ASSERT_TRUE(shell.manager->saveNow());

    // The longest the event loop waits between two turns while the history is cleared.
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ScopedAlertAnswer answer(ModalResponse::alertFirstButtonReturn);
    // The clear's end is awaited through its announcement: counting on this thread while the
    // clear holds the store would measure the test's own wait.
    bool cleared = false;
    const auto token = NotificationCenter::defaultCenter().addObserver(NotificationName::historyItemsDidClear,
                                                                       [&](const Notification &) { cleared = true; });
    ticker.start(5);
    sinceTick.start();
    QElapsedTimer action;
    action.start();
    delegate.showClearAllAlert();
    const qint64 actionMs = action.elapsed();
    longestGap = std::max(longestGap, sinceTick.restart());
    const bool announced = waitUntil([&] { return cleared; }, 60000);
    NotificationCenter::defaultCenter().removeObserver(token);
    ASSERT_TRUE(announced);
    ticker.stop();
    EXPECT_EQ(shell.manager->itemCount(), 0);
    shell.settle();
    // Holding the interface for the clear took seconds; the clear's transaction runs on the
    // manager's queue and the interface reads nothing from the store meanwhile (a loaded machine
    // still delays a turn now and then).
    EXPECT_LT(actionMs, 100);
    EXPECT_LT(longestGap, 500);
}

TEST(QuickSelection, DigitKeysFollowTheNewestItemsUpToTheCapacity)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({"a", "b", "c", "d", "e", "f", "g"});
    for (int number = 1; number <= 5; ++number)
        EXPECT_TRUE(shell.shortcuts->isShortcutRegistered(digit(number))) << number;
    EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(digit(6)));
    ASSERT_EQ(delegate.lastItems.size(), 5);
    EXPECT_EQ(delegate.lastItems.first().dataProvider()->representedText(), QStringLiteral("g"));

    shell.shortcuts->simulatePress(digit(2));
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("f"));
}

TEST(QuickSelection, ANewCopyMovesTheItemsAlongTheBoundKeysWithoutBindingThemAgain)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({"a", "b"});
    const int before = shell.shortcuts->grabsAndReleases();
    shell.copyText(QStringLiteral("c"));
    shell.settle();
    ASSERT_EQ(delegate.lastItems.size(), 3);
    // Only the third key is new.
    EXPECT_EQ(shell.shortcuts->grabsAndReleases(), before + 1);
    shell.shortcuts->simulatePress(digit(2));
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("b"));
}

TEST(QuickSelection, AnEmptyHistoryBindsNoKeyButStillOffersTheTip)
{
    ShellHarness shell;
    TaviSettings::shared().setCopyTotalTimes(5);
    AppDelegate &delegate = shell.launchWith({});
    for (int number = 1; number <= 9; ++number)
        EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(digit(number)));
    ASSERT_NE(delegate.searchTipWC(), nullptr);
    // Offered once the first launch's welcome window has closed.
    if (delegate.welcomeWindowController)
        delegate.welcomeWindowController->close();
    EXPECT_TRUE(waitUntil([&] { return TaviSettings::shared().hasShownSearchHUDTip(); }));
}

TEST(QuickSelection, ChangingTheModifierRemovesTheKeysActuallyBound)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({"a", "b"});
    ASSERT_TRUE(shell.shortcuts->isShortcutRegistered(digit(1)));
    TaviSettings::shared().setHistoryQuickSelectionKey(PBHistoryQuickSelectionKey::option);
    delegate.unregisterQuickSelectionShortcuts();
    EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(digit(1)));
    delegate.requestQuickSelectionRefresh();
    shell.settle();
    EXPECT_TRUE(shell.shortcuts->isShortcutRegistered(digit(1, Shortcut::kOption)));
    EXPECT_TRUE(shell.shortcuts->isShortcutRegistered(digit(2, Shortcut::kOption)));
    EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(digit(1)));
}

TEST(QuickSelection, ADigitKeyNeverPastesADeletedItem)
{
    ShellHarness shell;
    shell.launchWith({"old", "new"});
    shell.manager->deleteItem(shell.item(QStringLiteral("new")));
    shell.settle();
    EXPECT_TRUE(shell.shortcuts->simulatePress(digit(1)));
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("old"));
    EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(digit(2)));

    shell.manager->clearAllItems(true);
    shell.settle();
    EXPECT_FALSE(shell.shortcuts->isShortcutRegistered(digit(1)));
}

TEST(QuickSelection, AKeyPressedBeforeTheNextReadIsInNeverPastesTheDeletedItem)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({"old", "new"});
    ASSERT_TRUE(waitUntil([&] { return delegate.lastItems.size() == 2; }));
    // Pressed as the delete is told, before the read after it can be in.
    std::optional<bool> bound;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        NotificationName::historyItemDidDelete, [&](const Notification &) {
            if (!bound)
                bound = shell.shortcuts->simulatePress(digit(1));
        });
    shell.sounds.clear();
    shell.manager->deleteItem(shell.item(QStringLiteral("new")));
    const bool told = waitUntil([&] { return bound.has_value(); });
    NotificationCenter::defaultCenter().removeObserver(token);
    ASSERT_TRUE(told);
    EXPECT_FALSE(*bound);
    EXPECT_FALSE(shell.sounds.contains(QStringLiteral("paste")));
    // Once the read is in, the key takes the item left.
    shell.settle();
    EXPECT_TRUE(shell.shortcuts->simulatePress(digit(1)));
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("old"));
}

TEST(QuickSelection, ACapacityBeyondTheNineDigitsIsBounded)
{
    ShellHarness shell;
    Defaults::standard().setValue(QStringLiteral("menuHistoryCapacity"), qint64(40));
    AppDelegate &delegate = shell.launchWith({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"});
    EXPECT_EQ(delegate.lastItems.size(), 9);
    EXPECT_EQ(delegate.registeredQuickSelectionShortcuts().size(), 9);
    Defaults::standard().setValue(QStringLiteral("menuHistoryCapacity"), qint64(-3));
    delegate.requestQuickSelectionRefresh();
    shell.settle();
    EXPECT_TRUE(delegate.lastItems.isEmpty());
    EXPECT_TRUE(shell.shortcuts->registeredShortcuts().size() == 3);
}

TEST(QuickSelection, TheDigitKeysWaitForABusyStoreWithoutHoldingTheInterfaceAndTakeTheLatestRequest)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({"a", "b", "c"});
    TaviSettings::shared().setMenuHistoryCapacity(1);
    // Another thread holds the store, as the save of a large copy does, until it is let go.
    std::promise<void> letGo;
    std::atomic<bool> held{false};
    std::thread saver([&held, released = letGo.get_future()] {
        std::lock_guard lock(CoreDataStack::shared().managedContext()->mutex());
        held = true;
        released.wait_for(std::chrono::seconds(5));
    });
    ASSERT_TRUE(waitUntil([&] { return held.load(); }));
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
    ticker.start(1);
    delegate.requestQuickSelectionRefresh();
    // The event loop keeps turning while the items are waited for.
    const bool turning = waitUntil([&] { return turns >= 20; });
    // Asked again during the read: that answer is not the last one.
    TaviSettings::shared().setMenuHistoryCapacity(3);
    delegate.requestQuickSelectionRefresh();
    const int before = turns;
    const bool stillTurning = waitUntil([&] { return turns >= before + 20; });
    letGo.set_value();
    saver.join();
    EXPECT_TRUE(turning);
    EXPECT_TRUE(stillTurning);
    shell.settle();
    EXPECT_EQ(delegate.registeredQuickSelectionShortcuts().size(), 3);
    ASSERT_EQ(delegate.lastItems.size(), 3);
    EXPECT_EQ(delegate.lastItems.first().dataProvider()->representedText(), QStringLiteral("c"));
}

TEST(QuickSelection, WithoutQuickPasteADigitKeyOnlyCopies)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({"text"});
    shell.sounds.clear();
    delegate.pasteItem(shell.item(QStringLiteral("text")));
    shell.settle();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("text"));
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 0);
    EXPECT_EQ(shell.sounds, QStringList{QStringLiteral("paste")});
    ASSERT_NE(delegate.hud(), nullptr);
    EXPECT_TRUE(delegate.hud()->window()->isVisible());
    EXPECT_EQ(delegate.hud()->label()->text(), L("HUD.Copied.Label"));
}

TEST(QuickSelection, WithQuickPasteAndTrustADigitKeyPastesOnce)
{
    ShellHarness shell;
    TaviSettings::shared().setQuickPasteEnable(true);
    AppDelegate &delegate = shell.launchWith({"text"});
    delegate.pasteItem(shell.item(QStringLiteral("text")));
    shell.settle();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("text"));
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 1);
    EXPECT_EQ(delegate.hud()->label()->text(), L("HUD.Pasted.Label"));
    // The copy-out is not captured again.
    shell.manager->retreivePasteboardInfo();
    shell.settle();
    EXPECT_EQ(shell.manager->itemCount(), 1);
}

TEST(QuickSelection, WithoutTrustTheItemIsCopiedForTheUserAndThePermissionWindowSaysSo)
{
    ShellHarness shell;
    TaviSettings::shared().setQuickPasteEnable(true);
    AppDelegate &delegate = shell.launchWith({"older", "text"});
    shell.trust->setTrusted(false);
    delegate.pasteItem(shell.item(QStringLiteral("older")));
    shell.settle();
    EXPECT_TRUE(AccessibilityPermissionWindowController::shared().isVisible());
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("older"));
    EXPECT_EQ(delegate.hud()->label()->text(), L("HUD.Copied.Label"));
    // No keystroke that could land in the permission window.
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 0);
    EXPECT_GE(shell.trust->promptCount(), 1);
    // The copy-out is not captured again.
    shell.manager->retreivePasteboardInfo();
    shell.settle();
    EXPECT_EQ(shell.manager->itemCount(), 2);
    AccessibilityPermissionWindowController::shared().close();
}

TEST(QuickSelection, TheProgramStepsAsideBeforeThePasteKeystrokeSoItReachesTheUsersWindow)
{
    ShellHarness shell;
    TaviSettings::shared().setQuickPasteEnable(true);
    AppDelegate &delegate = shell.launchWith({"older", "text"});
    // One of ours in front, as the list or the quick-paste panel is when a digit key is pressed.
    QWidget ours;
    ours.show();
    int keystrokesWhenSteppingAside = -1;
    ObserverBag observers;
    observers.observe(AppActivation::kWillResignActive,
                      [&](const Notification &) { keystrokesWhenSteppingAside = shell.keys->pasteKeystrokeCount(); });
    delegate.pasteItem(shell.item(QStringLiteral("older")));
    shell.settle();
    EXPECT_EQ(keystrokesWhenSteppingAside, 0);
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 1);
    // Shown again, without taking the focus back.
    EXPECT_TRUE(ours.isVisible());

    // Without quick paste the program steps aside too, for the user to paste where they work.
    TaviSettings::shared().setQuickPasteEnable(false);
    keystrokesWhenSteppingAside = -1;
    PasteRoutine::paste(*shell.manager, {shell.item(QStringLiteral("text"))}, std::nullopt);
    shell.settle();
    EXPECT_EQ(keystrokesWhenSteppingAside, 1);
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 1);
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("text"));
}
