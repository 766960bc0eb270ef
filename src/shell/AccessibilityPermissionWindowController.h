#pragma once
// The window shown when quick paste is on but synthetic key events cannot reach other programs:
// it says that the item was copied for the user to paste, opens the help on sending keys, or turns
// quick paste off. One shared instance for the life of the application. GUI thread.

#include "core/PBCategory.h"
#include "core/PBItem.h"
#include "shell/RoundedPanelWindow.h"

#include <optional>

class QLabel;
class QPushButton;
class TaviPBManager;

class AccessibilityPermissionWindowController : public RoundedPanelWindow {
    Q_OBJECT
public:
    static constexpr int kPreferredWidth = 460;

    static AccessibilityPermissionWindowController &shared();
    explicit AccessibilityPermissionWindowController(QWidget *parent = nullptr);

    // Shows the window in front, centred (what every paste routine does without the permission).
    void present();

    // What every paste routine does when keys cannot be sent: the items are copied out so the user
    // can paste them (as the window says), the copy is acknowledged, and the window is shown.
    static void copyInsteadOfPasting(TaviPBManager &manager, const QList<PBItem> &items,
                                     const std::optional<PBCategory> &category);

    // Actions of the three buttons.
    void openBtnAction();
    void cancelBtnAction();
    void helpBtnAction();

    void openAccessibilitySettings();
    void confirmDisableQuickPaste();
    void openQuickPasteHelp();

    QLabel *messageLabel = nullptr;
    QLabel *permissionImgView = nullptr;
    // Closes the window: this desktop has no settings pane that grants sending keys.
    QPushButton *openBtn = nullptr;
    QPushButton *cancelBtn = nullptr;
    QPushButton *helpBtn = nullptr;

private:
    void windowDidLoad();
};
