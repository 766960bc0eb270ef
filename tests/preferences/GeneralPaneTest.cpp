#include "PreferencesTestSupport.h"

#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "preferences/GeneralSettingsViewController.h"
#include "preferences/ValueStepperField.h"
#include "shell/AppDelegate.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QComboBox>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

TEST(GeneralPane, SizeLimitKeepsTheLastValidValueAgainstBadInput)
{
    PreferencesFixture fixture;
    TaviSettings::shared().setIgnoreDataSizeMoreThan(true);
    GeneralSettingsViewController pane;
    ValueStepperField *field = pane.ignoreDataSizeTextfield;
    typeInto(field, "5.5");
    EXPECT_EQ(TaviSettings::shared().ignoreDataSize(), 5.5);
    for (const QString &bad : {QStringLiteral("-1"), QStringLiteral("abc"), QStringLiteral(""), QStringLiteral("1e400"),
                               QStringLiteral("99999999999"), QStringLiteral("nan"), QStringLiteral("inf")}) {
        typeInto(field, bad);
        EXPECT_EQ(TaviSettings::shared().ignoreDataSize(), 5.5) << bad.toStdString();
        EXPECT_EQ(field->lineEdit()->text(), "5.5") << bad.toStdString();
        EXPECT_FALSE(field->refusal().isEmpty());
    }
    typeInto(field, "0");
    EXPECT_EQ(TaviSettings::shared().ignoreDataSize(), 0.0);
}

TEST(GeneralPane, PastedTextCountsOnlyItsFirstLine)
{
    EXPECT_EQ(ValueStepperField::parse(QStringLiteral(" 12\n34")), 12.0);
    EXPECT_EQ(ValueStepperField::parse(QStringLiteral("\n12")), std::nullopt);
}

TEST(GeneralPane, SizeStepperStepsFromTheShownValueInTheUnitsIncrement)
{
    PreferencesFixture fixture;
    TaviSettings::shared().setIgnoreDataSizeMoreThan(true);
    TaviSettings::shared().setIgnoreDataSizeType(IgnoreDataSizeType::mb);
    GeneralSettingsViewController pane;
    typeInto(pane.ignoreDataSizeTextfield, "2.5", false);
    pane.ignoreDataSizeTextfield->stepBy(1);
    EXPECT_EQ(pane.ignoreDataSizeTextfield->lineEdit()->text(), "2.6");
    EXPECT_DOUBLE_EQ(TaviSettings::shared().ignoreDataSize(), 2.6);

    // The unit changes, the number stays.
    pane.dataSizeTypeBtn->setCurrentIndex(0);
    pane.changeIgnoreDataSizeType();
    EXPECT_EQ(TaviSettings::shared().ignoreDataSizeType(), IgnoreDataSizeType::kb);
    EXPECT_DOUBLE_EQ(TaviSettings::shared().ignoreDataSize(), 2.6);
    pane.ignoreDataSizeTextfield->stepBy(1);
    EXPECT_DOUBLE_EQ(TaviSettings::shared().ignoreDataSize(), 3.6);
}

TEST(GeneralPane, SizeControlsFollowTheSizeBox)
{
    PreferencesFixture fixture;
    GeneralSettingsViewController pane;
    EXPECT_FALSE(pane.ignoreDataSizeTextfield->isEnabled());
    EXPECT_FALSE(pane.dataSizeTypeBtn->isEnabled());
    pane.ignoreDataSizeBtn->click();
    EXPECT_TRUE(TaviSettings::shared().ignoreDataSizeMoreThan());
    EXPECT_TRUE(pane.ignoreDataSizeTextfield->isEnabled());
    EXPECT_TRUE(pane.dataSizeTypeBtn->isEnabled());
}

TEST(GeneralPane, KeepLastCountIsAtLeastOne)
{
    PreferencesFixture fixture;
    GeneralSettingsViewController pane;
    typeInto(pane.historyClearTextfield, "0");
    EXPECT_EQ(pane.historyClearTextfield->lineEdit()->text(), "1");
    EXPECT_EQ(TaviSettings::shared().historyKeepLastCount(), 1);
    typeInto(pane.historyClearTextfield, "100000");
    EXPECT_EQ(TaviSettings::shared().historyKeepLastCount(), 100000);
    typeInto(pane.historyClearTextfield, "12345678901234");
    EXPECT_EQ(TaviSettings::shared().historyKeepLastCount(), std::numeric_limits<int>::max());
    typeInto(pane.historyClearTextfield, "3.7");
    EXPECT_EQ(TaviSettings::shared().historyKeepLastCount(), std::numeric_limits<int>::max());
}

