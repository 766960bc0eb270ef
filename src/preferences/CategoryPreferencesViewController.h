#pragma once
// The Appearance tab: the color bar's look, edge, screen and hiding, the history list's
// auto-hide and lite mode, the feedback HUD, the status icon and the number of recent items.
// Every control writes its setting at once and posts the notification its users observe; the
// controls are read from the settings again each time the pane is shown. GUI thread.

#include <QWidget>

class QCheckBox;
class QComboBox;
class ValueStepperField;

class CategoryPreferencesViewController : public QWidget {
    Q_OBJECT
public:
    explicit CategoryPreferencesViewController(QWidget *parent = nullptr);

    // Sets every control from the settings.
    void reloadFromSettings();
    // Rebuilds the screen list and selects the stored screen (nothing when it is not connected).
    void reloadScreenList();

    // Actions of the controls.
    void autoHideBtnAction();
    void hideWindowBtnAction();
    void displayMenuBarButtonAction();
    void capacityTextChanged(bool editingFinished);
    void capacityStepperAction(double value);
    void showWhenMouseEnteredAction();
    void showColorBarWhenEnterFullscreenAction();
    void delayTextChanged();
    void delayChangeStepperAction(double value);
    void animateWhenAddItemAction();
    void appearanceBtnAction();
    void sizeChangeBtnAction();
    void positionChangeAction();
    void displayOptionChangeAction();
    void screenChangeAction();
    void enableLiteModeAction();
    void needShowHUDBtnAction();

    QCheckBox *autoHideBtn = nullptr;
    QCheckBox *showWhenEnteredBtn = nullptr;
    QCheckBox *showWhenEnteredFullscreenBtn = nullptr;
    ValueStepperField *delayTextfield = nullptr; // with its stepper
    QComboBox *sizePopUpBtn = nullptr;
    QComboBox *appearancePopUpBtn = nullptr;
    QComboBox *positionPopUpBtn = nullptr;
    QComboBox *screenOptionPopupBtn = nullptr;
    QComboBox *screenPopupBtn = nullptr;
    QCheckBox *checkboxEnableHUD = nullptr;
    QCheckBox *liteModeBtn = nullptr;
    QCheckBox *animateWhenAddItemBtn = nullptr;
    QCheckBox *autoHideWindowBtn = nullptr;
    ValueStepperField *historyCapacityTextfield = nullptr; // with its stepper
    QCheckBox *displayMenuBarBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    int maximumCapacity() const;
    double maximumDelay() const;
    void storeCapacity(int capacity);
    void storeDelay(double seconds);
};
