#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ShellSeams.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// Answers every alert with the given response and counts them.
class ScopedAlertAnswer {
public:
    explicit ScopedAlertAnswer(ModalResponse response)
    {
        setAlertResponder([this, response](const AlertRequest &request) {
            requests.append(request.messageText);
            return response;
        });
    }
    ~ScopedAlertAnswer() { setAlertResponder({}); }
    QStringList requests;
};

struct PreferencesProbe {
    int shown = 0;
    QList<int> selectedTabs;
    int disablePosts = 0;
    ObserverBag observers;

    explicit PreferencesProbe(bool windowExists)
    {
        ShellSeams::shared().showPreferencesWindow = [this] { ++shown; };
        ShellSeams::shared().selectPreferencesTab = [this, windowExists](int index) {
            selectedTabs.append(index);
            return windowExists;
        };
        observers.observe(NotificationName::disableQuickPaste, [this](const Notification &) { ++disablePosts; });
    }
    ~PreferencesProbe() { ShellSeams::shared().reset(); }
};

} // namespace

TEST(AccessibilityPermissionWindow, ConfirmingTurnsQuickPasteOffAndShowsTheGeneralPreferences)
{
    ScopedXdgHome home;
    TaviSettings::shared().setQuickPasteEnable(true);
    PreferencesProbe preferences(true);
    ScopedAlertAnswer answer(ModalResponse::alertFirstButtonReturn);
    AccessibilityPermissionWindowController window;
    window.present();
    ASSERT_TRUE(window.isVisible());

    window.cancelBtn->click();

    EXPECT_EQ(answer.requests.size(), 1);
    EXPECT_FALSE(TaviSettings::shared().quickPasteEnable());
    EXPECT_EQ(preferences.shown, 1);
    EXPECT_EQ(preferences.selectedTabs, QList<int>{0});
    EXPECT_EQ(preferences.disablePosts, 1);
    EXPECT_FALSE(window.isVisible());
}

TEST(AccessibilityPermissionWindow, CancellingTheAlertOnlyClosesTheWindow)
{
    ScopedXdgHome home;
    TaviSettings::shared().setQuickPasteEnable(true);
    PreferencesProbe preferences(true);
    ScopedAlertAnswer answer(ModalResponse::alertSecondButtonReturn);
    AccessibilityPermissionWindowController window;
    window.present();

    window.cancelBtn->click();

    EXPECT_TRUE(TaviSettings::shared().quickPasteEnable());
    EXPECT_EQ(preferences.shown, 0);
    EXPECT_EQ(preferences.disablePosts, 0);
    EXPECT_FALSE(window.isVisible());
}

TEST(AccessibilityPermissionWindow, WithoutThePreferencesTabsNothingIsAnnounced)
{
    ScopedXdgHome home;
    TaviSettings::shared().setQuickPasteEnable(true);
    PreferencesProbe preferences(false);
    ScopedAlertAnswer answer(ModalResponse::alertFirstButtonReturn);
    AccessibilityPermissionWindowController window;
    window.confirmDisableQuickPaste();
    EXPECT_FALSE(TaviSettings::shared().quickPasteEnable());
    EXPECT_EQ(preferences.disablePosts, 0);
}

TEST(AccessibilityPermissionWindow, HelpKeepsTheWindowOpenAndReportsItsSource)
{
    ScopedXdgHome home;
    RecordedEvents events;
    AccessibilityPermissionWindowController window;
    window.present();
    window.helpBtn->click();
    EXPECT_TRUE(window.isVisible());
    const auto sent = events.named(QStringLiteral("ClickQuickPasteHelp"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent.first().properties.value(QStringLiteral("source")), QStringLiteral("Permission_Alert"));
}

TEST(SearchTipWindow, StaysHiddenUntilTheThirdCopy)
{
    ScopedXdgHome home;
    RecordedEvents events;
    TaviSettings::shared().setCopyTotalTimes(2);
    SearchHUDIntroWindowController tip;
    tip.showIfNeeded();
    QApplication::processEvents();
    EXPECT_FALSE(tip.isVisible());
    EXPECT_FALSE(tip.hasShowHUDTip.get());
    EXPECT_TRUE(events.named(QStringLiteral("PBHUD_OpenTip")).isEmpty());
}

TEST(SearchTipWindow, IsShownOnceForEveryOwner)
{
    ScopedXdgHome home;
    RecordedEvents events;
    TaviSettings::shared().setCopyTotalTimes(3);
    SearchHUDIntroWindowController first;
    first.showIfNeeded();
    EXPECT_TRUE(first.hasShowHUDTip.get());
    ASSERT_TRUE(waitUntil([&] { return first.isVisible(); }));

    first.showIfNeeded();
    SearchHUDIntroWindowController second;
    second.showIfNeeded();
    QApplication::processEvents();
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(events.named(QStringLiteral("PBHUD_OpenTip")).size(), 1);
}
