#include "preferences/CategoryPreferencesViewController.h"

#include "core/NotificationPayloads.h"
#include "core/ScreenExtensions.h"
#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "preferences/PaneLayout.h"
#include "preferences/ValueStepperField.h"
#include "shell/AppDelegate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include <cmath>

namespace {

QString onOff(bool value) { return value ? QStringLiteral("on") : QStringLiteral("off"); }
QString trueFalse(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

void post(const QString &name, const QVariantMap &userInfo)
{
    NotificationCenter::defaultCenter().post(name, nullptr, userInfo);
}

// How a screen is told apart in the list: its connector and, when known, its model.
QString screenTitle(const QScreen *screen)
{
    const QString model = QString(screen->manufacturer() + QLatin1Char(' ') + screen->model()).trimmed();
    if (model.isEmpty() || model == screen->name())
        return screen->name();
    return QStringLiteral("%1 (%2)").arg(screen->name(), model);
}

} // namespace

CategoryPreferencesViewController::CategoryPreferencesViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CategoryPreferencesViewController"));
    PaneLayout pane(this);

    pane.section(L("Settings.Apperance.Section.ColorBar"));
    sizePopUpBtn = pane.comboBox(L("Settings.Apperance.Size"), "sizePopUpBtn",
                                 {L("Settings.Category.Apperance.ColorBarSize.Large"),
                                  L("Settings.Category.Apperance.ColorBarSize.Medium"),
                                  L("Settings.Category.Apperance.ColorBarSize.Small")});
    appearancePopUpBtn = pane.comboBox(L("Settings.Apperance.Appearance"), "appearancePopUpBtn",
                                       {L("Settings.Category.Apperance.ColorBarAppearance.Right"),
                                        L("Settings.Category.Apperance.ColorBarAppearance.Rounded")});
    positionPopUpBtn = pane.comboBox(L("Settings.Apperance.Position"), "positionPopUpBtn",
                                     {L("Settings.Category.Apperance.ColorBarPosition.Left"),
                                      L("Settings.Category.Apperance.ColorBarPosition.Right")});
    screenOptionPopupBtn =
        pane.comboBox(L("Settings.Apperance.ScreenOption"), "screenOptionPopupBtn",
                      {L("Settings.Apperance.ScreenOption.Initial"), L("Settings.Apperance.ScreenOption.Active"),
                       L("Settings.Apperance.ScreenOption.Specific")});
    screenPopupBtn = pane.comboBox(L("Settings.Apperance.Screen"), "screenPopupBtn", {});
    autoHideBtn = pane.checkBox(L("Settings.Apperance.AutoHide"), "autoHideBtn");
    delayTextfield = pane.stepperField(L("Settings.Apperance.HideDelay"), "delayTextfield",
                                       ValueStepperField::Kind::Decimal, L("Settings.Apperance.Seconds"));
    showWhenEnteredBtn = pane.checkBox(L("Settings.Apperance.ShowWhenEntered"), "showWhenEnteredBtn", 1);
    showWhenEnteredFullscreenBtn =
        pane.checkBox(L("Settings.Apperance.ShowWhenFullscreen"), "showWhenEnteredFullscreenBtn");
    animateWhenAddItemBtn = pane.checkBox(L("Settings.Apperance.AnimateWhenAdd"), "animateWhenAddItemBtn");

    pane.section(L("Settings.Apperance.Section.List"));
    autoHideWindowBtn = pane.checkBox(L("Settings.Apperance.AutoHideWindow"), "autoHideWindowBtn");
    liteModeBtn = pane.checkBox(L("Settings.Apperance.LiteMode"), "liteModeBtn");
    checkboxEnableHUD = pane.checkBox(L("Settings.Apperance.ShowHUD"), "checkboxEnableHUD");

