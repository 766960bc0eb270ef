#include "PreferencesTestSupport.h"

#include "core/TaviSettings.h"
#include "platform/ShortcutBinder.h"
#include "preferences/ShortCutSettingsViewController.h"
#include "preferences/ShortcutRecorderView.h"
#include "shell/AppDelegate.h"
#include "shell/ShellSeams.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const Shortcut kSuperJ(38, Shortcut::kCommand);
const Shortcut kSuperK(40, Shortcut::kCommand);

Shortcut digit(int number, quint32 modifier) { return Shortcut(AppDelegate::kDigitKeyCodes[number - 1], modifier); }

// Clicks the recorder and presses the chord.
void record(ShortcutRecorderView *view, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mouseClick(view, Qt::LeftButton);
    QTest::keyClick(view, key, modifiers);
}

// What a restart does to the hot keys: bindings and defaults are made anew from the stored values.
void restartHotKeys(PreferencesFixture &fixture)
{
    ShortcutBinder::shared().reset();
    fixture.delegate->registerDefaultShortcuts();
}

} // namespace

TEST(ShortcutPane, ARecordedChordMovesTheHotKeyAlsoAfterARestart)
{
    PreferencesFixture fixture;
    int toggles = 0;
    ShellSeams::shared().toggleQuickPastePanel = [&] { ++toggles; };
    ShortCutSettingsViewController pane;
    ShortcutRecorderView *view = pane.recorder(AppDelegate::kSpotlightShortcutKey);
    EXPECT_EQ(view->shortcutValue(), kSuperJ);

    QTest::mouseClick(view, Qt::LeftButton);
    EXPECT_TRUE(view->isRecording());
    EXPECT_TRUE(fixture.shell.shortcuts->isSuspended()); // the chord reaches the recorder, not the hot key
    QTest::keyClick(view, Qt::Key_K, Qt::MetaModifier);
    EXPECT_FALSE(view->isRecording());
    EXPECT_FALSE(fixture.shell.shortcuts->isSuspended());
    EXPECT_EQ(view->shortcutValue(), kSuperK);

    EXPECT_FALSE(fixture.shell.shortcuts->simulatePress(kSuperJ));
    EXPECT_TRUE(fixture.shell.shortcuts->simulatePress(kSuperK));
    EXPECT_EQ(toggles, 1);

    restartHotKeys(fixture);
    EXPECT_FALSE(fixture.shell.shortcuts->simulatePress(kSuperJ));
    EXPECT_TRUE(fixture.shell.shortcuts->simulatePress(kSuperK));
    EXPECT_EQ(toggles, 2);
}

TEST(ShortcutPane, AClearedShortcutStaysClearedAfterARestart)
{
    PreferencesFixture fixture;
    ShortCutSettingsViewController pane;
    RecordedEvents events;
    ShortcutRecorderView *view = pane.recorder(AppDelegate::kSpotlightShortcutKey);
    record(view, Qt::Key_Backspace);
    EXPECT_EQ(view->shortcutValue(), std::nullopt);
    EXPECT_FALSE(fixture.shell.shortcuts->isShortcutRegistered(kSuperJ));
    EXPECT_TRUE(events.named("PBHUD_ShortCutChange").isEmpty());

    restartHotKeys(fixture);
    EXPECT_FALSE(fixture.shell.shortcuts->isShortcutRegistered(kSuperJ));
    pane.reloadFromSettings();
    EXPECT_EQ(view->shortcutValue(), std::nullopt);
    EXPECT_EQ(view->displayedText(), "Click to record");
}

TEST(ShortcutPane, EscapeCancelsRecordingAndKeepsTheShortcut)
{
    PreferencesFixture fixture;
    ShortCutSettingsViewController pane;
    ShortcutRecorderView *view = pane.recorder(AppDelegate::kSpotlightShortcutKey);
    record(view, Qt::Key_Escape);
    EXPECT_FALSE(view->isRecording());
    EXPECT_FALSE(fixture.shell.shortcuts->isSuspended());
    EXPECT_EQ(view->shortcutValue(), kSuperJ);
    EXPECT_TRUE(fixture.shell.shortcuts->isShortcutRegistered(kSuperJ));
}

