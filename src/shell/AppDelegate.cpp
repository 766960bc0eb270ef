#include "shell/AppDelegate.h"

#include "capture/TaviPBManager.h"
#include "controls/SceneRegistry.h"
#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "core/NotificationPayloads.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "shell/AppIcon.h"
#include "shell/AuthorizerManager.h"
#include "shell/FeedbackPanel.h"
#include "shell/LaunchReport.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ShellSeams.h"
#include "shell/TaviMenuBarController.h"

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <QWidget>

namespace {

AppDelegate *g_shared = nullptr;
const char *const kLaunching = "applicationDidFinishLaunching(_:)";
// The reporting service's secret for this application.
const QString kAppSecret = QStringLiteral("6d0c3f0e-8a47-4b7e-9a61-2f3c5d7e9b10");
constexpr int kDeactivationPollMs = 500;

QString languageCode(const QLocale &locale)
{
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return {};
    return QLocale::languageToCode(locale.language());
}

QString regionCode(const QLocale &locale)
{
    if (locale.territory() == QLocale::AnyTerritory)
        return {};
    return QLocale::territoryToCode(locale.territory());
}

bool isOwnApplication(const RunningApplication &app)
{
    return app.processIdentifier == QCoreApplication::applicationPid()
        || (!app.bundleIdentifier.isEmpty() && app.bundleIdentifier == Workspace::shared().ownBundleIdentifier());
}

QString ownBundleIdentifier()
{
    return appBundleIdentifier().value_or(Workspace::shared().ownBundleIdentifier());
}

} // namespace

AppDelegate::AppDelegate(TaviPBManager &pbManager, QObject *parent) : QObject(parent), pbManager(pbManager)
{
    g_shared = this;
    // Every window made from here on carries the program's icon.
    AppIcon::install();
    pbManager.setFolderAuthorizationCheck(
        [](const QList<PasteboardItem> &items) { return AuthorizerManager::shared().folderNeedingAuthorization(items); });
    // The feedback panel comes from its nib; a missing nib leaves the shell without panel.
    std::vector<QObject *> objects = SceneRegistry::shared().loadNib(QStringLiteral("HUDWindowController"));
    for (QObject *object : objects) {
        if (auto *panel = dynamic_cast<FeedbackPanel *>(object)) {
            m_hud = panel;
            m_hudOwner.reset(object);
        }
    }
    for (QObject *object : objects) {
        if (object != m_hudOwner.get())
            delete object;
    }

    m_menuBarController = std::make_unique<TaviMenuBarController>(*this);
    statusBarMenu = m_menuBarController->statusBarMenu();

    m_animTimer = new QTimer(this);
    m_animTimer->setInterval(50);
    connect(m_animTimer, &QTimer::timeout, this, &AppDelegate::tickStatusIcon);
    m_quickSelectionKeys = std::make_unique<QuickSelectionKeys>(pbManager, lastItems, [this] {
        if (SearchHUDIntroWindowController *tip = searchTipWC())
            tip->showIfNeeded();
    });
}

AppDelegate::~AppDelegate()
{
    if (g_shared == this)
        g_shared = nullptr;
    if (m_watchingFrontmost)
        Workspace::shared().setFrontmostApplicationObserver(nullptr);
    unregisterQuickSelectionShortcuts();
    ShortcutBinder::shared().setRefusalHandler({});
    if (m_searchTipWC)
        delete *m_searchTipWC; // a window of its own: nobody else owns it
}

AppDelegate *AppDelegate::shared()
{
    return g_shared;
}

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