    pane.section(L("Settings.Apperance.Section.Menu"));
    displayMenuBarBtn = pane.checkBox(L("Settings.Apperance.DisplayMenuBarButton"), "displayMenuBarBtn");
    historyCapacityTextfield = pane.stepperField(L("Settings.Apperance.HistoryCapacity"), "historyCapacityTextfield",
                                                 ValueStepperField::Kind::Integer, L("Settings.Apperance.Items"));
    pane.finish();

    connect(autoHideBtn, &QCheckBox::clicked, this, &CategoryPreferencesViewController::autoHideBtnAction);
    connect(autoHideWindowBtn, &QCheckBox::clicked, this, &CategoryPreferencesViewController::hideWindowBtnAction);
    connect(displayMenuBarBtn, &QCheckBox::clicked, this,
            &CategoryPreferencesViewController::displayMenuBarButtonAction);
    connect(showWhenEnteredBtn, &QCheckBox::clicked, this,
            &CategoryPreferencesViewController::showWhenMouseEnteredAction);
    connect(showWhenEnteredFullscreenBtn, &QCheckBox::clicked, this,
            &CategoryPreferencesViewController::showColorBarWhenEnterFullscreenAction);
    connect(animateWhenAddItemBtn, &QCheckBox::clicked, this,
            &CategoryPreferencesViewController::animateWhenAddItemAction);
    connect(liteModeBtn, &QCheckBox::clicked, this, &CategoryPreferencesViewController::enableLiteModeAction);
    connect(checkboxEnableHUD, &QCheckBox::clicked, this, &CategoryPreferencesViewController::needShowHUDBtnAction);
    connect(appearancePopUpBtn, &QComboBox::activated, this, &CategoryPreferencesViewController::appearanceBtnAction);
    connect(sizePopUpBtn, &QComboBox::activated, this, &CategoryPreferencesViewController::sizeChangeBtnAction);
    connect(positionPopUpBtn, &QComboBox::activated, this, &CategoryPreferencesViewController::positionChangeAction);
    connect(screenOptionPopupBtn, &QComboBox::activated, this,
            &CategoryPreferencesViewController::displayOptionChangeAction);
    connect(screenPopupBtn, &QComboBox::activated, this, &CategoryPreferencesViewController::screenChangeAction);
    connect(historyCapacityTextfield, &ValueStepperField::textEdited, this, [this] { capacityTextChanged(false); });
    connect(historyCapacityTextfield, &ValueStepperField::editingFinished, this, [this] { capacityTextChanged(true); });
    connect(historyCapacityTextfield, &ValueStepperField::stepped, this,
            &CategoryPreferencesViewController::capacityStepperAction);
    connect(delayTextfield, &ValueStepperField::editingFinished, this,
            &CategoryPreferencesViewController::delayTextChanged);
    connect(delayTextfield, &ValueStepperField::stepped, this,
            &CategoryPreferencesViewController::delayChangeStepperAction);

    // Displays come and go while the window is open.
    const auto watchScreen = [this](QScreen *screen) {
        connect(screen, &QScreen::geometryChanged, this, &CategoryPreferencesViewController::reloadScreenList);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watchScreen(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen *screen) {
        watchScreen(screen);
        reloadScreenList();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] {
        // The removed screen is still listed while this signal runs.
        QMetaObject::invokeMethod(this, &CategoryPreferencesViewController::reloadScreenList, Qt::QueuedConnection);
    });
    reloadFromSettings();
}

void CategoryPreferencesViewController::showEvent(QShowEvent *event)
{
    reloadFromSettings();
    QWidget::showEvent(event);
}

int CategoryPreferencesViewController::maximumCapacity() const
{
    return std::clamp(TaviSettings::shared().menuHistoryMaxCapacity(), 1, 9);
}

double CategoryPreferencesViewController::maximumDelay() const
{
    const double stored = TaviSettings::shared().hideColorBarMaxDuration();
    return std::isfinite(stored) && stored >= 1 ? std::min(stored, 3600.0) : 10.0;
}