TEST(GeneralPane, WhatThePaneCanSetIsWhatTheSettingsDeclareReadable)
{
    PreferencesFixture fixture;
    TaviSettings &settings = TaviSettings::shared();
    settings.setIgnoreDataSizeMoreThan(true);
    GeneralSettingsViewController pane;
    const ValidRange<int> counts = TaviSettings::historyKeepLastCountRange();
    for (const QString &typed : {QStringLiteral("-4"), QStringLiteral("0"), QString::number(counts.lowest),
                                 QString::number(counts.highest), QStringLiteral("99999999999")}) {
        typeInto(pane.historyClearTextfield, typed);
        EXPECT_FALSE(settings.unreadableAutoCleanSetting()) << typed.toStdString();
    }
    EXPECT_EQ(settings.historyKeepLastCount(), counts.highest);
    for (int index = 0; index < pane.historyClearPopupBtn->count(); ++index) {
        pane.historyClearPopupBtn->setCurrentIndex(index);
        pane.lastHistoryClearTypeChangedAction();
        EXPECT_FALSE(settings.unreadableAutoCleanSetting()) << index;
    }
    EXPECT_EQ(pane.historyClearPopupBtn->count(), caseCount(PBHistoryClearType{}));

    const ValidRange<double> sizes = TaviSettings::ignoreDataSizeRange();
    for (const double size : {sizes.lowest, sizes.highest}) {
        typeInto(pane.ignoreDataSizeTextfield, QString::number(size, 'f', 0));
        EXPECT_EQ(settings.ignoreDataSize(), size);
        EXPECT_FALSE(settings.unreadableSizeLimitSetting()) << size;
    }
    typeInto(pane.ignoreDataSizeTextfield, QString::number(sizes.highest + 1, 'f', 0));
    EXPECT_EQ(settings.ignoreDataSize(), sizes.highest);
    for (int index = 0; index < pane.dataSizeTypeBtn->count(); ++index) {
        pane.dataSizeTypeBtn->setCurrentIndex(index);
        pane.changeIgnoreDataSizeType();
        EXPECT_FALSE(settings.unreadableSizeLimitSetting()) << index;
    }
}

TEST(GeneralPane, ChoosingTheShownRuleAgainReplacesAnUnreadableOne)
{
    PreferencesFixture fixture;
    TaviSettings &settings = TaviSettings::shared();
    Defaults::standard().setValue(QStringLiteral("historyKeepLastCount"), qint64(0));
    Defaults::standard().setValue(QStringLiteral("historyClearType"), qint64(7));
    GeneralSettingsViewController pane;
    // The pane shows the initial count and the fallback type: choosing them stores them.
    EXPECT_EQ(pane.historyClearTextfield->lineEdit()->text(), "1");
    typeInto(pane.historyClearTextfield, "1");
    EXPECT_FALSE(settings.hasUnreadableHistoryKeepLastCount());
    EXPECT_EQ(settings.unreadableAutoCleanSetting(), QStringLiteral("historyClearType"));
    pane.historyClearPopupBtn->setCurrentIndex(0);
    pane.lastHistoryClearTypeChangedAction();
    EXPECT_FALSE(settings.unreadableAutoCleanSetting());
    EXPECT_EQ(Defaults::standard().value(QStringLiteral("historyKeepLastCount")).toLongLong(), 1);
}

