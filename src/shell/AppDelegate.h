#pragma once
// The root object of TaviPaste: owns the long-lived pieces of the shell and the observers through
// which the rest of the program talks to the shell, and forwards to them: StartUpSequence and
// ShutdownSequence, StatusIcon, OperationFeedback, ActiveWindowWatcher, the digit hot keys of
// QuickSelectionKeys; launch at login is LaunchAtLogin's. One instance, made by the program's
// entry; others reach it through shared(). GUI thread unless a function says otherwise.

#include "core/PBItem.h"
#include "core/store/CloudKitManager.h"
#include "platform/LoginItem.h"
#include "platform/NotificationCenter.h"
#include "platform/Shortcut.h"
#include "platform/Workspace.h"
#include "shell/LaunchAtLogin.h"
#include "shell/OperationType.h"
#include "shell/QuickSelectionKeys.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class ActiveWindowWatcher;
class FeedbackPanel;
class OperationFeedback;
class QFileDialog;
class QMenu;
class QMessageBox;
class QSystemTrayIcon;
class QTimer;
class QWidget;
class SearchHUDIntroWindowController;
class ShutdownSequence;
class StartUpSequence;
class StatusIcon;
class TaviMenuBarController;
class TaviPBManager;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    // The virtual key codes of the digits 1 to 9.
    static constexpr const int (&kDigitKeyCodes)[9] = QuickSelectionKeys::kDigitKeyCodes;
    static inline const QString kSpotlightShortcutKey = QStringLiteral("activeSpotlightSearchShortcutKey");
    static inline const QString kHideCategoryListShortcutKey = QStringLiteral("hideCategoryListShortcutKey");
    static inline const QString kClearAllShortcutKey = QStringLiteral("clearAllShortcutKey");

    explicit AppDelegate(TaviPBManager &pbManager, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The application's delegate; null before it is made and after it is gone.
    static AppDelegate *shared();

    // --- Application life
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    void applicationWillBecomeActive();
    void applicationWillResignActive();
    bool isTerminated() const { return m_terminated; }
    // Quits through the normal shutdown (queued); later calls do nothing.
    void terminate();
    bool isTerminationRequested() const { return m_terminationRequested; }
    // Shows the About window (icon, version, license, the program's address), made once.
    void aboutMenuItemAction();
    QMessageBox *aboutWindow() const;

    // --- Notification handlers
    void newItemHandler(const Notification &notification);
    void updateItemHandler(const Notification &notification);
    void colorBarScreenOptionHandler(const Notification &notification);
    void checkAuthorizationHandler(const Notification &notification);
    void didChangedPasteEnableStateHandler(const Notification &notification);
    void dayChangedHandler(const Notification &notification);
    void ubiquitousKeyValueStoreDidChange(const Notification &notification);
    // Deletions, clears and auto-clean: the digit keys follow the shortened history.
    void historyShortenedHandler(const Notification &notification);

    // Shows the welcome window; false when there is none to show.
    bool showWelcomeWindow();
    void updateDayChangedObserver();
    void showAuthorizer(const QVariantMap &userInfo);
    void observeApplicationDeactivation();
    // One look at the active window (see ActiveWindowWatcher).
    void pollFrontmostApplication();
    QFileDialog &openPanel();

    // --- Hot keys and quick selection
    void registerDefaultShortcuts();
    void closeCategoryList();
    void showClearAllAlert();
    // A global shortcut another program holds: the user is told which, in one alert for all those
    // refused in one turn of the event loop.
    void tellRefusedShortcut(const Shortcut &shortcut);
    void unregisterQuickSelectionShortcuts() { m_quickSelectionKeys->unregisterAll(); }
    // The completion of the recent-items request: binds digit key i + 1 to item i.
    void refreshQuickSelection(const QList<PBItem> &items) { m_quickSelectionKeys->refresh(items); }
    // Asks the history for its first items, read off the GUI thread, with refreshQuickSelection()
    // as the completion. Coalesced: several calls in one turn of the event loop make one request.
    // Any thread.
    void requestQuickSelectionRefresh() { m_quickSelectionKeys->requestRefresh(); }
    // Whether a requested refresh of the digit keys is still to be made. Main thread.
    bool isQuickSelectionRefreshing() const { return m_quickSelectionKeys->isRefreshing(); }
    // The digit key's action: copies the item out, pastes it when quick paste is on.
    void pasteItem(const PBItem &item) { m_quickSelectionKeys->paste(item); }
    // The modifier of the digit keys from "historyQuickSelectionKey".
    static quint32 quickSelectionModifier() { return QuickSelectionKeys::modifier(); }
    // The digit keys registered now, in key order.
    QList<Shortcut> registeredQuickSelectionShortcuts() const { return m_quickSelectionKeys->registered(); }

    // --- Launch at login (see LaunchAtLogin)
    LoginItem::Result setLaunchAtLogin(bool enabled) { return LaunchAtLogin::setEnabled(enabled); }
    void checkLaunchAtLogin() { LaunchAtLogin::check(); }
    static QString helperExecutablePath() { return LaunchAtLogin::helperExecutablePath(); }
    bool isLoginHelperRunning() const { return LaunchAtLogin::isHelperRunning(); }

    // --- Feedback and status icon (see OperationFeedback, StatusIcon)
    // Any thread: the sound plays at once, the panel and the animation on the main queue.
    void showFeedback(OperationType operation, bool hideHUD, int count);
    void animateStatusIcon();
    void updateStatusItem();
    // The status icon's tooltip: the program's name, and how many copies this session could not
    // record when there were any.
    QString statusToolTip() const;
    void updatePasteEnableState();
    // Without a system tray the status menu opens from the color bar's "+" row and the quick-paste
    // panel's menu button: a window says so once, the first time no tray is found.
    void tellMenuPlacesIfNoTray();
    QMessageBox *noTrayWindow() const;
    // How long after launch a tray may still appear (tests shorten it).
    static inline int noTrayGraceMs = 4000;
    // The name of the image the status icon shows now (empty without a status icon).
    QString statusItemImageName() const;
    bool isStatusIconAnimating() const;

    // --- State
    QPointer<QWidget> mainWindowController;
    TaviPBManager &pbManager;
    // Watches the cloud account from creation on; mirroring goes off while it is not available.
    CloudKitManager cloudkitManager;
    QSystemTrayIcon *statusItem() const;
    QList<PBItem> lastItems;
    QPointer<QMenu> statusBarMenu;
    TaviMenuBarController *menuBarController() const { return m_menuBarController.get(); }
    int statusItemIndex = -1;
    std::optional<RunningApplication> lastActiveApplication;
    QPointer<QWidget> welcomeWindowController;
    SearchHUDIntroWindowController *searchTipWC();
    FeedbackPanel *hud() const;
    int currentFrame = 1;

private:
    // The menu goes after the status icon that shows it (members go in reverse order).
    std::unique_ptr<QFileDialog> m_openPanel;
    std::unique_ptr<TaviMenuBarController> m_menuBarController;
    std::unique_ptr<StatusIcon> m_statusIcon;
    std::unique_ptr<OperationFeedback> m_feedback;
    std::optional<SearchHUDIntroWindowController *> m_searchTipWC;
    std::unique_ptr<ActiveWindowWatcher> m_windowWatcher;
    std::unique_ptr<QuickSelectionKeys> m_quickSelectionKeys;
    QPointer<QMessageBox> m_aboutWindow;
    QStringList m_refusedShortcuts; // waiting for the alert queued to tell them
    ObserverBag m_observers;
    std::unique_ptr<StartUpSequence> m_startUp;
    std::unique_ptr<ShutdownSequence> m_shutdown;
    QTimer *m_dayTimer = nullptr;
    bool m_launched = false;
    bool m_terminated = false;
    bool m_terminationRequested = false;
};