void CategoryPreferencesViewController::reloadFromSettings()
{
    TaviSettings &settings = TaviSettings::shared();
    historyCapacityTextfield->setRange(1, maximumCapacity());
    displayMenuBarBtn->setChecked(settings.displayMenuBarButton());
    historyCapacityTextfield->setValue(std::clamp(settings.menuHistoryCapacity(), 1, maximumCapacity()));
    const bool autoHide = settings.needAutoHideColorBar();
    autoHideBtn->setChecked(autoHide);
    showWhenEnteredBtn->setChecked(settings.needShowWhenMouseEntered());
    showWhenEnteredFullscreenBtn->setChecked(settings.needShowWhenEnterFullscreen());
    autoHideWindowBtn->setChecked(settings.needAutoHideWindow());
    showWhenEnteredBtn->setEnabled(autoHide);
    showWhenEnteredFullscreenBtn->setEnabled(true);
    animateWhenAddItemBtn->setChecked(settings.animateWhenAddItem());
    delayTextfield->setEnabled(autoHide);
    delayTextfield->setRange(1, maximumDelay());
    delayTextfield->setIncrement(1);
    const double delay = settings.hideColorBarDuration();
    delayTextfield->setValue(std::isfinite(delay) ? std::clamp(delay, 1.0, maximumDelay()) : 3.0);
    appearancePopUpBtn->setCurrentIndex(rawValue(settings.barAppearance()));
    // An unknown stored size reads as the size the bar draws for it.
    sizePopUpBtn->setCurrentIndex(rawValue(settings.barSize()));
    positionPopUpBtn->setCurrentIndex(rawValue(settings.barPosition()));
    screenOptionPopupBtn->setCurrentIndex(rawValue(settings.barScreenOption()));
    reloadScreenList();
    screenPopupBtn->setEnabled(settings.barScreenOption() == PBColorBarDisplayScreenOption::specific);
    checkboxEnableHUD->setChecked(settings.needShowHUD());
    liteModeBtn->setChecked(settings.enableLiteMode());
}

void CategoryPreferencesViewController::reloadScreenList()
{
    screenPopupBtn->clear();
    for (QScreen *screen : QGuiApplication::screens())
        screenPopupBtn->addItem(screenTitle(screen), QVariant::fromValue(qint64(screenNumber(screen))));
    const qint64 stored = TaviSettings::shared().selectedScreenID();
    const bool inRange = stored > 0 && stored <= qint64(std::numeric_limits<quint32>::max());
    screenPopupBtn->setCurrentIndex(inRange ? indexOfScreenNumber(quint32(stored)) : -1);
}

// --- Check boxes

void CategoryPreferencesViewController::autoHideBtnAction()
{
    const bool on = autoHideBtn->isChecked();
    delayTextfield->setEnabled(on);
    TaviSettings::shared().setNeedAutoHideColorBar(on);
    showWhenEnteredBtn->setEnabled(on);
    showWhenEnteredFullscreenBtn->setEnabled(true);
    post(NotificationName::colorBarAutoHideSwitch,
         NotificationPayload::ColorBarSwitch::encode(TaviSettings::shared().needAutoHideColorBar()));
}

void CategoryPreferencesViewController::hideWindowBtnAction()
{
    TaviSettings::shared().setNeedAutoHideWindow(autoHideWindowBtn->isChecked());
    Analytics::trackEvent(QStringLiteral("Setting_autoHideWindow_change"),
                          {{QStringLiteral("enable"), trueFalse(TaviSettings::shared().needAutoHideWindow())}});
}

void CategoryPreferencesViewController::displayMenuBarButtonAction()
{
    TaviSettings::shared().setDisplayMenuBarButton(displayMenuBarBtn->isChecked());
    Analytics::trackEvent(QStringLiteral("Setting_displayMenuBarButton_change"),
                          {{QStringLiteral("enable"), trueFalse(TaviSettings::shared().displayMenuBarButton())}});
    if (AppDelegate *delegate = AppDelegate::shared())
        delegate->updateStatusItem();
}

