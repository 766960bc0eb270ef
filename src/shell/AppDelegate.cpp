#include "shell/AppDelegate.h"

#include "capture/TaviPBManager.h"
#include "controls/SceneRegistry.h"
#include "core/AppGlobals.h"
#include "core/NotificationPayloads.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Log.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "shell/ActiveWindowWatcher.h"
#include "shell/AppIcon.h"
#include "shell/AuthorizerManager.h"
#include "shell/OperationFeedback.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ShellSeams.h"
#include "shell/ShutdownSequence.h"
#include "shell/StartUpSequence.h"
#include "shell/StatusIcon.h"
#include "shell/TaviMenuBarController.h"

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {

AppDelegate *g_shared = nullptr;

} // namespace

AppDelegate::AppDelegate(TaviPBManager &pbManager, QObject *parent) : QObject(parent), pbManager(pbManager)
{
    g_shared = this;
    auto &settings = TaviSettings::shared();
    // Every window made from here on carries the program's icon.
    AppIcon::install();
    pbManager.setFolderAuthorizationCheck([](const QList<PasteboardItem> &items) {
        return AuthorizerManager::shared().folderNeedingAuthorization(items);
    });
    m_statusIcon = std::make_unique<StatusIcon>(pbManager, settings, statusBarMenu, statusItemIndex, currentFrame);
    m_feedback = std::make_unique<OperationFeedback>(settings, *m_statusIcon);

    m_menuBarController = std::make_unique<TaviMenuBarController>(*this);
    statusBarMenu = m_menuBarController->statusBarMenu();

    m_quickSelectionKeys = std::make_unique<QuickSelectionKeys>(pbManager, lastItems, [this] {
        if (SearchHUDIntroWindowController *tip = searchTipWC())
            tip->showIfNeeded();
    });
    m_windowWatcher = std::make_unique<ActiveWindowWatcher>(lastActiveApplication);
    m_startUp = std::make_unique<StartUpSequence>(*this, pbManager, settings, m_observers);
    m_shutdown = std::make_unique<ShutdownSequence>(pbManager, settings);
}

AppDelegate::~AppDelegate()
{
    if (g_shared == this)
        g_shared = nullptr;
    m_windowWatcher->stop();
    unregisterQuickSelectionShortcuts();
    ShortcutBinder::shared().setRefusalHandler({});
    if (m_searchTipWC)
        delete *m_searchTipWC; // a window of its own: nobody else owns it
}

AppDelegate *AppDelegate::shared() { return g_shared; }

QFileDialog &AppDelegate::openPanel()
{
    if (!m_openPanel)
        m_openPanel = std::make_unique<QFileDialog>();
    return *m_openPanel;
}

SearchHUDIntroWindowController *AppDelegate::searchTipWC()
{
    if (!m_searchTipWC)
        m_searchTipWC = SceneRegistry::shared().instantiate<SearchHUDIntroWindowController>(QStringLiteral("Whatsnew"));
    return *m_searchTipWC;
}

// --- Application life

void AppDelegate::applicationWillFinishLaunching() { m_windowWatcher->noteStartingApplication(); }

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    m_startUp->run();
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    m_quickSelectionKeys->stop();
    m_observers.clear();
    m_startUp->stopListening();
    if (m_dayTimer)
        m_dayTimer->stop();
    m_windowWatcher->stop();
    m_shutdown->run();
}

