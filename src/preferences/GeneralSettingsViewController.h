#pragma once
// The General tab: quick paste, launch at login, what the capture ignores (folders, files,
// images, white space, other devices' data, data above a size), plain-text copies, note autosave,
// the automatic clean-up and cleaning now, the copy sound, the text-recognition language and the
// root-folder access grant. Every control writes its setting at once; the controls are read from
// the settings again each time the pane is shown. GUI thread.

#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"

#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class ValueStepperField;

class GeneralSettingsViewController : public QWidget {
    Q_OBJECT
public:
    // The largest size limit, in either unit; beyond it the limit would never apply anyway.
    static constexpr double kMaximumDataSize = TaviSettings::ignoreDataSizeRange().highest;

    explicit GeneralSettingsViewController(QWidget *parent = nullptr);

    void reloadFromSettings();

    // Actions of the controls.
    void quickPasteBtnAction();
    void launchUpBtnAction();
    void ignoreDataSizeAction();
    void changeIgnoreDataSizeByTexfield(bool editingFinished);
    void changeIgnoreDataSizeByStepper(double value);
    void changeIgnoreDataSizeType();
    void changeTextStyleAction();
    void lastHistoryClearTypeChangedAction();
    void enableAutomaticCleanupAction();
    void lastNumbersTextChanged(bool editingFinished);
    void lastNumbersStepperAction(double value);
    void clearKeepLastAction();
    void changeOCRLanguage();
    void helpBtnAction();
    void configAllowAccessAction();
    void disableQuickPasteHandler();

    // Asks for a folder (the root folder offered); none when cancelled. A dialog unless replaced (tests).
    std::function<std::optional<QString>(const QString &rootPath)> chooseFolder;

    QCheckBox *quickPasteBtn = nullptr;
    QCheckBox *launchUpBtn = nullptr;
    QCheckBox *ignoreDirectoryBtn = nullptr;
    QCheckBox *ignoreFileBtn = nullptr;
    QCheckBox *ignoreImageBtn = nullptr;
    QCheckBox *ignoreWhiteSpaceBtn = nullptr;
    QCheckBox *ignoreDataFromOtherDevicesBtn = nullptr;
    QCheckBox *ignoreDataSizeBtn = nullptr;
    ValueStepperField *ignoreDataSizeTextfield = nullptr; // with its stepper
    QComboBox *dataSizeTypeBtn = nullptr;
    QCheckBox *textStyleBtn = nullptr;
    QCheckBox *autoSaveNoteBtn = nullptr;
    QComboBox *historyClearPopupBtn = nullptr;
    QCheckBox *enableAutoCleanBtn = nullptr;
    ValueStepperField *historyClearTextfield = nullptr; // with its stepper
    QPushButton *clearNowBtn = nullptr;
    QCheckBox *includeStickyBtn = nullptr;
    QCheckBox *includeNoteBtn = nullptr;
    QCheckBox *includeLockBtn = nullptr;
    QCheckBox *includeCustomBtn = nullptr;
    QCheckBox *checkboxEnableSound = nullptr;
    QComboBox *ocrLanguagePopUpBtn = nullptr;
    QWidget *grantPermissionBox = nullptr;
    QCheckBox *allowRootFolderAccessBtn = nullptr;

    // The name a recognition language is offered under: in its own language.
    static QString ocrLanguageTitle(const QString &code);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setSizeControlsEnabled(bool enabled);
    void storeDataSize(double size);

    ObserverBag m_observers;
};