void CategoryPreferencesViewController::showWhenMouseEnteredAction()
{
    TaviSettings::shared().setNeedShowWhenMouseEntered(showWhenEnteredBtn->isChecked());
    post(NotificationName::colorBarShowWhenMouseEntered,
         NotificationPayload::ColorBarSwitch::encode(TaviSettings::shared().needShowWhenMouseEntered()));
}

void CategoryPreferencesViewController::showColorBarWhenEnterFullscreenAction()
{
    TaviSettings::shared().setNeedShowWhenEnterFullscreen(showWhenEnteredFullscreenBtn->isChecked());
    post(NotificationName::colorBarShowWhenEnteredFullscreen,
         NotificationPayload::ColorBarSwitch::encode(TaviSettings::shared().needShowWhenEnterFullscreen()));
}

void CategoryPreferencesViewController::animateWhenAddItemAction()
{
    TaviSettings::shared().setAnimateWhenAddItem(animateWhenAddItemBtn->isChecked());
}

void CategoryPreferencesViewController::enableLiteModeAction()
{
    TaviSettings::shared().setEnableLiteMode(liteModeBtn->isChecked());
    Analytics::trackEvent(QStringLiteral("Settings_LiteMode"),
                          {{QStringLiteral("enable"), onOff(TaviSettings::shared().enableLiteMode())}});
    NotificationCenter::defaultCenter().post(NotificationName::categoryListLiteModeChanged);
}

void CategoryPreferencesViewController::needShowHUDBtnAction()
{
    TaviSettings::shared().setNeedShowHUD(checkboxEnableHUD->isChecked());
    Analytics::trackEvent(QStringLiteral("Settings_HUD"),
                          {{QStringLiteral("enable"), onOff(TaviSettings::shared().needShowHUD())}});
}

// --- Pop-ups

void CategoryPreferencesViewController::appearanceBtnAction()
{
    const auto value =
        fromRawValue<PBColorBarAppearance>(appearancePopUpBtn->currentIndex()).value_or(PBColorBarAppearance::right);
    TaviSettings::shared().setBarAppearance(value);
    post(NotificationName::colorBarAppearanceChanged, NotificationPayload::ColorBarAppearance::encode(value));
    Analytics::trackEvent(QStringLiteral("Settings_BarAppearance"),
                          {{QStringLiteral("appearance"), QString::number(rawValue(value))}});
}

void CategoryPreferencesViewController::sizeChangeBtnAction()
{
    const auto value = fromRawValue<PBColorBarSize>(sizePopUpBtn->currentIndex()).value_or(PBColorBarSize::medium);
    TaviSettings::shared().setBarSize(value);
    post(NotificationName::colorBarSizeChanged, NotificationPayload::ColorBarSize::encode(value));
    Analytics::trackEvent(QStringLiteral("Settings_BarSize"),
                          {{QStringLiteral("size"), QString::number(rawValue(value))}});
}

void CategoryPreferencesViewController::positionChangeAction()
{
    const auto value =
        fromRawValue<PBColorBarPosition>(positionPopUpBtn->currentIndex()).value_or(PBColorBarPosition::left);
    TaviSettings::shared().setBarPosition(value);
    post(NotificationName::colorBarPositionChanged, NotificationPayload::ColorBarPosition::encode(value));
    Analytics::trackEvent(QStringLiteral("Settings_BarPosition"),
                          {{QStringLiteral("position"), QString::number(rawValue(value))}});
}

void CategoryPreferencesViewController::displayOptionChangeAction()
{
    const auto value = fromRawValue<PBColorBarDisplayScreenOption>(screenOptionPopupBtn->currentIndex())
                           .value_or(PBColorBarDisplayScreenOption::initial);
    TaviSettings::shared().setBarScreenOption(value);
    screenPopupBtn->setEnabled(value == PBColorBarDisplayScreenOption::specific);
    post(NotificationName::colorBarScreenOptionChanged, NotificationPayload::ColorBarScreenOption::encode(value));
    Analytics::trackEvent(QStringLiteral("Settings_BarScreenOption"),
                          {{QStringLiteral("option"), QString::number(rawValue(value))}});
}

