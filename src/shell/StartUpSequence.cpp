#include "shell/StartUpSequence.h"

#include "capture/HistoryProblems.h"
#include "capture/TaviPBManager.h"
#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "shell/LaunchAtLogin.h"
#include "shell/LaunchReport.h"
#include "shell/ShellSeams.h"

#include <QGuiApplication>
#include <QLocale>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUuid>

namespace {

const char *const kLaunching = "applicationDidFinishLaunching(_:)";
// The reporting service's secret for this application.
const QString kAppSecret = QStringLiteral("6d0c3f0e-8a47-4b7e-9a61-2f3c5d7e9b10");

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

} // namespace

StartUpSequence::StartUpSequence(AppDelegate &delegate, TaviPBManager &pbManager, TaviSettings &settings,
                                 ObserverBag &observers)
    : m_delegate(delegate),
      m_pbManager(pbManager),
      m_settings(settings),
      m_observers(observers),
      m_listeners(std::make_unique<QObject>())
{
}

StartUpSequence::~StartUpSequence() = default;

void StartUpSequence::stopListening() { m_listeners.reset(); }

void StartUpSequence::run()
{
    const QLocale locale;
    auto &seams = ShellSeams::shared();

    if (m_settings.installationUUID().isEmpty())
        m_settings.setInstallationUUID(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());

    Analytics::setCountryCode(languageCode(locale));
    const bool lastRunCrashed =
        !Analytics::start(kAppSecret, {Analytics::Service::Analytics, Analytics::Service::Crashes}).isEmpty();
    Analytics::trackEvent(QStringLiteral("APP_Launch"));
    Analytics::trackEvent(QStringLiteral("Device_Info"),
                          {{QStringLiteral("ScreenCount"), QString::number(QGuiApplication::screens().size())}});
    const QString region = regionCode(locale);
    Analytics::trackEvent(QStringLiteral("Region"),
                          {{QStringLiteral("region"), region.isEmpty() ? QStringLiteral("na") : region}});

    Log::setup();
    LOG_DEBUG(kLaunching, QStringLiteral("--> App launching..."));
    LaunchReport::reportInstallEvent();
    m_delegate.registerDefaultShortcuts();
    m_delegate.observeApplicationDeactivation();

    LOG_DEBUG(kLaunching, QStringLiteral("Loading data..."));
    if (lastRunCrashed) // told once: the report is marked as reported
        MainQueue::async([intact = !CoreDataStack::shared().storeProblem()] {
            showAlert(L("Crash.LastRun.title"),
                      L(intact ? "Crash.LastRun.HistoryIntact" : "Crash.LastRun.HistoryNotOpened"),
                      L("Store.Problem.OK"), std::nullopt, nullptr, AlertStyle::warning);
        });
    tellHistoryProblems();
    if (m_settings.enableAutoCleanHistory())
        m_pbManager.autoCleanHistoryInBackground();
    TPBookMarkCacher::shared().loadBookMarks();
    // The lists load lazily: only the pages shown are ever read.
    LaunchReport::sendFirstInstallGAEvent();
    if (seams.startRemoteConfiguration)
        seams.startRemoteConfiguration();
    // Only a welcome window that was shown counts: without one the next launch tries again.
    if (!m_settings.alreadyShowTutorial() && m_delegate.showWelcomeWindow())
        m_settings.setAlreadyShowTutorial(true);

    LOG_DEBUG(kLaunching, QStringLiteral("Updating menubar..."));
    m_delegate.updateStatusItem();
    // A tray host may start after this program at login: its absence is judged a moment later.
    QTimer::singleShot(AppDelegate::noTrayGraceMs, &m_delegate, &AppDelegate::tellMenuPlacesIfNoTray);
    if (m_settings.enableQuickSelection())
        m_delegate.refreshQuickSelection(m_pbManager.getItemsPage(TaviPBManager::ListQuery{}, 0, 9));

    LOG_DEBUG(kLaunching, QStringLiteral("Starting working..."));
    if (m_settings.barScreenOption() == PBColorBarDisplayScreenOption::active && seams.startScreenMonitoring)
        seams.startScreenMonitoring();
    m_pbManager.stopMonitoring();
    m_pbManager.startMonitoring();
    registerObservers();
    m_delegate.checkLaunchAtLogin();

    if (m_delegate.isLoginHelperRunning() && seams.postDistributedNotification)
        seams.postDistributedNotification(NotificationName::killLauncher, LaunchAtLogin::ownBundleIdentifier());

    LOG_DEBUG(kLaunching, QStringLiteral("<-- App did launch"));
    LOG_INFO(kLaunching, QStringLiteral("TaviPaste is running"));
    if (seams.checkForUpdate)
        seams.checkForUpdate();
}

void StartUpSequence::registerObservers()
{
    AppDelegate *delegate = &m_delegate;
    const auto observe = [this, delegate](const QString &name, void (AppDelegate::*handler)(const Notification &)) {
        m_observers.observe(
            name, [delegate, handler](const Notification &notification) { (delegate->*handler)(notification); });
    };
    observe(NotificationName::historyDidAddNewItem, &AppDelegate::newItemHandler);
    observe(NotificationName::historyItemDidUpdate, &AppDelegate::updateItemHandler);
    observe(NotificationName::colorBarScreenOptionChanged, &AppDelegate::colorBarScreenOptionHandler);
    observe(NotificationName::needCheckAuthorize, &AppDelegate::checkAuthorizationHandler);
    observe(NotificationName::didChangedPasteEnableState, &AppDelegate::didChangedPasteEnableStateHandler);
    observe(NotificationName::historyItemDidDelete, &AppDelegate::historyShortenedHandler);
    observe(NotificationName::historyItemsDidClear, &AppDelegate::historyShortenedHandler);
    QObject::connect(&m_pbManager.problems(), &HistoryProblems::copiesLost, m_listeners.get(), [delegate] {
        if (QSystemTrayIcon *item = delegate->statusItem())
            item->setToolTip(delegate->statusToolTip());
    });
    m_observers.observe(
        CloudKeyValueStore::kDidChangeExternally,
        [delegate](const Notification &notification) { delegate->ubiquitousKeyValueStoreDidChange(notification); },
        &CloudKeyValueStore::shared());
}

void StartUpSequence::tellHistoryProblems()
{
    // Each is told once the launch is done (or the reporter has moved on), so the dialog holds
    // up neither.
    const auto alert = [](const QString &title, const QString &text) {
        showAlert(title, text, L("Store.Problem.OK"), std::nullopt, nullptr, AlertStyle::critical);
    };
    const auto tellLater = [alert](const QString &title, const QString &text) {
        MainQueue::async([alert, title, text] { alert(title, text); });
    };
    CoreDataStack &stack = CoreDataStack::shared();
    if (const auto problem = stack.storeProblem())
        tellLater(L("Store.Problem.title"), problem->message());
    if (const QString aside = m_settings.keptAsidePath(); !aside.isEmpty())
        tellLater(L("Settings.Problem.title"), L("Settings.Problem.KeptAside").arg(aside));
    QObject::connect(&m_pbManager.problems(), &HistoryProblems::problemOccurred, m_listeners.get(), alert,
                     Qt::QueuedConnection);
    QObject::connect(
        &stack, &CoreDataStack::storeProblemFound, m_listeners.get(),
        [alert](const QString &message) { alert(L("Store.Problem.title"), message); }, Qt::QueuedConnection);
}
