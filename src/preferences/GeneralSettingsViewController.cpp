#include "preferences/GeneralSettingsViewController.h"

#include "capture/TaviPBManager.h"
#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/KeyEventPoster.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"
#include "preferences/PaneLayout.h"
#include "preferences/ValueStepperField.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "shell/AppDelegate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <cmath>
#include <limits>

namespace {

QString trueFalse(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
QString onOff(bool value) { return value ? QStringLiteral("on") : QStringLiteral("off"); }

// A check box that writes one Bool setting and sends one event.
struct BoolSetting {
    QCheckBox *GeneralSettingsViewController::*box;
    bool (TaviSettings::*get)() const;
    void (TaviSettings::*set)(const bool &);
    const char *event;
    bool onOffValues; // "on"/"off" instead of "true"/"false"
};

const BoolSetting kBoolSettings[] = {
    {&GeneralSettingsViewController::ignoreDirectoryBtn, &TaviSettings::ignoreDirectory,
     &TaviSettings::setIgnoreDirectory, "Setting_ignoreDirectory_change", false},
    {&GeneralSettingsViewController::ignoreFileBtn, &TaviSettings::ignoreFile, &TaviSettings::setIgnoreFile,
     "Setting_ignoreFile_change", false},
    {&GeneralSettingsViewController::ignoreImageBtn, &TaviSettings::ignoreImage, &TaviSettings::setIgnoreImage,
     "Setting_ignoreImage_change", false},
    {&GeneralSettingsViewController::ignoreWhiteSpaceBtn, &TaviSettings::ignoreWhiteSpace,
     &TaviSettings::setIgnoreWhiteSpace, "Setting_ignoreWhiteSpace_change", false},
    {&GeneralSettingsViewController::ignoreDataFromOtherDevicesBtn, &TaviSettings::ignoreDataFromOtherDevices,
     &TaviSettings::setIgnoreDataFromOtherDevices, "Setting_ignoreDataFromOtherDevices_change", false},
    {&GeneralSettingsViewController::autoSaveNoteBtn, &TaviSettings::enableAutoSaveNote,
     &TaviSettings::setEnableAutoSaveNote, "Setting_enableAutoSaveNote_change", false},
    {&GeneralSettingsViewController::checkboxEnableSound, &TaviSettings::needPlaySound, &TaviSettings::setNeedPlaySound,
     "Settings_Sound", true},
    {&GeneralSettingsViewController::includeStickyBtn, &TaviSettings::autoCleanIncludeSticky,
     &TaviSettings::setAutoCleanIncludeSticky, "Settings_AutoCleanUp", true},
    {&GeneralSettingsViewController::includeNoteBtn, &TaviSettings::autoCleanIncludeNote,
     &TaviSettings::setAutoCleanIncludeNote, "Settings_AutoCleanUp", true},
    {&GeneralSettingsViewController::includeLockBtn, &TaviSettings::autoCleanIncludeLock,
     &TaviSettings::setAutoCleanIncludeLock, "Settings_AutoCleanUp", true},
    {&GeneralSettingsViewController::includeCustomBtn, &TaviSettings::autoCleanIncludeCustom,
     &TaviSettings::setAutoCleanIncludeCustom, "Settings_AutoCleanUp", true},
};

// The two Chinese scripts share one language name.
QString chineseTitle(const QString &code)
{
    if (code == QLatin1String("zh-Hans"))
        return QStringLiteral("简体中文");
    if (code == QLatin1String("zh-Hant"))
        return QStringLiteral("繁體中文");
    return QString();
}

// Stores a count the user chose when the settings hold another one, or one they cannot read: the
// field then shows the initial count, and choosing it must make it the stored one.
void storeKeepLastCount(int count)
{
    TaviSettings &settings = TaviSettings::shared();
    if (count != settings.historyKeepLastCount() || settings.hasUnreadableHistoryKeepLastCount())
        settings.setHistoryKeepLastCount(count);
}

void updateDayChangedObserver()
{
    if (AppDelegate *delegate = AppDelegate::shared())
        delegate->updateDayChangedObserver();
}

} // namespace

QString GeneralSettingsViewController::ocrLanguageTitle(const QString &code)
{
    if (const QString chinese = chineseTitle(code); !chinese.isEmpty())
        return chinese;
    const QLocale locale(code);
    QString title = locale.language() == QLocale::C ? QString() : locale.nativeLanguageName();
    if (title.isEmpty())
        return code;
    title[0] = title.at(0).toUpper();
    return title;
}

GeneralSettingsViewController::GeneralSettingsViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("GeneralSettingsViewController"));
    chooseFolder = [this](const QString &rootPath) -> std::optional<QString> {
        QFileDialog dialog(this, L("Authorization.Title"), rootPath);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setLabelText(QFileDialog::Accept, L("Authorization.OK"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    };

    PaneLayout pane(this, PaneLayout::Labels::Inline);
    pane.section(L("Settings.General.Section.Behaviour"));
    quickPasteBtn = pane.checkBox(L("Settings.General.QuickPaste"), "quickPasteBtn");
    auto *helpButton = new QPushButton(L("Settings.General.QuickPasteHelp"), pane.content());
    helpButton->setObjectName(QStringLiteral("helpBtn"));
    helpButton->setFlat(true);
    helpButton->setCursor(Qt::PointingHandCursor);
    helpButton->setStyleSheet(
        QStringLiteral("QPushButton { color: palette(link); text-align: left; padding: 0 0 0 12px; border: none; }"));
    pane.row(QString(), helpButton);
    launchUpBtn = pane.checkBox(L("Settings.General.LaunchAtLogin"), "launchUpBtn");
    textStyleBtn = pane.checkBox(L("Settings.General.PlainText"), "textStyleBtn");
    autoSaveNoteBtn = pane.checkBox(L("Settings.General.AutoSaveNote"), "autoSaveNoteBtn");
    checkboxEnableSound = pane.checkBox(L("Settings.General.Sound"), "checkboxEnableSound");

    pane.section(L("Settings.General.Section.Ignore"));
    ignoreDirectoryBtn = pane.checkBox(L("Settings.General.IgnoreDirectory"), "ignoreDirectoryBtn");
    ignoreFileBtn = pane.checkBox(L("Settings.General.IgnoreFile"), "ignoreFileBtn");
    ignoreImageBtn = pane.checkBox(L("Settings.General.IgnoreImage"), "ignoreImageBtn");
    ignoreWhiteSpaceBtn = pane.checkBox(L("Settings.General.IgnoreWhiteSpace"), "ignoreWhiteSpaceBtn");
    ignoreDataFromOtherDevicesBtn =
        pane.checkBox(L("Settings.General.IgnoreOtherDevices"), "ignoreDataFromOtherDevicesBtn");
    ignoreDataSizeBtn = pane.checkBox(L("Settings.General.IgnoreDataSize"), "ignoreDataSizeBtn");
    {
        auto *holder = new QWidget(pane.content());
        auto *layout = new QHBoxLayout(holder);
        layout->setContentsMargins(24, 0, 0, 0);
        ignoreDataSizeTextfield = new ValueStepperField(ValueStepperField::Kind::Decimal, holder);
        ignoreDataSizeTextfield->setObjectName(QStringLiteral("ignoreDataSizeTextfield"));
        dataSizeTypeBtn = new QComboBox(holder);
        dataSizeTypeBtn->setObjectName(QStringLiteral("dataSizeTypeBtn"));
        dataSizeTypeBtn->addItem(L("Settings.General.Unit.KB"), 0);
        dataSizeTypeBtn->addItem(L("Settings.General.Unit.MB"), 1);
        layout->addWidget(ignoreDataSizeTextfield, 0, Qt::AlignTop);
        ignoreDataSizeTextfield->addAccessory(dataSizeTypeBtn);
        layout->addStretch(1);
        pane.row(QString(), holder);
    }

    pane.section(L("Settings.General.Section.Clean"));
    enableAutoCleanBtn = pane.checkBox(L("Settings.General.AutoClean"), "enableAutoCleanBtn");
    {
        auto *holder = new QWidget(pane.content());
        auto *layout = new QHBoxLayout(holder);
        layout->setContentsMargins(24, 0, 0, 0);
        historyClearTextfield = new ValueStepperField(ValueStepperField::Kind::Integer, holder);
        historyClearTextfield->setObjectName(QStringLiteral("historyClearTextfield"));
        historyClearPopupBtn = new QComboBox(holder);
        historyClearPopupBtn->setObjectName(QStringLiteral("historyClearPopupBtn"));
        historyClearPopupBtn->addItems({L("Settings.General.ClearType.Days"), L("Settings.General.ClearType.Items")});
        clearNowBtn = new QPushButton(L("Settings.General.CleanNow"), holder);
        clearNowBtn->setObjectName(QStringLiteral("clearNowBtn"));
        auto *keepLast = new QLabel(L("Settings.General.KeepLast"), holder);
        keepLast->setContentsMargins(0, 4, 0, 0);
        layout->addWidget(keepLast, 0, Qt::AlignTop);
        layout->addWidget(historyClearTextfield, 0, Qt::AlignTop);
        historyClearTextfield->addAccessory(historyClearPopupBtn);
        historyClearTextfield->addAccessory(clearNowBtn);
        layout->addStretch(1);
        pane.row(QString(), holder);
    }
    includeStickyBtn = pane.checkBox(L("Settings.General.IncludeSticky"), "includeStickyBtn", 1);
    includeNoteBtn = pane.checkBox(L("Settings.General.IncludeNote"), "includeNoteBtn", 1);
    includeLockBtn = pane.checkBox(L("Settings.General.IncludeLock"), "includeLockBtn", 1);
    includeCustomBtn = pane.checkBox(L("Settings.General.IncludeCustom"), "includeCustomBtn", 1);

    pane.section(L("Settings.General.Section.Recognition"));
    ocrLanguagePopUpBtn = pane.comboBox(L("Settings.General.OCRLanguage"), "ocrLanguagePopUpBtn", {});
    const QStringList languages = TaviUserDefaults::supportedOCRLanguages();
    for (int i = 0; i < languages.size(); ++i)
        ocrLanguagePopUpBtn->addItem(ocrLanguageTitle(languages.at(i)), i);

    grantPermissionBox = new QWidget(pane.content());
    grantPermissionBox->setObjectName(QStringLiteral("grantPermissionBox"));
    {
        auto *layout = new QHBoxLayout(grantPermissionBox);
        layout->setContentsMargins(0, 0, 0, 0);
        allowRootFolderAccessBtn =
            new QCheckBox(L("Settings.General.AllowRootFolderAccess").arg(authorizedRootPath()), grantPermissionBox);
        allowRootFolderAccessBtn->setObjectName(QStringLiteral("allowRootFolderAccessBtn"));
        layout->addWidget(allowRootFolderAccessBtn);
    }
    pane.section(L("Settings.General.Section.Access"));
    pane.row(QString(), grantPermissionBox);
    pane.finish();

    ignoreDataSizeTextfield->setRange(0, kMaximumDataSize);
    constexpr ValidRange<int> counts = TaviSettings::historyKeepLastCountRange();
    historyClearTextfield->setRange(counts.lowest, counts.highest);
    historyClearTextfield->setIncrement(1);

    for (const BoolSetting &setting : kBoolSettings) {
        QCheckBox *box = this->*setting.box;
        connect(box, &QCheckBox::clicked, this, [setting, box] {
            TaviSettings &settings = TaviSettings::shared();
            (settings.*setting.set)(box->isChecked());
            const bool stored = (settings.*setting.get)();
            Analytics::trackEvent(
                QString::fromLatin1(setting.event),
                {{QStringLiteral("enable"), setting.onOffValues ? onOff(stored) : trueFalse(stored)}});
        });
    }
    connect(quickPasteBtn, &QCheckBox::clicked, this, &GeneralSettingsViewController::quickPasteBtnAction);
    connect(helpButton, &QPushButton::clicked, this, &GeneralSettingsViewController::helpBtnAction);
    connect(launchUpBtn, &QCheckBox::clicked, this, &GeneralSettingsViewController::launchUpBtnAction);
    connect(ignoreDataSizeBtn, &QCheckBox::clicked, this, &GeneralSettingsViewController::ignoreDataSizeAction);
    connect(ignoreDataSizeTextfield, &ValueStepperField::textEdited, this,
            [this] { changeIgnoreDataSizeByTexfield(false); });
    connect(ignoreDataSizeTextfield, &ValueStepperField::editingFinished, this,
            [this] { changeIgnoreDataSizeByTexfield(true); });
    connect(ignoreDataSizeTextfield, &ValueStepperField::stepped, this,
            &GeneralSettingsViewController::changeIgnoreDataSizeByStepper);
    connect(dataSizeTypeBtn, &QComboBox::activated, this, &GeneralSettingsViewController::changeIgnoreDataSizeType);
    connect(textStyleBtn, &QCheckBox::clicked, this, &GeneralSettingsViewController::changeTextStyleAction);
    connect(historyClearPopupBtn, &QComboBox::activated, this,
            &GeneralSettingsViewController::lastHistoryClearTypeChangedAction);
    connect(enableAutoCleanBtn, &QCheckBox::clicked, this,
            &GeneralSettingsViewController::enableAutomaticCleanupAction);
    connect(historyClearTextfield, &ValueStepperField::textEdited, this, [this] { lastNumbersTextChanged(false); });
    connect(historyClearTextfield, &ValueStepperField::editingFinished, this, [this] { lastNumbersTextChanged(true); });
    connect(historyClearTextfield, &ValueStepperField::stepped, this,
            &GeneralSettingsViewController::lastNumbersStepperAction);
    connect(clearNowBtn, &QPushButton::clicked, this, &GeneralSettingsViewController::clearKeepLastAction);
    connect(ocrLanguagePopUpBtn, &QComboBox::activated, this, &GeneralSettingsViewController::changeOCRLanguage);
    connect(allowRootFolderAccessBtn, &QCheckBox::clicked, this,
            &GeneralSettingsViewController::configAllowAccessAction);

    m_observers.observe(NotificationName::disableQuickPaste,
                        [this](const Notification &) { disableQuickPasteHandler(); });
    reloadFromSettings();
}

void GeneralSettingsViewController::showEvent(QShowEvent *event)
{
    reloadFromSettings();
    QWidget::showEvent(event);
}

void GeneralSettingsViewController::reloadFromSettings()
{
    TaviSettings &settings = TaviSettings::shared();
    for (const BoolSetting &setting : kBoolSettings)
        (this->*setting.box)->setChecked((settings.*setting.get)());
    launchUpBtn->setChecked(settings.isAutoLaunch());
    textStyleBtn->setChecked(settings.alwaysCopyPlainText());
    quickPasteBtn->setChecked(settings.quickPasteEnable());
    enableAutoCleanBtn->setChecked(settings.enableAutoCleanHistory());
    historyClearTextfield->setValue(std::max(1, settings.historyKeepLastCount()));
    historyClearPopupBtn->setCurrentIndex(rawValue(settings.clearType()));

    const bool bySize = settings.ignoreDataSizeMoreThan();
    ignoreDataSizeBtn->setChecked(bySize);
    const double size = settings.ignoreDataSize();
    ignoreDataSizeTextfield->setValue(std::isfinite(size) ? std::clamp(size, 0.0, kMaximumDataSize) : 1.0);
    const bool megabytes = settings.ignoreDataSizeType() != IgnoreDataSizeType::kb;
    dataSizeTypeBtn->setCurrentIndex(megabytes ? 1 : 0);
    ignoreDataSizeTextfield->setIncrement(megabytes ? 0.1 : 1.0);
    setSizeControlsEnabled(bySize);

    allowRootFolderAccessBtn->setChecked(TPBookMarkCacher::shared().hasBookMark(authorizedRootPath()));
    grantPermissionBox->setVisible(!TaviSettings::shared().isIRM());
    const int language = TaviUserDefaults::supportedOCRLanguages().indexOf(TaviSettings::selectedOCRLanguage());
    ocrLanguagePopUpBtn->setCurrentIndex(language);
}

void GeneralSettingsViewController::setSizeControlsEnabled(bool enabled)
{
    ignoreDataSizeTextfield->setEnabled(enabled);
    dataSizeTypeBtn->setEnabled(enabled);
}

// --- Quick paste and launch at login

void GeneralSettingsViewController::quickPasteBtnAction()
{
    const bool on = quickPasteBtn->isChecked();
    if (on && !AccessibilityTrust::shared().isProcessTrusted(true)) {
        LOG_DEBUG("quickPasteBtnAction(_:)", QStringLiteral("Please allow accessibility API access to this app."));
        AccessibilityPermissionWindowController::shared().present();
    }
    TaviSettings::shared().setQuickPasteEnable(on);
    Analytics::trackEvent(QStringLiteral("Setting_quickPaste_change"), {{QStringLiteral("enable"), trueFalse(on)}});
}

void GeneralSettingsViewController::disableQuickPasteHandler() { quickPasteBtn->setChecked(false); }

void GeneralSettingsViewController::launchUpBtnAction()
{
    const bool wanted = launchUpBtn->isChecked();
    TaviSettings &settings = TaviSettings::shared();
    const bool before = settings.isAutoLaunch();
    LoginItem::Result result{false, L("Settings.General.LaunchAtLogin.NoApplication")};
    if (AppDelegate *delegate = AppDelegate::shared())
        result = delegate->setLaunchAtLogin(wanted);
    if (!result.matches) {
        // The box and the setting say what is true, and the user learns why.
        settings.setIsAutoLaunch(before);
        launchUpBtn->setChecked(before);
        showAlert(L("Settings.General.LaunchAtLogin.Failed.title"), result.error, L("Category.Alert.OK"), std::nullopt,
                  nullptr, AlertStyle::warning);
        return;
    }
    settings.setIsAutoLaunch(wanted);
    Analytics::trackEvent(QStringLiteral("Setting_autoLaunch_change"),
                          {{QStringLiteral("enable"), trueFalse(settings.isAutoLaunch())}});
}

// --- Size limit

void GeneralSettingsViewController::ignoreDataSizeAction()
{
    const bool on = ignoreDataSizeBtn->isChecked();
    TaviSettings::shared().setIgnoreDataSizeMoreThan(on);
    Analytics::trackEvent(QStringLiteral("Setting_ignoreDataSizeMoreThan_change"),
                          {{QStringLiteral("enable"), trueFalse(TaviSettings::shared().ignoreDataSizeMoreThan())}});
    setSizeControlsEnabled(on);
}

void GeneralSettingsViewController::storeDataSize(double size)
{
    if (std::isfinite(size) && size >= 0 && size <= kMaximumDataSize)
        TaviSettings::shared().setIgnoreDataSize(size);
}

void GeneralSettingsViewController::changeIgnoreDataSizeByTexfield(bool editingFinished)
{
    const std::optional<double> typed = ignoreDataSizeTextfield->typedValue();
    const QString reason = L("Settings.Field.NumberRange").arg(0).arg(kMaximumDataSize, 0, 'f', 0);
    if (!typed || *typed < 0 || *typed > kMaximumDataSize) {
        // Nothing is stored; when editing ends the limit from before the edit comes back.
        if (editingFinished) {
            const double previous = ignoreDataSizeTextfield->lastSetValue();
            ignoreDataSizeTextfield->setValue(previous);
            ignoreDataSizeTextfield->showRefusal(reason);
            storeDataSize(previous);
        } else if (!ignoreDataSizeTextfield->lineEdit()->text().trimmed().isEmpty()) {
            ignoreDataSizeTextfield->showRefusal(reason);
        }
        return;
    }
    if (editingFinished)
        ignoreDataSizeTextfield->acceptTypedValue(*typed);
    else
        ignoreDataSizeTextfield->showRefusal(QString());
    storeDataSize(*typed);
}

void GeneralSettingsViewController::changeIgnoreDataSizeByStepper(double value) { storeDataSize(value); }

void GeneralSettingsViewController::changeIgnoreDataSizeType()
{
    const int tag = dataSizeTypeBtn->currentData().toInt();
    TaviSettings::shared().setIgnoreDataSizeType(tag == 1 ? IgnoreDataSizeType::mb : IgnoreDataSizeType::kb);
    ignoreDataSizeTextfield->setIncrement(tag == 1 ? 0.1 : 1.0);
    Analytics::trackEvent(QStringLiteral("Setting_ignoreDataSizeType_change"),
                          {{QStringLiteral("type"), QString::number(tag)}});
}

// --- Text style

void GeneralSettingsViewController::changeTextStyleAction()
{
    TaviSettings::shared().setAlwaysCopyPlainText(textStyleBtn->isChecked());
    Analytics::trackEvent(QStringLiteral("Settings_TextStyle"),
                          {{QStringLiteral("style"), trueFalse(textStyleBtn->isChecked())}});
}

// --- Auto-clean

void GeneralSettingsViewController::lastHistoryClearTypeChangedAction()
{
    const bool items = historyClearPopupBtn->currentIndex() == 1;
    TaviSettings::shared().setClearType(items ? PBHistoryClearType::items : PBHistoryClearType::days);
    Analytics::trackEvent(QStringLiteral("Settings_historyClearType"),
                          {{QStringLiteral("option"), items ? QStringLiteral("1") : QStringLiteral("0")}});
    // The day-change observer runs only for the days rule.
    updateDayChangedObserver();
}

void GeneralSettingsViewController::enableAutomaticCleanupAction()
{
    TaviSettings::shared().setEnableAutoCleanHistory(enableAutoCleanBtn->isChecked());
    Analytics::trackEvent(QStringLiteral("Setting_enableAutoCleanHistory_change"),
                          {{QStringLiteral("enable"), trueFalse(TaviSettings::shared().enableAutoCleanHistory())}});
    updateDayChangedObserver();
}

void GeneralSettingsViewController::lastNumbersTextChanged(bool editingFinished)
{
    constexpr ValidRange<int> counts = TaviSettings::historyKeepLastCountRange();
    constexpr double minimum = counts.lowest;
    constexpr double maximum = counts.highest;
    const std::optional<double> typed = historyClearTextfield->typedValue();
    const QString range = L("Settings.Field.WholeNumberRange").arg(counts.lowest).arg(counts.highest);
    if (!typed || *typed != std::trunc(*typed)) {
        if (editingFinished) {
            const int previous = int(std::clamp(historyClearTextfield->lastSetValue(), minimum, maximum));
            historyClearTextfield->setValue(previous);
            historyClearTextfield->showRefusal(range);
            storeKeepLastCount(previous);
        }
        return;
    }
    const double count = std::clamp(*typed, minimum, maximum);
    if (count != *typed) {
        historyClearTextfield->setValue(count);
        historyClearTextfield->showRefusal(range);
    } else if (editingFinished) {
        historyClearTextfield->acceptTypedValue(count);
    } else {
        historyClearTextfield->showRefusal(QString());
    }
    storeKeepLastCount(int(count));
}

void GeneralSettingsViewController::lastNumbersStepperAction(double value)
{
    TaviSettings::shared().setHistoryKeepLastCount(int(value));
}

void GeneralSettingsViewController::clearKeepLastAction()
{
    // What the field shows when it is a count, else the stored one.
    const std::optional<qint64> typed = historyClearTextfield->typedInteger();
    const qint64 count = typed && *typed >= 1 ? *typed : std::max(1, TaviSettings::shared().historyKeepLastCount());
    const bool items = TaviSettings::shared().clearType() == PBHistoryClearType::items;
    const bool singular = count < 2;
    const char *unit = items
                           ? (singular ? "Settings.General.Unit.Items.singular" : "Settings.General.Unit.Items.plural")
                           : (singular ? "Settings.General.Unit.Days.singular" : "Settings.General.Unit.Days.plural");
    showDestructiveAlert(L("Category.Alert.Warning.title"),
                         L("Category.Alert.CategoryItemsClearLast.message").arg(QString::number(count), L(unit)),
                         L("Category.Alert.YES"), L("Category.Alert.NO"), nullptr, [](ModalResponse response) {
                             if (response != ModalResponse::alertFirstButtonReturn)
                                 return;
                             if (AppDelegate *delegate = AppDelegate::shared())
                                 delegate->pbManager.autoCleanHistoryInBackground();
                         });
}

// --- Recognition language, help, folder access

void GeneralSettingsViewController::changeOCRLanguage()
{
    const QStringList languages = TaviUserDefaults::supportedOCRLanguages();
    const int index = ocrLanguagePopUpBtn->currentIndex();
    if (index >= 0 && index < languages.size())
        TaviSettings::setSelectedOCRLanguage(languages.at(index));
}

void GeneralSettingsViewController::helpBtnAction()
{
    Analytics::trackEvent(QStringLiteral("ClickQuickPasteHelp"),
                          {{QStringLiteral("source"), QStringLiteral("Preference_page")}});
    const QUrl url(L("Server.Page.Quickpastehelp"), QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty())
        Workspace::shared().openUrl(url);
}

void GeneralSettingsViewController::configAllowAccessAction()
{
    const QString root = authorizedRootPath();
    if (!allowRootFolderAccessBtn->isChecked()) {
        TPBookMarkCacher::shared().remove(root);
        return;
    }
    const std::optional<QString> chosen = chooseFolder ? chooseFolder(root) : std::nullopt;
    if (chosen && QDir::cleanPath(*chosen) == QDir::cleanPath(root)) {
        TPBookMarkCacher::shared().store({QUrl::fromLocalFile(root)});
        return;
    }
    allowRootFolderAccessBtn->setChecked(false);
}
