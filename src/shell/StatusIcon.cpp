#include "shell/StatusIcon.h"

#include "capture/TaviPBManager.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/PlatformBackends.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "shell/AppIcon.h"
#include "shell/ShellSeams.h"
#include "shell/StatusBarIcons.h"

#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {
const QString kNormalIcon = QStringLiteral("statusBarIcon-0");
const QString kDisabledIcon = QStringLiteral("statusBarIcon_disabled");
} // namespace

StatusIcon::StatusIcon(TaviPBManager &pbManager, TaviSettings &settings, QPointer<QMenu> &menu, int &index, int &frame,
                       QObject *parent)
    : QObject(parent),
      m_pbManager(pbManager),
      m_settings(settings),
      m_menu(menu),
      m_index(index),
      m_frame(frame)
{
    m_animTimer = new QTimer(this);
    m_animTimer->setInterval(50);
    connect(m_animTimer, &QTimer::timeout, this, &StatusIcon::tick);
}

StatusIcon::~StatusIcon() = default;

void StatusIcon::animate() { m_animTimer->start(); }

bool StatusIcon::isAnimating() const { return m_animTimer->isActive(); }

void StatusIcon::tick()
{
    if (m_item)
        setImage(QStringLiteral("statusBarIcon-%1").arg(m_frame));
    if (m_frame == 0)
        m_animTimer->stop();
    m_frame = (m_frame + 1) % 10;
}

void StatusIcon::setImage(const QString &name)
{
    if (!m_item)
        return;
    m_imageName = name;
    m_item->setIcon(StatusBarIcons::named(name));
}

void StatusIcon::update()
{
    if (m_settings.displayMenuBarButton()) {
        ++m_index;
        m_settings.setStatusItemPreferredPosition(m_index, 300);
        m_item.reset();
        m_item = std::make_unique<QSystemTrayIcon>();
        m_item->setToolTip(toolTip());
        setImage(kNormalIcon);
        if (!m_menu && ShellSeams::shared().statusBarMenu)
            m_menu = ShellSeams::shared().statusBarMenu();
        if (m_menu) {
            m_item->setContextMenu(m_menu);
            // A left click opens the menu too.
            connect(m_item.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
                // Opened from the event loop, once the tray icon has handled its press. A click soon
                // after the last one (the menu closed in between) arrives as a double click.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    QTimer::singleShot(0, this, [this] {
                        if (m_menu && !m_menu->isVisible())
                            m_menu->popup(QCursor::pos());
                    });
            });
        }
        // Without a tray the program runs on (its hot keys still work), and the icon appears when
        // a tray does: the absence is only told once.
        PlatformBackends::isSystemTrayAvailable();
        m_item->show();
    } else {
        m_index = -1;
        m_item.reset();
        m_imageName.clear();
    }
}

void StatusIcon::tellMenuPlacesIfNoTray()
{
    if (!m_settings.displayMenuBarButton() || PlatformBackends::isSystemTrayAvailable())
        return;
    if (m_settings.noTrayMenuPlacesTold()) {
        LOG_INFO("tellMenuPlacesIfNoTray()", QStringLiteral("No system tray: where the menu is was told before"));
        return;
    }
    m_settings.setNoTrayMenuPlacesTold(true);
    const std::optional<Shortcut> panel = ShortcutBinder::shared().shortcut(AppDelegate::kSpotlightShortcutKey);
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

QMessageBox *StatusIcon::noTrayWindow() const { return m_noTrayWindow; }

QString StatusIcon::toolTip() const
{
    const qint64 lost = m_pbManager.lostCopyCount();
    if (lost <= 0)
        return L("App.name");
    return L("App.name") + QLatin1Char('\n')
           + (lost == 1 ? L("Capture.Lost.TooltipOne") : L("Capture.Lost.TooltipMany").arg(lost));
}

void StatusIcon::updatePasteEnableState()
{
    const QPointer<StatusIcon> self(this);
    MainQueue::async([self] {
        if (self && self->m_item)
            self->setImage(self->m_pbManager.isPaused() ? kDisabledIcon : kNormalIcon);
    });
}
