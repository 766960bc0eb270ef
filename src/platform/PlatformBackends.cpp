#include "platform/PlatformBackends.h"

#include "platform/FullScreenWindows.h"
#include "platform/KeyEventPoster.h"
#include "platform/Log.h"
#include "platform/MouseUpMonitor.h"
#include "platform/Pasteboard.h"
#include "platform/ShortcutMonitor.h"
#include "platform/Workspace.h"
#include "platform/memory/FakeFullScreenWindows.h"
#include "platform/memory/FakeMouseUpMonitor.h"
#include "platform/memory/FakeWorkspace.h"
#include "platform/memory/MemoryPasteboard.h"
#include "platform/memory/RecordingKeyEventPoster.h"
#include "platform/memory/RecordingShortcutMonitor.h"
#include "platform/x11/X11FullScreenWindows.h"
#include "platform/x11/X11KeyEventPoster.h"
#include "platform/x11/X11MouseUpMonitor.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11ShortcutMonitor.h"
#include "platform/x11/X11WindowPing.h"
#include "platform/x11/X11Workspace.h"
#include "platform/x11/XcbEventLoop.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

#include <xcb/xcb.h>

#include <atomic>
#include <mutex>

namespace {

// One replaceable instance per interface; the fake is made on first use.
template <typename Interface, typename Fake>
class Slot {
public:
    Interface &get()
    {
        std::lock_guard lock(m_mutex);
        if (!m_instance)
            m_instance = std::make_unique<Fake>();
        return *m_instance;
    }
    void set(std::unique_ptr<Interface> instance)
    {
        std::lock_guard lock(m_mutex);
        m_instance = std::move(instance);
    }

private:
    std::mutex m_mutex;
    std::unique_ptr<Interface> m_instance;
};

Slot<ShortcutMonitor, RecordingShortcutMonitor> g_shortcutMonitor;
Slot<KeyEventPoster, RecordingKeyEventPoster> g_keyEventPoster;
Slot<AccessibilityTrust, FakeAccessibilityTrust> g_accessibilityTrust;
Slot<MouseUpMonitor, FakeMouseUpMonitor> g_mouseUpMonitor;
Slot<FullScreenWindows, FakeFullScreenWindows> g_fullScreenWindows;
std::atomic<PlatformBackends::Kind> g_current = PlatformBackends::Kind::Memory;

void installMemory()
{
    Pasteboard::setGeneral(std::make_unique<MemoryPasteboard>());
    Workspace::setShared(std::make_unique<FakeWorkspace>());
    ShortcutMonitor::setShared(std::make_unique<RecordingShortcutMonitor>());
    KeyEventPoster::setShared(std::make_unique<RecordingKeyEventPoster>());
    AccessibilityTrust::setShared(std::make_unique<FakeAccessibilityTrust>());
    MouseUpMonitor::setShared(std::make_unique<FakeMouseUpMonitor>());
    FullScreenWindows::setShared(std::make_unique<FakeFullScreenWindows>());
}

} // namespace

ShortcutMonitor &ShortcutMonitor::shared() { return g_shortcutMonitor.get(); }
void ShortcutMonitor::setShared(std::unique_ptr<ShortcutMonitor> monitor) { g_shortcutMonitor.set(std::move(monitor)); }
KeyEventPoster &KeyEventPoster::shared() { return g_keyEventPoster.get(); }
void KeyEventPoster::setShared(std::unique_ptr<KeyEventPoster> poster) { g_keyEventPoster.set(std::move(poster)); }
AccessibilityTrust &AccessibilityTrust::shared() { return g_accessibilityTrust.get(); }
void AccessibilityTrust::setShared(std::unique_ptr<AccessibilityTrust> trust)
{
    g_accessibilityTrust.set(std::move(trust));
}
MouseUpMonitor &MouseUpMonitor::shared() { return g_mouseUpMonitor.get(); }
void MouseUpMonitor::setShared(std::unique_ptr<MouseUpMonitor> monitor) { g_mouseUpMonitor.set(std::move(monitor)); }
FullScreenWindows &FullScreenWindows::shared() { return g_fullScreenWindows.get(); }
void FullScreenWindows::setShared(std::unique_ptr<FullScreenWindows> windows)
{
    g_fullScreenWindows.set(std::move(windows));
}

namespace PlatformBackends {

void preferX11()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

bool hasDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened;
}

Kind install()
{
    const bool onX11 = QGuiApplication::platformName() == QLatin1String("xcb");
    if (!onX11)
        LOG_WARNING("PlatformBackends::install()",
                    QStringLiteral("Not on an X11 display (Qt platform \"%1\"): the clipboard "
                                   "is not watched and hot keys do not work")
                        .arg(QGuiApplication::platformName()));
    return install(onX11 ? Kind::X11 : Kind::Memory);
}

// Each X11 backend that cannot start (no X server, a missing extension) leaves its fake in place.
bool installX11()
{
    X11WindowPing::install();
    std::unique_ptr<X11Pasteboard> pasteboard = X11Pasteboard::create();
    if (!pasteboard)
        return false;
    pasteboard->setApplicationResolver(
        [](xcb_window_t owner, xcb_window_t active) -> std::optional<RunningApplication> {
            if (auto *workspace = dynamic_cast<X11Workspace *>(&Workspace::shared()))
                return workspace->applicationForClipboardOwner(owner, active);
            return std::nullopt;
        });
    Pasteboard::setGeneral(std::move(pasteboard));
    if (auto workspace = X11Workspace::create())
        Workspace::setShared(std::move(workspace));
    if (auto monitor = X11ShortcutMonitor::create())
        ShortcutMonitor::setShared(std::move(monitor));
    else
        LOG_WARNING("PlatformBackends::install()", QStringLiteral("Global hot keys are not available"));
    auto poster = X11KeyEventPoster::create();
    AccessibilityTrust::setShared(std::make_unique<X11AccessibilityTrust>(poster != nullptr));
    if (poster)
        KeyEventPoster::setShared(std::move(poster));
    else
        LOG_WARNING("PlatformBackends::install()",
                    QStringLiteral("No XTest extension: items cannot be pasted directly"));
    if (auto mouse = X11MouseUpMonitor::create())
        MouseUpMonitor::setShared(std::move(mouse));
    if (auto fullScreen = X11FullScreenWindows::create())
        FullScreenWindows::setShared(std::move(fullScreen));
    return true;
}

Kind install(Kind kind)
{
    installMemory();
    if (kind == Kind::X11 && !installX11()) {
        LOG_WARNING("PlatformBackends::install()",
                    QStringLiteral("The X server cannot be used; the clipboard is not watched"));
        kind = Kind::Memory;
    }
    g_current = kind;
    LOG_INFO("PlatformBackends::install()", kind == Kind::X11 ? QStringLiteral("Platform backends: X11")
                                                              : QStringLiteral("Platform backends: in-memory"));
    return kind;
}

Kind current() { return g_current; }

void stopDisplayThreads() { XcbEventLoop::stopAll(); }

bool isSystemTrayAvailable()
{
    static bool warned = false;
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (!available && !warned) {
        warned = true;
        LOG_WARNING("PlatformBackends::isSystemTrayAvailable()",
                    QStringLiteral("No system tray on this desktop: the status icon cannot be shown"));
    }
    return available;
}

} // namespace PlatformBackends
