#include "PreferencesTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/NotificationCenter.h"
#include "preferences/CategoryPreferencesViewController.h"
#include "preferences/ValueStepperField.h"
#include "shell/AppDelegate.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QComboBox>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

struct Posted {
    Posted(const QString &name)
    {
        bag.observe(name, [this](const Notification &n) { infos.append(n.info()); });
    }
    ObserverBag bag;
    QVariantList infos;
};

} // namespace

TEST(AppearancePane, CapacityFieldTakesOnlyCountsWithinItsRange)
{
    PreferencesFixture fixture;
    CategoryPreferencesViewController pane;
    ValueStepperField *field = pane.historyCapacityTextfield;

    typeInto(field, "20");
    EXPECT_EQ(field->lineEdit()->text(), "9");
    EXPECT_EQ(TaviSettings::shared().menuHistoryCapacity(), 9);
    EXPECT_FALSE(field->refusal().isEmpty());

    typeInto(field, "0");
    EXPECT_EQ(field->lineEdit()->text(), "1");
    EXPECT_EQ(TaviSettings::shared().menuHistoryCapacity(), 1);

    typeInto(field, "4");
    EXPECT_EQ(TaviSettings::shared().menuHistoryCapacity(), 4);
    EXPECT_TRUE(field->refusal().isEmpty());
    for (const QString &bad : {QStringLiteral("abc"), QStringLiteral(""), QStringLiteral("2.5"), QStringLiteral("-")}) {
        typeInto(field, bad);
        EXPECT_EQ(TaviSettings::shared().menuHistoryCapacity(), 4) << bad.toStdString();
        EXPECT_EQ(field->lineEdit()->text(), "4");
        EXPECT_FALSE(field->refusal().isEmpty());
    }
}

TEST(AppearancePane, TypedCapacityRefreshesTheDigitKeysAtOnce)
{
    PreferencesFixture fixture({"one", "two", "three", "four"});
    TaviSettings::shared().setMenuHistoryCapacity(4);
    fixture.delegate->requestQuickSelectionRefresh();
    fixture.shell.settle();
    ASSERT_EQ(fixture.delegate->registeredQuickSelectionShortcuts().size(), 4);
    CategoryPreferencesViewController pane;
    typeInto(pane.historyCapacityTextfield, "2", false); // a keystroke, no end of editing
    fixture.shell.settle();
    EXPECT_EQ(fixture.delegate->registeredQuickSelectionShortcuts().size(), 2);
    pane.historyCapacityTextfield->stepBy(1);
    fixture.shell.settle();
    EXPECT_EQ(fixture.delegate->registeredQuickSelectionShortcuts().size(), 3);
}

TEST(AppearancePane, DelayIsCorrectedIntoItsRangeAndTheStepperFollowsTheField)
{
    PreferencesFixture fixture;
    TaviSettings::shared().setNeedAutoHideColorBar(true);
    CategoryPreferencesViewController pane;
    Posted delays(NotificationName::colorBarDelayChanged);
    ValueStepperField *field = pane.delayTextfield;

    typeInto(field, "0");
    EXPECT_EQ(TaviSettings::shared().hideColorBarDuration(), 1.0);
    typeInto(field, "25");
    EXPECT_EQ(TaviSettings::shared().hideColorBarDuration(), 10.0);
    EXPECT_EQ(field->lineEdit()->text(), "10");
    typeInto(field, "2.5");
    EXPECT_EQ(TaviSettings::shared().hideColorBarDuration(), 2.5);
    field->stepBy(1);
    EXPECT_EQ(field->lineEdit()->text(), "3.5");
    EXPECT_EQ(TaviSettings::shared().hideColorBarDuration(), 3.5);
    typeInto(field, "soon");
    EXPECT_EQ(TaviSettings::shared().hideColorBarDuration(), 3.5);
    EXPECT_EQ(delays.infos.last().toDouble(), 3.5);
    EXPECT_EQ(delays.infos.size(), 4);
}