void AppDelegate::applicationWillFinishLaunching()
{
    lastActiveApplication = Workspace::shared().frontmostApplication();
    m_lastSeenFrontmost = lastActiveApplication;
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    const QLocale locale;
    auto &settings = TaviSettings::shared();
    auto &seams = ShellSeams::shared();

    if (settings.installationUUID().isEmpty())
        settings.setInstallationUUID(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());

    Analytics::setCountryCode(languageCode(locale));
    const bool lastRunCrashed = !Analytics::start(kAppSecret, {Analytics::Service::Analytics, Analytics::Service::Crashes}).isEmpty();
    Analytics::trackEvent(QStringLiteral("APP_Launch"));
    Analytics::trackEvent(QStringLiteral("Device_Info"),
                          {{QStringLiteral("ScreenCount"), QString::number(QGuiApplication::screens().size())}});
    const QString region = regionCode(locale);
    Analytics::trackEvent(QStringLiteral("Region"), {{QStringLiteral("region"), region.isEmpty() ? QStringLiteral("na") : region}});

    Log::setup();
    LOG_DEBUG(kLaunching, QStringLiteral("--> App launching..."));
    LaunchReport::reportInstallEvent();
    registerDefaultShortcuts();
    observeApplicationDeactivation();

    LOG_DEBUG(kLaunching, QStringLiteral("Loading data..."));
    if (lastRunCrashed) // told once: the report is marked as reported
        MainQueue::async([intact = !CoreDataStack::shared().storeProblem()] {
            showAlert(L("Crash.LastRun.title"), L(intact ? "Crash.LastRun.HistoryIntact" : "Crash.LastRun.HistoryNotOpened"),
                      L("Store.Problem.OK"), std::nullopt, nullptr, AlertStyle::warning);
        });
    tellHistoryProblems();
    if (settings.enableAutoCleanHistory())
        pbManager.autoCleanHistory();
    TPBookMarkCacher::shared().loadBookMarks();
    // The lists load lazily: only the pages shown are ever read.
    LaunchReport::sendFirstInstallGAEvent();
    if (seams.startRemoteConfiguration)
        seams.startRemoteConfiguration();
    // Only a welcome window that was shown counts: without one the next launch tries again.
    if (!settings.alreadyShowTutorial() && showWelcomeWindow())
        settings.setAlreadyShowTutorial(true);

    LOG_DEBUG(kLaunching, QStringLiteral("Updating menubar..."));
    updateStatusItem();
    // A tray host may start after this program at login: its absence is judged a moment later.
    QTimer::singleShot(noTrayGraceMs, this, &AppDelegate::tellMenuPlacesIfNoTray);
    if (settings.enableQuickSelection())
        refreshQuickSelection(pbManager.getItemsPage(0, 9));

    LOG_DEBUG(kLaunching, QStringLiteral("Starting working..."));
    if (settings.barScreenOption() == PBColorBarDisplayScreenOption::active && seams.startScreenMonitoring)
        seams.startScreenMonitoring();
    pbManager.stopMonitoring();
    pbManager.startMonitoring();
    registerObservers();
    checkLaunchAtLogin();

    if (isLoginHelperRunning() && seams.postDistributedNotification)
        seams.postDistributedNotification(NotificationName::killLauncher, ownBundleIdentifier());

    LOG_DEBUG(kLaunching, QStringLiteral("<-- App did launch"));
    LOG_INFO(kLaunching, QStringLiteral("TaviPaste is running"));
    if (seams.checkForUpdate)
        seams.checkForUpdate();
}

void AppDelegate::registerObservers()
{
    const auto observe = [this](const QString &name, void (AppDelegate::*handler)(const Notification &)) {
        m_observers.observe(name, [this, handler](const Notification &notification) { (this->*handler)(notification); });
    };
    observe(NotificationName::historyDidAddNewItem, &AppDelegate::newItemHandler);
    observe(NotificationName::historyItemDidUpdate, &AppDelegate::updateItemHandler);
    observe(NotificationName::colorBarScreenOptionChanged, &AppDelegate::colorBarScreenOptionHandler);
    observe(NotificationName::needCheckAuthorize, &AppDelegate::checkAuthorizationHandler);
    observe(NotificationName::didChangedPasteEnableState, &AppDelegate::didChangedPasteEnableStateHandler);
    observe(NotificationName::historyItemDidDelete, &AppDelegate::historyShortenedHandler);
    observe(NotificationName::historyItemsDidClear, &AppDelegate::historyShortenedHandler);
    m_observers.observe(NotificationName::historyCopiesLost, [this](const Notification &) {
        if (m_statusItem)
            m_statusItem->setToolTip(statusToolTip());
    });
    m_observers.observe(
        CloudKeyValueStore::kDidChangeExternally,
        [this](const Notification &notification) { ubiquitousKeyValueStoreDidChange(notification); },
        &CloudKeyValueStore::shared());
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    m_quickSelectionKeys->stop();
    auto &seams = ShellSeams::shared();
    if (seams.postDistributedNotification)
        seams.postDistributedNotification(NotificationName::killHelper, ownBundleIdentifier());
    TPBookMarkCacher::shared().stopAccessingResource();
    m_observers.clear();
    if (m_dayTimer)
        m_dayTimer->stop();
    if (m_deactivationTimer)
        m_deactivationTimer->stop();
    if (m_watchingFrontmost)
        Workspace::shared().setFrontmostApplicationObserver(nullptr);
    if (seams.stopRemoteConfiguration)
        seams.stopRemoteConfiguration();
    pbManager.stopMonitoring();
    if (seams.stopScreenMonitoring)
        seams.stopScreenMonitoring();
    auto &settings = TaviSettings::shared();
    settings.setLastVersion(appVersion());
    settings.setLaunchTime(settings.launchTime() + 1);
    // The GUI thread's settings changes are written by a worker, bookmarks by a queue of their
    // own: on disk before the end.
    settings.flush();
    TPBookMarkCacher::shared().waitUntilIdle();
    CloudKeyValueStore::shared().storage().flush();
    if (pbManager.saveNow())
        LOG_INFO("applicationWillTerminate(_:)", QStringLiteral("History saved"));
    else
        tellUnsavedItems(pbManager.unsavedItemCount());
}