TEST(GeneralPane, CleanNowNamesTheCountWithItsUnit)
{
    PreferencesFixture fixture({"a", "b", "c"});
    TaviSettings::shared().setClearType(PBHistoryClearType::items);
    GeneralSettingsViewController pane;
    typeInto(pane.historyClearTextfield, "1");
    {
        AnsweredAlerts alerts(ModalResponse::alertSecondButtonReturn);
        pane.clearKeepLastAction();
        ASSERT_EQ(alerts.requests.size(), 1);
        EXPECT_TRUE(alerts.requests.first().informativeText.contains("1 item?"));
        EXPECT_EQ(fixture.shell.manager->itemCount(), 3);
    }
    typeInto(pane.historyClearTextfield, "2");
    AnsweredAlerts alerts;
    pane.clearKeepLastAction();
    EXPECT_TRUE(alerts.requests.first().informativeText.contains("2 items?"));
    // The clean runs on the clear queue.
    EXPECT_TRUE(waitUntil([&] { return fixture.shell.manager->itemCount() == 2; }, 30000));
}

TEST(GeneralPane, ChangingTheCleanUpTypeRestartsTheDayObserver)
{
    PreferencesFixture fixture;
    GeneralSettingsViewController pane;
    const auto dayTimerRunning = [&] {
        for (QTimer *timer : fixture.delegate->findChildren<QTimer *>())
            if (timer->isSingleShot() && timer->isActive() && timer->interval() > 60000)
                return true;
        return false;
    };
    pane.enableAutoCleanBtn->click();
    EXPECT_TRUE(dayTimerRunning());
    pane.historyClearPopupBtn->setCurrentIndex(1);
    pane.lastHistoryClearTypeChangedAction();
    EXPECT_FALSE(dayTimerRunning());
    pane.historyClearPopupBtn->setCurrentIndex(0);
    pane.lastHistoryClearTypeChangedAction();
    EXPECT_TRUE(dayTimerRunning());
}

TEST(GeneralPane, FailedLaunchAtLoginRestoresTheBoxAndSaysWhy)
{
    PreferencesFixture fixture; // no login helper is installed beside the tests
    ASSERT_TRUE(AppDelegate::helperExecutablePath().isEmpty());
    GeneralSettingsViewController pane;
    AnsweredAlerts alerts;
    pane.launchUpBtn->click();
    EXPECT_FALSE(pane.launchUpBtn->isChecked());
    EXPECT_FALSE(TaviSettings::shared().isAutoLaunch());
    ASSERT_EQ(alerts.requests.size(), 1);
    EXPECT_FALSE(alerts.requests.first().informativeText.isEmpty());
}

TEST(GeneralPane, QuickPasteWithoutTrustStaysOnAndShowsThePermissionWindow)
{
    PreferencesFixture fixture;
    fixture.shell.trust->setTrusted(false);
    GeneralSettingsViewController pane;
    RecordedEvents events;
    pane.quickPasteBtn->click();
    EXPECT_TRUE(TaviSettings::shared().quickPasteEnable());
    EXPECT_EQ(fixture.shell.trust->promptCount(), 1);
    EXPECT_EQ(events.named("Setting_quickPaste_change").last().properties.value("enable"), "true");
}

TEST(GeneralPane, RecognitionLanguagesAreNamedInTheirOwnLanguage)
{
    QSet<QString> titles;
    for (const QString &code : TaviUserDefaults::supportedOCRLanguages())
        titles.insert(GeneralSettingsViewController::ocrLanguageTitle(code));
    EXPECT_EQ(titles.size(), TaviUserDefaults::supportedOCRLanguages().size());
    EXPECT_EQ(GeneralSettingsViewController::ocrLanguageTitle("fr-FR"), "Français");
    EXPECT_EQ(GeneralSettingsViewController::ocrLanguageTitle("xx-unknown"), "xx-unknown");
}

TEST(GeneralPane, OnlyTheRootFolderGrantsAccess)
{
    PreferencesFixture fixture;
    GeneralSettingsViewController pane;
    pane.chooseFolder = [](const QString &) { return std::optional<QString>(QStringLiteral("/tmp")); };
    pane.allowRootFolderAccessBtn->click();
    TPBookMarkCacher::shared().waitUntilIdle();
    EXPECT_FALSE(pane.allowRootFolderAccessBtn->isChecked());
    EXPECT_FALSE(TPBookMarkCacher::shared().hasBookMark(authorizedRootPath()));
    pane.chooseFolder = [](const QString &) { return std::optional<QString>(); };
    pane.allowRootFolderAccessBtn->click();
    EXPECT_FALSE(pane.allowRootFolderAccessBtn->isChecked());
}