TEST(AppearancePane, WithoutAutoHideTheDelayFieldAndStepperAreOff)
{
    PreferencesFixture fixture;
    TaviSettings::shared().setNeedAutoHideColorBar(true);
    CategoryPreferencesViewController pane;
    pane.autoHideBtn->click();
    EXPECT_FALSE(TaviSettings::shared().needAutoHideColorBar());
    EXPECT_FALSE(pane.delayTextfield->isEnabled());
    EXPECT_FALSE(pane.delayTextfield->upButton()->isEnabled());
    EXPECT_FALSE(pane.showWhenEnteredBtn->isEnabled());
    EXPECT_TRUE(pane.showWhenEnteredFullscreenBtn->isEnabled());
    const double before = TaviSettings::shared().hideColorBarDuration();
    pane.delayTextfield->stepBy(1);
    EXPECT_EQ(TaviSettings::shared().hideColorBarDuration(), before);
}

TEST(AppearancePane, BarControlsStoreAndAnnounceTheirValue)
{
    PreferencesFixture fixture;
    CategoryPreferencesViewController pane;
    Posted positions(NotificationName::colorBarPositionChanged);
    Posted options(NotificationName::colorBarScreenOptionChanged);
    pane.positionPopUpBtn->setCurrentIndex(1);
    pane.positionChangeAction();
    EXPECT_EQ(TaviSettings::shared().barPosition(), PBColorBarPosition::right);
    ASSERT_EQ(positions.infos.size(), 1);
    EXPECT_EQ(positions.infos.first().value<PBColorBarPosition>(), PBColorBarPosition::right);

    pane.screenOptionPopupBtn->setCurrentIndex(2);
    pane.displayOptionChangeAction();
    EXPECT_TRUE(pane.screenPopupBtn->isEnabled());
    pane.screenOptionPopupBtn->setCurrentIndex(0);
    pane.displayOptionChangeAction();
    EXPECT_FALSE(pane.screenPopupBtn->isEnabled());
    EXPECT_EQ(options.infos.size(), 2);
}

TEST(AppearancePane, StoredValuesOutsideTheirRangeShowWhatTheBarDoes)
{
    PreferencesFixture fixture;
    Defaults::standard().setValue(QStringLiteral("colorBarSize"), qint64(7));
    Defaults::standard().setValue(QStringLiteral("hidePanelDuration"), QStringLiteral("never"));
    Defaults::standard().setValue(QStringLiteral("selectedScreenID"), qint64(1) << 40);
    CategoryPreferencesViewController pane;
    EXPECT_EQ(pane.sizePopUpBtn->currentIndex(), rawValue(PBColorBarSize::medium));
    EXPECT_EQ(pane.delayTextfield->lineEdit()->text(), "3");
    EXPECT_EQ(pane.screenPopupBtn->currentIndex(), -1);
    // A stale choice is checked against the screens there are now.
    pane.screenPopupBtn->addItem(QStringLiteral("gone"), QVariant::fromValue(qint64(12345)));
    pane.screenPopupBtn->setCurrentIndex(pane.screenPopupBtn->count() - 1);
    pane.screenChangeAction();
    EXPECT_EQ(TaviSettings::shared().selectedScreenID(), qint64(1) << 40);
    EXPECT_EQ(pane.screenPopupBtn->currentIndex(), -1);
}

TEST(AppearancePane, ChoosingAScreenStoresItsNumber)
{
    PreferencesFixture fixture;
    CategoryPreferencesViewController pane;
    ASSERT_GE(pane.screenPopupBtn->count(), 1);
    pane.screenPopupBtn->setCurrentIndex(0);
    pane.screenChangeAction();
    EXPECT_EQ(TaviSettings::shared().selectedScreenID(), pane.screenPopupBtn->itemData(0).toLongLong());
    EXPECT_GT(TaviSettings::shared().selectedScreenID(), 0);
}
