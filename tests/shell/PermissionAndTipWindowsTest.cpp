#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "platform/memory/FakeWorkspace.h"
#include "shell/AppDelegate.h"
#include "shell/ShellSeams.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

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

QList<QUrl> openedUrls()
{
    auto *workspace = dynamic_cast<FakeWorkspace *>(&Workspace::shared());
    return workspace ? workspace->openedUrls() : QList<QUrl>();
}

// Every text and button of the window is shown whole: wrapped labels as tall as their text needs,
// buttons as wide as their title, and all inside the window.
void expectEverythingFits(QWidget &window)
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    const QRect inside = window.rect();
    for (QLabel *label : window.findChildren<QLabel *>()) {
        if (!label->isVisibleTo(&window))
            continue;
        if (label->wordWrap())
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().left(30).toStdString();
        else
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().left(30).toStdString();
        EXPECT_TRUE(inside.contains(QRect(label->mapTo(&window, QPoint(0, 0)), label->size())));
    }
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        EXPECT_TRUE(inside.contains(QRect(button->mapTo(&window, QPoint(0, 0)), button->size())))
            << button->text().toStdString();
    }
}

} // namespace

TEST(AccessibilityPermissionWindow, ItsTextFitsAtEveryFontSize)
{
    ScopedXdgHome home;
    AccessibilityPermissionWindowController window;
    window.present();
    for (const double points : {8.0, 11.0, 16.0, 24.0}) {
        QFont font = window.font();
        font.setPointSizeF(points);
        window.setFont(font);
        SCOPED_TRACE(points);
        expectEverythingFits(window);
    }
    window.close();
}

TEST(AccessibilityPermissionWindow, ShipsItsPictureAndHasOneHelpButton)
{
    ScopedXdgHome home;
    AccessibilityPermissionWindowController window;
    window.present();
    ASSERT_NE(window.permissionImgView->pixmap().isNull(), true);
    EXPECT_TRUE(window.permissionImgView->isVisibleTo(&window));

    const qsizetype before = openedUrls().size();
    window.openBtn->click();
    EXPECT_FALSE(window.isVisible());
    window.present();
    window.helpBtn->click();
    EXPECT_EQ(openedUrls().size(), before + 1);
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button != window.helpBtn) {
            EXPECT_NE(button->text(), window.helpBtn->text());
        }
    }
    window.close();
}

TEST(AccessibilityPermissionWindow, EscapeClosesIt)
{
    ScopedXdgHome home;
    AccessibilityPermissionWindowController window;
    window.present();
    ASSERT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

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
    EXPECT_FALSE(TaviSettings::shared().hasShownSearchHUDTip());
    EXPECT_TRUE(events.named(QStringLiteral("PBHUD_OpenTip")).isEmpty());
}

TEST(SearchTipWindow, IsShownOnceForEveryOwner)
{
    ScopedXdgHome home;
    RecordedEvents events;
    TaviSettings::shared().setCopyTotalTimes(3);
    SearchHUDIntroWindowController first;
    first.showIfNeeded();
    EXPECT_TRUE(TaviSettings::shared().hasShownSearchHUDTip());
    ASSERT_TRUE(waitUntil([&] { return first.isVisible(); }));

    first.showIfNeeded();
    SearchHUDIntroWindowController second;
    second.showIfNeeded();
    QApplication::processEvents();
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(events.named(QStringLiteral("PBHUD_OpenTip")).size(), 1);
}

TEST(SearchTipWindow, SaysWhatEnterDoesWithQuickPasteOnAndOff)
{
    ScopedXdgHome home;
    ShortcutBinder::shared().reset();
    ShortcutBinder::shared().registerDefaultShortcuts(
        {{AppDelegate::kSpotlightShortcutKey, Shortcut(38, Shortcut::kCommand)}});
    SearchHUDIntroWindowController tip;
    TaviSettings::shared().setQuickPasteEnable(false);
    tip.updateMessage();
    EXPECT_TRUE(tip.messageLabel->text().contains(QStringLiteral("Super+J")));
    EXPECT_TRUE(tip.messageLabel->text().contains(L("SearchTip.Return.Copy")));
    TaviSettings::shared().setQuickPasteEnable(true);
    tip.updateMessage();
    EXPECT_TRUE(tip.messageLabel->text().contains(L("SearchTip.Return.Paste")));

    // The text of the moment it is shown.
    TaviSettings::shared().setQuickPasteEnable(false);
    TaviSettings::shared().setCopyTotalTimes(3);
    tip.showIfNeeded();
    ASSERT_TRUE(waitUntil([&] { return tip.isVisible(); }));
    EXPECT_TRUE(tip.messageLabel->text().contains(L("SearchTip.Return.Copy")));
    expectEverythingFits(tip);
    tip.close();
    ShortcutBinder::shared().reset();
}
