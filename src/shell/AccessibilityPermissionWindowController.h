#pragma once
// The window shown when quick paste is on but synthetic key events cannot reach other programs:
// it explains why, opens the help on the permission, or turns quick paste off. One shared
// instance for the life of the application. GUI thread.

#include "shell/RoundedPanelWindow.h"

class QLabel;
class QPushButton;

class AccessibilityPermissionWindowController : public RoundedPanelWindow {
    Q_OBJECT
public:
    static AccessibilityPermissionWindowController &shared();
    explicit AccessibilityPermissionWindowController(QWidget *parent = nullptr);

    // Shows the window in front, centred (what every paste routine does without the permission).
    void present();

    // Actions of the three buttons.
    void openBtnAction();
    void cancelBtnAction();
    void helpBtnAction();

    void openAccessibilitySettings();
    void confirmDisableQuickPaste();
    void openQuickPasteHelp();

    QLabel *permissionImgView = nullptr;
    QPushButton *openBtn = nullptr;
    QPushButton *cancelBtn = nullptr;
    QPushButton *helpBtn = nullptr;

private:
    void windowDidLoad();
};
