#include "PreferencesTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"
#include "platform/Defaults.h"
#include "preferences/BlacklistViewController.h"
#include "preferences/CategoryPreferencesViewController.h"
#include "preferences/GeneralSettingsViewController.h"
#include "preferences/ValueStepperField.h"
#include "preferences/PreferenceTabViewController.h"
#include "preferences/PreferencesWindowViewController.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "shell/ShellSeams.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {
GeneralSettingsViewController *generalPane()
{
    return preferencesWindowController()->findChild<GeneralSettingsViewController *>();
}
} // namespace

TEST(PreferencesWindow, OneWindowForTheRunWithItsSixTabsInOrder)
{
    PreferencesFixture fixture;
    ASSERT_EQ(preferencesWindowController(), nullptr);
    ShellSeams::shared().showPreferencesWindow();
    PreferencesWindowViewController *first = preferencesWindowController();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    first->close();
    ShellSeams::shared().showPreferencesWindow();
    EXPECT_EQ(preferencesWindowController(), first);
    EXPECT_TRUE(first->isVisible());

    PreferenceTabViewController *tabs = first->contentViewController();
    ASSERT_EQ(tabs->count(), 6);
    const QStringList labels{"General", "Appearance", "Categories", "Shortcuts", "Ignored Applications", "Sync"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(tabs->tabText(i), labels.at(i));
    EXPECT_NE(tabs->widget(PreferenceTabViewController::Sync)->objectName(), QString()); // the placeholder
    EXPECT_TRUE(ShellSeams::shared().selectPreferencesTab(2));
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_FALSE(ShellSeams::shared().selectPreferencesTab(6));
    EXPECT_EQ(tabs->currentIndex(), 2);
}

TEST(PreferencesWindow, SelectingATabWithoutTheWindowDoesNothing)
{
    PreferencesFixture fixture;
    EXPECT_FALSE(ShellSeams::shared().selectPreferencesTab(0));
}

TEST(PreferencesWindow, TabChangesAreCountedByTheirIdentifierOrNa)
{
    PreferencesFixture fixture;
    RecordedEvents events;
    showPreferencesWindow();
    PreferenceTabViewController *tabs = preferencesWindowController()->contentViewController();
    tabs->setSelectedTabViewItemIndex(3);
    tabs->setTabIdentifier(4, QString());
    tabs->setSelectedTabViewItemIndex(4);
    const auto sent = events.named(QStringLiteral("Preference"));
    ASSERT_GE(sent.size(), 2);
    EXPECT_EQ(sent.at(sent.size() - 2).properties.value("tab"), "shortcuts");
    EXPECT_EQ(sent.last().properties.value("tab"), "na");
}

TEST(PreferencesWindow, DecliningQuickPasteInThePermissionWindowLandsOnGeneralWithTheBoxOff)
{
    PreferencesFixture fixture;
    TaviSettings::shared().setQuickPasteEnable(true);
    showPreferencesWindow();
    PreferenceTabViewController *tabs = preferencesWindowController()->contentViewController();
    tabs->setSelectedTabViewItemIndex(PreferenceTabViewController::Shortcuts);
    ASSERT_TRUE(generalPane()->quickPasteBtn->isChecked());

    AnsweredAlerts alerts;
    AccessibilityPermissionWindowController::shared().confirmDisableQuickPaste();
    fixture.shell.settle();
    EXPECT_EQ(tabs->currentIndex(), PreferenceTabViewController::General);
    EXPECT_FALSE(TaviSettings::shared().quickPasteEnable());
    EXPECT_FALSE(generalPane()->quickPasteBtn->isChecked());
}

TEST(PreferencesWindow, PanesShowSettingsChangedElsewhereWhenShownAgain)
{
    PreferencesFixture fixture;
    showPreferencesWindow();
    GeneralSettingsViewController *general = generalPane();
    TaviSettings::shared().setAlwaysCopyPlainText(false);
    preferencesWindowController()->hide();
    EXPECT_TRUE(general->textStyleBtn->isChecked()); // shown as it was while hidden
    showPreferencesWindow();
    EXPECT_FALSE(general->textStyleBtn->isChecked());
}

TEST(PreferencesWindow, StoredValuesOfTheWrongTypeShowTheDefaultAndAreOnlyReplacedByAChoice)
{
    PreferencesFixture fixture;
    Defaults &defaults = Defaults::standard();
    defaults.setValue(QStringLiteral("menuHistoryCapacity"), QStringLiteral("lots"));
    defaults.setValue(QStringLiteral("needShowHUD"), QStringLiteral("yes"));
    defaults.setValue(QStringLiteral("blackList"), qint64(3));
    showPreferencesWindow();
    auto *appearance = preferencesWindowController()->findChild<CategoryPreferencesViewController *>();
    auto *blacklist = preferencesWindowController()->findChild<BlacklistViewController *>();
    EXPECT_EQ(appearance->historyCapacityTextfield->lineEdit()->text(), "5");
    EXPECT_TRUE(appearance->checkboxEnableHUD->isChecked());
    EXPECT_EQ(blacklist->listTableView->rowCount(), 1); // the default entry
    // Showing the panes wrote nothing.
    EXPECT_EQ(defaults.value(QStringLiteral("menuHistoryCapacity")), QVariant(QStringLiteral("lots")));
    EXPECT_EQ(defaults.value(QStringLiteral("blackList")), QVariant(qint64(3)));
    appearance->checkboxEnableHUD->click();
    EXPECT_FALSE(TaviSettings::shared().needShowHUD());
}