void AppDelegate::terminate()
{
    if (m_terminationRequested)
        return;
    m_terminationRequested = true;
    LOG_INFO("terminate(_:)", QStringLiteral("Quitting"));
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void AppDelegate::applicationWillBecomeActive()
{
    if (TaviSettings::shared().enableAutoCleanHistory())
        pbManager.autoCleanHistoryInBackground();
}

void AppDelegate::applicationWillResignActive() { pbManager.saveNow(); }

QMessageBox *AppDelegate::aboutWindow() const { return m_aboutWindow; }

void AppDelegate::aboutMenuItemAction()
{
    if (!m_aboutWindow) {
        m_aboutWindow = new QMessageBox;
        m_aboutWindow->setObjectName(QStringLiteral("aboutWindow"));
        m_aboutWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_aboutWindow->setWindowTitle(L("About.Title"));
        m_aboutWindow->setIconPixmap(AppIcon::icon().pixmap(96, 96));
        m_aboutWindow->setTextFormat(Qt::RichText);
        const QUrl homepage(QStringLiteral(TAVI_HOMEPAGE));
        QString text = QStringLiteral("<p><b style=\"font-size:14pt\">%1</b><br>%2</p><p>%3</p><p>%4</p>")
                           .arg(appName().value_or(QStringLiteral("TaviPaste")).toHtmlEscaped(),
                                L("About.Version").arg(appVersion()).toHtmlEscaped(), L("ICP").toHtmlEscaped(),
                                L("About.License").toHtmlEscaped());
        if (homepage.isValid() && !homepage.host().isEmpty())
            text += QStringLiteral("<p><a href=\"%1\">%2</a></p>")
                        .arg(QString::fromUtf8(homepage.toEncoded()).toHtmlEscaped(), homepage.host().toHtmlEscaped());
        m_aboutWindow->setText(text);
        m_aboutWindow->setStandardButtons(QMessageBox::Close);
        m_aboutWindow->setModal(false);
    }
    m_aboutWindow->show();
    m_aboutWindow->raise();
    m_aboutWindow->activateWindow();
}

// --- Handlers

void AppDelegate::newItemHandler(const Notification &)
{
    showFeedback(OperationType::copy, true, 1);
    if (TaviSettings::shared().enableQuickSelection())
        requestQuickSelectionRefresh();
    if (TaviSettings::shared().enableAutoCleanHistory())
        pbManager.autoCleanHistoryInBackground();
}

void AppDelegate::updateItemHandler(const Notification &)
{
    showFeedback(OperationType::copy, true, 1);
    if (TaviSettings::shared().enableQuickSelection())
        requestQuickSelectionRefresh();
}

void AppDelegate::historyShortenedHandler(const Notification &notification)
{
    // Its key goes at once: a key pressed before the next page is in never pastes it.
    if (const std::optional<PBItem> deleted = NotificationPayload::ChangedItem::decode(notification))
        m_quickSelectionKeys->forget(deleted->uuid());
    if (TaviSettings::shared().enableQuickSelection())
        requestQuickSelectionRefresh();
}

void AppDelegate::colorBarScreenOptionHandler(const Notification &)
{
    auto &seams = ShellSeams::shared();
    if (TaviSettings::shared().barScreenOption() == PBColorBarDisplayScreenOption::active) {
        if (seams.startScreenMonitoring)
            seams.startScreenMonitoring();
    } else if (seams.stopScreenMonitoring) {
        seams.stopScreenMonitoring();
    }
}

void AppDelegate::checkAuthorizationHandler(const Notification &notification) { showAuthorizer(notification.userInfo); }

void AppDelegate::showAuthorizer(const QVariantMap &userInfo)
{
    const std::optional<QString> folder =
        NotificationPayload::FolderToAuthorize::decode({QString(), nullptr, userInfo});
    if (!folder)
        return;
    if (auto &show = ShellSeams::shared().showAuthorizer)
        show(nullptr, *folder);
}

void AppDelegate::didChangedPasteEnableStateHandler(const Notification &) { updatePasteEnableState(); }

void AppDelegate::dayChangedHandler(const Notification &) { pbManager.autoCleanHistoryInBackground(); }

void AppDelegate::updateDayChangedObserver()
{
    const auto &settings = TaviSettings::shared();
    const bool observe = settings.enableAutoCleanHistory() && settings.clearType() != PBHistoryClearType::items;
    if (!observe) {
        if (m_dayTimer)
            m_dayTimer->stop();
        return;
    }
    if (!m_dayTimer) {
        m_dayTimer = new QTimer(this);
        m_dayTimer->setSingleShot(true);
        connect(m_dayTimer, &QTimer::timeout, this, [this] {
            dayChangedHandler(Notification{});
            updateDayChangedObserver();
        });
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime midnight(now.date().addDays(1), QTime(0, 0));
    m_dayTimer->start(std::max<qint64>(1000, now.msecsTo(midnight) + 1000));
}

void AppDelegate::ubiquitousKeyValueStoreDidChange(const Notification &notification)
{
    const QVariant keys = notification.userInfo.value(CloudKeyValueStore::kChangedKeys);
    const QVariantList list = keys.toList();
    if (list.isEmpty() || list.first().metaType().id() != QMetaType::QString)
        return;
    if (list.first().toString() != QLatin1String("enableCloudSync"))
        return;
    pbManager.saveNow();
    CoreDataStack::shared().setupContainer();
}

bool AppDelegate::showWelcomeWindow()
{
    if (!welcomeWindowController) {
        QObject *scene = SceneRegistry::shared().instantiateScene(QStringLiteral("Welcome"),
                                                                  QStringLiteral("welcomeWindowController"));
        if (auto *window = qobject_cast<QWidget *>(scene))
            welcomeWindowController = window;
        else
            delete scene;
    }
    if (!welcomeWindowController)
        return false;
    // The search tip never opens over the welcome window: it waits until that has closed.
    if (SearchHUDIntroWindowController *tip = searchTipWC())
        tip->waitWhileShown(welcomeWindowController);
    welcomeWindowController->show();
    welcomeWindowController->raise();
    QRect frame = welcomeWindowController->frameGeometry();
    if (QScreen *screen = welcomeWindowController->screen())
        frame.moveCenter(screen->availableGeometry().center());
    welcomeWindowController->move(frame.topLeft());
    welcomeWindowController->activateWindow();
    return welcomeWindowController->isVisible();
}

void AppDelegate::observeApplicationDeactivation() { m_windowWatcher->start(); }

void AppDelegate::pollFrontmostApplication() { m_windowWatcher->poll(); }

// --- Feedback and status icon

void AppDelegate::showFeedback(OperationType operation, bool hideHUD, int count)
{
    m_feedback->show(operation, hideHUD, count);
}

FeedbackPanel *AppDelegate::hud() const { return m_feedback->panel(); }

void AppDelegate::animateStatusIcon() { m_statusIcon->animate(); }

bool AppDelegate::isStatusIconAnimating() const { return m_statusIcon->isAnimating(); }

void AppDelegate::updateStatusItem() { m_statusIcon->update(); }

QSystemTrayIcon *AppDelegate::statusItem() const { return m_statusIcon->item(); }

QString AppDelegate::statusItemImageName() const { return m_statusIcon->imageName(); }

QString AppDelegate::statusToolTip() const { return m_statusIcon->toolTip(); }

void AppDelegate::updatePasteEnableState() { m_statusIcon->updatePasteEnableState(); }

void AppDelegate::tellMenuPlacesIfNoTray()
{
    if (!m_terminated)
        m_statusIcon->tellMenuPlacesIfNoTray();
}

QMessageBox *AppDelegate::noTrayWindow() const { return m_statusIcon->noTrayWindow(); }