void AppDelegate::terminate()
{
    if (m_terminationRequested)
        return;
    m_terminationRequested = true;
    LOG_INFO("terminate(_:)", QStringLiteral("Quitting"));
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void AppDelegate::tellHistoryProblems()
{
    // Each is told once the launch is done (or the reporter has moved on), so the dialog holds
    // up neither.
    const auto tell = [](const QString &title, const QString &text) {
        MainQueue::async([title, text] {
            showAlert(title, text, L("Store.Problem.OK"), std::nullopt, nullptr, AlertStyle::critical);
        });
    };
    if (const auto problem = CoreDataStack::shared().storeProblem())
        tell(L("Store.Problem.title"), problem->message());
    if (const QString aside = TaviSettings::shared().keptAsidePath(); !aside.isEmpty())
        tell(L("Settings.Problem.title"), L("Settings.Problem.KeptAside").arg(aside));
    m_observers.observe(NotificationName::historyProblemOccurred, [tell](const Notification &notification) {
        if (const auto problem = NotificationPayload::HistoryProblem::decode(notification))
            tell(problem->title, problem->text);
    });
}

void AppDelegate::tellUnsavedItems(int count)
{
    LOG_ERROR("applicationWillTerminate(_:)", QStringLiteral("History not saved: %1 items could not be written").arg(count));
    if (count <= 0)
        return;
    const QString text = count == 1 ? L("Save.Problem.UnsavedOne") : L("Save.Problem.UnsavedMany").arg(count);
    showAlert(L("Save.Problem.title"), text, L("Store.Problem.OK"), std::nullopt, nullptr, AlertStyle::critical);
}

void AppDelegate::applicationWillBecomeActive()
{
    if (TaviSettings::shared().enableAutoCleanHistory())
        pbManager.autoCleanHistory();
}

void AppDelegate::applicationWillResignActive()
{
    pbManager.saveNow();
}

QMessageBox *AppDelegate::aboutWindow() const
{
    return m_aboutWindow;
}

QMessageBox *AppDelegate::noTrayWindow() const
{
    return m_noTrayWindow;
}

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
        pbManager.autoCleanHistory();
}

void AppDelegate::updateItemHandler(const Notification &)
{
    showFeedback(OperationType::copy, true, 1);
    if (TaviSettings::shared().enableQuickSelection())
        requestQuickSelectionRefresh();
}

void AppDelegate::historyShortenedHandler(const Notification &)
{
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

void AppDelegate::checkAuthorizationHandler(const Notification &notification)
{
    showAuthorizer(notification.userInfo);
}

void AppDelegate::showAuthorizer(const QVariantMap &userInfo)
{
    const std::optional<QString> folder = NotificationPayload::FolderToAuthorize::decode({QString(), nullptr, userInfo});
    if (!folder)
        return;
    if (auto &show = ShellSeams::shared().showAuthorizer)
        show(nullptr, *folder);
}

void AppDelegate::didChangedPasteEnableStateHandler(const Notification &)
{
    updatePasteEnableState();
}

void AppDelegate::dayChangedHandler(const Notification &)
{
    pbManager.autoCleanHistory();
}

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
        QObject *scene = SceneRegistry::shared().instantiateScene(QStringLiteral("Welcome"), QStringLiteral("welcomeWindowController"));
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

// The desktop tells no one when a program stops being active: watch the active window and take
// the program that had it before as the one that was deactivated. The workspace says when the
// active window changes; only a workspace that cannot is looked at now and then.
void AppDelegate::observeApplicationDeactivation()
{
    if (m_deactivationTimer || m_watchingFrontmost)
        return;
    QPointer<AppDelegate> self(this);
    m_watchingFrontmost = Workspace::shared().setFrontmostApplicationObserver([self] {
        QMetaObject::invokeMethod(qApp, [self] {
            if (self)
                self->pollFrontmostApplication();
        }, Qt::QueuedConnection);
    });
    if (m_watchingFrontmost)
        return;
    m_deactivationTimer = new QTimer(this);
    m_deactivationTimer->setInterval(kDeactivationPollMs);
    connect(m_deactivationTimer, &QTimer::timeout, this, &AppDelegate::pollFrontmostApplication);
    m_deactivationTimer->start();
}

void AppDelegate::pollFrontmostApplication()
{
    const std::optional<RunningApplication> frontmost = Workspace::shared().frontmostApplication();
    if (frontmost == m_lastSeenFrontmost)
        return;
    const std::optional<RunningApplication> deactivated = m_lastSeenFrontmost;
    m_lastSeenFrontmost = frontmost;
    if (!deactivated || isOwnApplication(*deactivated))
        return;
    lastActiveApplication = deactivated;
    LOG_DEBUG("observeApplicationDeactivation()",
              QStringLiteral("~~~%1~~~%2").arg(deactivated->bundleIdentifier, deactivated->localizedName));
}