void CategoryPreferencesViewController::screenChangeAction()
{
    // The list may be older than the screens: the chosen entry names its screen by number.
    const QVariant chosen = screenPopupBtn->currentData();
    const QList<QScreen *> screens = QGuiApplication::screens();
    const int index = chosen.isValid() ? indexOfScreenNumber(quint32(chosen.toLongLong())) : -1;
    if (index < 0 || index >= screens.size()) {
        reloadScreenList();
        return;
    }
    TaviSettings::shared().setSelectedScreenID(screenNumber(screens.at(index)));
    // The bar reads the chosen screen afresh when the screen option is announced.
    post(NotificationName::colorBarScreenOptionChanged,
         NotificationPayload::ColorBarScreenOption::encode(TaviSettings::shared().barScreenOption()));
}

// --- History capacity

void CategoryPreferencesViewController::storeCapacity(int capacity)
{
    TaviSettings &settings = TaviSettings::shared();
    settings.setMenuHistoryCapacity(capacity);
    // The digit keys follow the number of recent items at once.
    if (settings.enableQuickSelection())
        if (AppDelegate *delegate = AppDelegate::shared())
            delegate->requestQuickSelectionRefresh();
}

void CategoryPreferencesViewController::capacityTextChanged(bool editingFinished)
{
    const int maximum = maximumCapacity();
    const std::optional<double> typed = historyCapacityTextfield->typedValue();
    if (!typed || *typed != std::trunc(*typed)) {
        // Half-typed text waits; text left at the end of editing is refused and the count from
        // before the edit comes back.
        if (editingFinished) {
            const int previous = std::clamp(int(historyCapacityTextfield->lastSetValue()), 1, maximum);
            historyCapacityTextfield->setValue(previous);
            historyCapacityTextfield->showRefusal(L("Settings.Field.WholeNumberRange").arg(1).arg(maximum));
            if (previous != TaviSettings::shared().menuHistoryCapacity())
                storeCapacity(previous);
        }
        return;
    }
    const int capacity = int(std::clamp(*typed, 1.0, double(maximum)));
    if (capacity != *typed) {
        historyCapacityTextfield->setValue(capacity);
        historyCapacityTextfield->showRefusal(L("Settings.Field.Corrected").arg(1).arg(maximum));
    } else if (editingFinished) {
        historyCapacityTextfield->acceptTypedValue(capacity);
    } else {
        historyCapacityTextfield->showRefusal(QString());
    }
    if (capacity != TaviSettings::shared().menuHistoryCapacity())
        storeCapacity(capacity);
}

void CategoryPreferencesViewController::capacityStepperAction(double value) { storeCapacity(int(value)); }

// --- Hide delay

void CategoryPreferencesViewController::storeDelay(double seconds)
{
    TaviSettings::shared().setHideColorBarDuration(seconds);
    post(NotificationName::colorBarDelayChanged,
         NotificationPayload::ColorBarDelay::encode(TaviSettings::shared().hideColorBarDuration()));
}

void CategoryPreferencesViewController::delayTextChanged()
{
    const double maximum = maximumDelay();
    const std::optional<double> typed = delayTextfield->typedValue();
    if (!typed) {
        delayTextfield->setValue(std::clamp(TaviSettings::shared().hideColorBarDuration(), 1.0, maximum));
        delayTextfield->showRefusal(L("Settings.Field.NumberRange").arg(1).arg(maximum));
        return;
    }
    const double seconds = std::clamp(*typed, 1.0, maximum);
    if (seconds != *typed) {
        delayTextfield->setValue(seconds);
        delayTextfield->showRefusal(L("Settings.Field.Corrected").arg(1).arg(maximum));
    } else {
        delayTextfield->showRefusal(QString());
    }
    storeDelay(seconds);
}

void CategoryPreferencesViewController::delayChangeStepperAction(double value)
{
    if (!autoHideBtn->isChecked())
        return;
    storeDelay(value);
}
