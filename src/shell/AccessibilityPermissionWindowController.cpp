#include "shell/AccessibilityPermissionWindowController.h"

#include "capture/TaviPBManager.h"
#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"
#include "shell/AppDelegate.h"
#include "shell/ShellSeams.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QUrl quickPasteHelpUrl()
{
    const QUrl url(L("Server.Page.Quickpastehelp"), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return {};
    return url;
}

} // namespace

AccessibilityPermissionWindowController &AccessibilityPermissionWindowController::shared()
{
    static auto *controller = new AccessibilityPermissionWindowController;
    return *controller;
}

AccessibilityPermissionWindowController::AccessibilityPermissionWindowController(QWidget *parent)
    : RoundedPanelWindow(8, parent)
{
    setObjectName(QStringLiteral("AccessibilityPermissionWindowController"));
    setWindowTitle(L("Accessibility.Permission.Title"));

    auto *title = new QLabel(L("Accessibility.Permission.Title"), this);
    setTitleLabel(title);
    messageLabel = new QLabel(L("Accessibility.Permission.Message"), this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setWordWrap(true);
    permissionImgView = new QLabel(this);
    permissionImgView->setObjectName(QStringLiteral("permissionImgView"));
    permissionImgView->setAlignment(Qt::AlignCenter);

    openBtn = new QPushButton(L("Accessibility.Permission.Open"), this);
    openBtn->setObjectName(QStringLiteral("openBtn"));
    cancelBtn = new QPushButton(L("Accessibility.Permission.Cancel"), this);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    helpBtn = new QPushButton(L("Accessibility.Permission.Help"), this);
    helpBtn->setObjectName(QStringLiteral("helpBtn"));
    connect(openBtn, &QPushButton::clicked, this, &AccessibilityPermissionWindowController::openBtnAction);
    connect(cancelBtn, &QPushButton::clicked, this, &AccessibilityPermissionWindowController::cancelBtnAction);
    connect(helpBtn, &QPushButton::clicked, this, &AccessibilityPermissionWindowController::helpBtnAction);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(helpBtn);
    buttons->addStretch();
    buttons->addWidget(cancelBtn);
    buttons->addWidget(openBtn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 18);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(messageLabel);
    layout->addWidget(permissionImgView);
    layout->addLayout(buttons);
    windowDidLoad();
}

void AccessibilityPermissionWindowController::windowDidLoad()
{
    openBtn->setDefault(true);
    openBtn->setFocus();
    const QString imagePath = QStringLiteral(":/assets/images/%1.png").arg(L("Accessibility.Permission.ImageName"));
    if (QPixmap picture(imagePath); !picture.isNull()) {
        // Drawn at twice the size it is shown at, so it stays sharp on high-density screens.
        picture.setDevicePixelRatio(2.0);
        permissionImgView->setPixmap(picture);
    } else {
        permissionImgView->hide();
    }
    fitToWidth(kPreferredWidth);
    center();
}

void AccessibilityPermissionWindowController::copyInsteadOfPasting(TaviPBManager &manager, const QList<PBItem> &items,
                                                                   const std::optional<PBCategory> &category)
{
    LOG_DEBUG("pasteItem(at:)", QStringLiteral("Please allow accessibility API access to this app."));
    // A copy-out that failed has told the user already.
    if (manager.copy(items, category)) {
        if (AppDelegate *delegate = AppDelegate::shared())
            delegate->showFeedback(OperationType::paste, false, int(items.size()));
    }
    shared().present();
}

void AccessibilityPermissionWindowController::present()
{
    center(); // before it is shown, so it is mapped once, there
    showWindow();
    makeKeyAndOrderFront();
}

void AccessibilityPermissionWindowController::openBtnAction() { openAccessibilitySettings(); }

void AccessibilityPermissionWindowController::cancelBtnAction() { confirmDisableQuickPaste(); }

void AccessibilityPermissionWindowController::helpBtnAction() { openQuickPasteHelp(); }

// This desktop has no settings pane that grants sending keys (the X server's XTEST extension
// does): the window's default button only closes it; help explains the rest.
void AccessibilityPermissionWindowController::openAccessibilitySettings() { close(); }

void AccessibilityPermissionWindowController::confirmDisableQuickPaste()
{
    showAlert(L("Accessibility.Permission.Alert.Title"), L("Accessibility.Permission.Alert.Message"),
              L("Accessibility.Permission.Alert.Confirm"), L("Accessibility.Permission.Alert.Cancel"), nullptr,
              AlertStyle::informational, [this](ModalResponse response) {
                  if (response == ModalResponse::alertFirstButtonReturn) {
                      TaviSettings::shared().setQuickPasteEnable(false);
                      auto &seams = ShellSeams::shared();
                      if (seams.showPreferencesWindow)
                          seams.showPreferencesWindow();
                      if (seams.selectPreferencesTab && seams.selectPreferencesTab(0))
                          NotificationCenter::defaultCenter().post(NotificationName::disableQuickPaste);
                  }
                  close();
              });
}

void AccessibilityPermissionWindowController::openQuickPasteHelp()
{
    Analytics::trackEvent(QStringLiteral("ClickQuickPasteHelp"),
                          {{QStringLiteral("source"), QStringLiteral("Permission_Alert")}});
    if (const QUrl url = quickPasteHelpUrl(); !url.isEmpty())
        Workspace::shared().openUrl(url);
}
