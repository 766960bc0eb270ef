// AppDelegate: sound and panel feedback, the status icon and its animation.

#include "shell/AppDelegate.h"

#include "capture/TaviPBManager.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/PlatformBackends.h"
#include "platform/ShortcutBinder.h"
#include "platform/SoundPlayer.h"
#include "platform/Strings.h"
#include "shell/AppIcon.h"
#include "shell/FeedbackPanel.h"
#include "shell/ShellSeams.h"
#include "shell/StatusBarIcons.h"

#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace {
const QString kNormalIcon = QStringLiteral("statusBarIcon-0");
const QString kDisabledIcon = QStringLiteral("statusBarIcon_disabled");
} // namespace

void AppDelegate::showFeedback(OperationType operation, bool hideHUD, int count)
{
    if (TaviSettings::shared().needPlaySound())
        SoundPlayer::play(operation == OperationType::copy ? QStringLiteral("copy") : QStringLiteral("paste"));
    const QPointer<AppDelegate> self(this);
    MainQueue::async([self, operation, hideHUD, count] {
        if (!self)
            return;
        FeedbackPanel *panel = self->m_hud;
        if (panel && TaviSettings::shared().needShowHUD() && !hideHUD) {
            panel->showWindow();
            panel->window()->raise();
            if (count < 2) {
                panel->itemsCountLabel()->hide();
            } else {
                panel->itemsCountLabel()->show();
                panel->itemsCountLabel()->setText(L("HUD.ItemsCount.Label").arg(count));
            }
            if (operation == OperationType::paste)
                panel->label()->setText(L("HUD.Copied.Label"));
            else if (operation == OperationType::quickPaste)
                panel->label()->setText(L("HUD.Pasted.Label"));
        }
        self->animateStatusIcon();
    });
}

void AppDelegate::animateStatusIcon()
{
    m_animTimer->start();
}

bool AppDelegate::isStatusIconAnimating() const
{
    return m_animTimer->isActive();
}

void AppDelegate::tickStatusIcon()
{
    if (m_statusItem)
        setStatusImage(QStringLiteral("statusBarIcon-%1").arg(currentFrame));
    if (currentFrame == 0)
        m_animTimer->stop();
    currentFrame = (currentFrame + 1) % 10;
}

void AppDelegate::setStatusImage(const QString &name)
{
    if (!m_statusItem)
        return;
    m_statusImageName = name;
    m_statusItem->setIcon(StatusBarIcons::named(name));
}

void AppDelegate::updateStatusItem()
{
    if (TaviSettings::shared().displayMenuBarButton()) {
        ++statusItemIndex;
        TaviSettings::shared().setStatusItemPreferredPosition(statusItemIndex, 300);
        m_statusItem.reset();
        m_statusItem = std::make_unique<QSystemTrayIcon>();
        m_statusItem->setToolTip(statusToolTip());
        setStatusImage(kNormalIcon);
        if (!statusBarMenu && ShellSeams::shared().statusBarMenu)
            statusBarMenu = ShellSeams::shared().statusBarMenu();
        if (statusBarMenu) {
            m_statusItem->setContextMenu(statusBarMenu);
            // A left click opens the menu too.
            connect(m_statusItem.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
                // Opened from the event loop, once the tray icon has handled its press. A click soon
                // after the last one (the menu closed in between) arrives as a double click.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    QTimer::singleShot(0, this, [this] {
                        if (statusBarMenu && !statusBarMenu->isVisible())
                            statusBarMenu->popup(QCursor::pos());
                    });
            });
        }
        // Without a tray the program runs on (its hot keys still work), and the icon appears when
        // a tray does: the absence is only told once.
        PlatformBackends::isSystemTrayAvailable();
        m_statusItem->show();
    } else {
        statusItemIndex = -1;
        m_statusItem.reset();
        m_statusImageName.clear();
    }
}

void AppDelegate::tellMenuPlacesIfNoTray()
{
    if (m_terminated || !TaviSettings::shared().displayMenuBarButton() || PlatformBackends::isSystemTrayAvailable())
        return;
    auto &settings = TaviSettings::shared();
    if (settings.noTrayMenuPlacesTold()) {
        LOG_INFO("tellMenuPlacesIfNoTray()", QStringLiteral("No system tray: where the menu is was told before"));
        return;
    }
    settings.setNoTrayMenuPlacesTold(true);
    const std::optional<Shortcut> panel = ShortcutBinder::shared().shortcut(kSpotlightShortcutKey);
    const QString panelText = panel ? L("NoTray.Panel.withKey").arg(panel->displayText()) : L("NoTray.Panel");
    m_noTrayWindow = new QMessageBox;
    m_noTrayWindow->setObjectName(QStringLiteral("noTrayWindow"));
    m_noTrayWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_noTrayWindow->setWindowTitle(L("NoTray.title"));
    m_noTrayWindow->setIconPixmap(AppIcon::icon().pixmap(64, 64));
    m_noTrayWindow->setText(L("NoTray.message"));
    m_noTrayWindow->setInformativeText(L("NoTray.ColorBar") + QStringLiteral("\n") + panelText);
    m_noTrayWindow->setStandardButtons(QMessageBox::Ok);
    m_noTrayWindow->setModal(false);
    // It comes a moment after start: typing elsewhere goes on undisturbed.
    m_noTrayWindow->setAttribute(Qt::WA_ShowWithoutActivating);
    m_noTrayWindow->show();
    m_noTrayWindow->raise();
    LOG_INFO("tellMenuPlacesIfNoTray()", QStringLiteral("No system tray: told where the menu is"));
}

QString AppDelegate::statusToolTip() const
{
    const qint64 lost = pbManager.lostCopyCount();
    if (lost <= 0)
        return L("App.name");
    return L("App.name") + QLatin1Char('\n') + (lost == 1 ? L("Capture.Lost.TooltipOne") : L("Capture.Lost.TooltipMany").arg(lost));
}

void AppDelegate::updatePasteEnableState()
{
    const QPointer<AppDelegate> self(this);
    MainQueue::async([self] {
        if (self && self->m_statusItem)
            self->setStatusImage(self->pbManager.isPaused() ? kDisabledIcon : kNormalIcon);
    });
}