TEST(ShortcutPane, ChordsThatCannotBeGlobalShortcutsAreRefusedWithTheReason)
{
    PreferencesFixture fixture;
    ShortCutSettingsViewController pane;
    ShortcutRecorderView *view = pane.recorder(AppDelegate::kSpotlightShortcutKey);
    fixture.shell.shortcuts->simulateTakenElsewhere(Shortcut(17, Shortcut::kCommand)); // Super+T

    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char *reasonPart;
    };
    const Case cases[] = {
        {Qt::Key_A, Qt::NoModifier, "needs"},
        {Qt::Key_A, Qt::ShiftModifier, "needs"},
        {Qt::Key_H, Qt::MetaModifier | Qt::ShiftModifier, "Close the history list"}, // another of our shortcuts
        {Qt::Key_1, Qt::MetaModifier, "quick selection"},                            // a digit key
        {Qt::Key_T, Qt::MetaModifier, "another program"},
    };
    for (const Case &c : cases) {
        record(view, c.key, c.modifiers);
        EXPECT_TRUE(view->refusal().contains(QLatin1String(c.reasonPart))) << view->refusal().toStdString();
        EXPECT_EQ(view->shortcutValue(), kSuperJ);
        EXPECT_EQ(ShortcutBinder::shared().shortcut(AppDelegate::kSpotlightShortcutKey), kSuperJ);
        QTest::keyClick(view, Qt::Key_Escape);
    }
    EXPECT_TRUE(fixture.shell.shortcuts->isShortcutRegistered(kSuperJ));
    EXPECT_FALSE(fixture.shell.shortcuts->isShortcutRegistered(Shortcut(17, Shortcut::kCommand)));

    // Shift alone does not end recording; an Option-only chord is a shortcut.
    record(view, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(view->isRecording());
    QTest::keyClick(view, Qt::Key_V, Qt::AltModifier);
    EXPECT_EQ(view->shortcutValue(), Shortcut(9, Shortcut::kOption));
}

TEST(ShortcutPane, ShiftedDigitsAreRecordedAsTheirKey)
{
    EXPECT_EQ(ShortcutRecorderView::chordOf(Qt::Key_Exclam, Qt::ShiftModifier | Qt::MetaModifier),
              Shortcut(18, Shortcut::kShift | Shortcut::kCommand));
    EXPECT_EQ(ShortcutRecorderView::chordOf(Qt::Key_Shift, Qt::ShiftModifier), std::nullopt);
}

TEST(ShortcutPane, DigitKeysAndOtherShortcutsNeverShareAChord)
{
    PreferencesFixture fixture;
    AnsweredAlerts alerts(ModalResponse::alertSecondButtonReturn);
    // A chord given before quick selection used it (stored by an older version, say).
    ShortcutBinder::shared().setShortcut(AppDelegate::kClearAllShortcutKey, digit(1, Shortcut::kCommand));
    fixture.shell.copyText("one");
    fixture.shell.copyText("two");
    fixture.shell.settle();
    EXPECT_TRUE(fixture.shell.shortcuts->simulatePress(digit(1, Shortcut::kCommand)));
    EXPECT_EQ(alerts.requests.size(), 1); // the clear-all question, not a paste
    EXPECT_TRUE(fixture.shell.shortcuts->isShortcutRegistered(digit(2, Shortcut::kCommand)));
    fixture.delegate->unregisterQuickSelectionShortcuts();
    EXPECT_TRUE(fixture.shell.shortcuts->isShortcutRegistered(digit(1, Shortcut::kCommand)));
    EXPECT_FALSE(fixture.shell.shortcuts->isShortcutRegistered(digit(2, Shortcut::kCommand)));

    // Neither does a binding take a digit key over.
    fixture.delegate->requestQuickSelectionRefresh();
    fixture.shell.settle();
    int closes = 0;
    ShellSeams::shared().closeCategoryList = [&] { ++closes; };
    ShortcutBinder::shared().setShortcut(AppDelegate::kHideCategoryListShortcutKey, digit(2, Shortcut::kCommand));
    EXPECT_TRUE(fixture.shell.shortcuts->simulatePress(digit(2, Shortcut::kCommand)));
    fixture.shell.settle();
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(fixture.shell.clipboardText(), "one"); // the digit key copied the second item
}

TEST(ShortcutPane, ChangingTheModifierMovesEveryDigitKey)
{
    PreferencesFixture fixture({"one", "two", "three"});
    TaviSettings::shared().setMenuHistoryCapacity(3);
    fixture.delegate->requestQuickSelectionRefresh();
    fixture.shell.settle();
    ShortCutSettingsViewController pane;
    pane.historyQuickSelectionPopUpBtn->setCurrentIndex(1);
    pane.historyQuickSelectionChanged();
    fixture.shell.settle();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(fixture.shell.shortcuts->isShortcutRegistered(digit(i, Shortcut::kCommand)));
        EXPECT_TRUE(fixture.shell.shortcuts->isShortcutRegistered(digit(i, Shortcut::kOption)));
    }
    pane.enableQuickSelectionBtn->click();
    EXPECT_FALSE(TaviSettings::shared().enableQuickSelection());
    EXPECT_TRUE(fixture.delegate->registeredQuickSelectionShortcuts().isEmpty());
    pane.historyQuickSelectionPopUpBtn->setCurrentIndex(2);
    pane.historyQuickSelectionChanged();
    fixture.shell.settle();
    EXPECT_TRUE(fixture.delegate->registeredQuickSelectionShortcuts().isEmpty());
    pane.enableQuickSelectionBtn->click();
    fixture.shell.settle();
    EXPECT_EQ(fixture.delegate->registeredQuickSelectionShortcuts().size(), 3);
    EXPECT_TRUE(fixture.shell.shortcuts->isShortcutRegistered(digit(1, Shortcut::kControl)));
}
