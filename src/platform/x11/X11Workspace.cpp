#include "platform/x11/X11Workspace.h"

#include "platform/DesktopEntries.h"

#include <QDesktopServices>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstring>
#include <unistd.h>

namespace {
constexpr int kCacheLimit = 256;

QString executableOf(qint64 pid)
{
    if (pid <= 0)
        return {};
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
}

QString ownIdentifier()
{
    const QString desktopName = QGuiApplication::desktopFileName();
    return desktopName.isEmpty() ? QStringLiteral("tavipaste") : desktopName;
}
} // namespace

std::unique_ptr<X11Workspace> X11Workspace::create()
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return nullptr;
    return std::unique_ptr<X11Workspace>(new X11Workspace(std::move(connection)));
}

X11Workspace::X11Workspace(std::unique_ptr<XcbConnection> connection)
    : m_ownName(QGuiApplication::applicationDisplayName()), m_ownIdentifier(ownIdentifier()),
      m_connection(std::move(connection))
{
}

RunningApplication X11Workspace::describe(xcb_window_t window, qint64 pid)
{
    RunningApplication app;
    app.processIdentifier = pid;
    app.executablePath = executableOf(pid);
    if (pid == ::getpid()) {
        app.localizedName = m_ownName;
        app.bundleIdentifier = m_ownIdentifier;
        app.bundlePath = app.executablePath;
        return app;
    }
    const QByteArray classValue = m_connection->property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    const QList<QByteArray> parts = classValue.split('\0');
    const QString instance = QString::fromLocal8Bit(parts.value(0));
    const QString windowClass = QString::fromLocal8Bit(parts.value(1));
    const QString gtkId = QString::fromUtf8(m_connection->property(window, m_connection->atom("_GTK_APPLICATION_ID")));

    DesktopEntries &entries = DesktopEntries::shared();
    std::optional<DesktopEntry> entry;
    if (!gtkId.isEmpty())
        entry = entries.byId(gtkId);
    if (!entry)
        entry = entries.byWindowClass(windowClass);
    if (!entry)
        entry = entries.byWindowClass(instance);
    if (!entry && !app.executablePath.isEmpty())
        entry = entries.byProgram(app.executablePath);

    const QString programName = QFileInfo(app.executablePath).fileName();
    if (entry) {
        app.localizedName = entry->name;
        app.bundleIdentifier = entry->id;
        app.bundlePath = entry->path;
        app.iconName = entry->icon;
    } else {
        app.localizedName = !windowClass.isEmpty() ? windowClass : programName;
        app.bundleIdentifier = !gtkId.isEmpty() ? gtkId : !windowClass.isEmpty() ? windowClass : programName;
        app.bundlePath = app.executablePath;
    }
    return app;
}

std::optional<RunningApplication> X11Workspace::applicationForWindow(xcb_window_t window)
{
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    const qint64 pid = m_connection->processOfWindow(window);
    const auto cached = m_cache.constFind(window);
    if (cached != m_cache.constEnd() && cached->processIdentifier == pid)
        return *cached;
    RunningApplication app = describe(window, pid);
    if (app.bundleIdentifier.isEmpty() && app.localizedName.isEmpty())
        return std::nullopt;
    if (m_cache.size() >= kCacheLimit)
        m_cache.clear();
    m_cache.insert(window, app);
    return app;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication()
{
    xcb_window_t window = XCB_WINDOW_NONE;
    {
        std::lock_guard lock(m_mutex);
        if (std::optional<xcb_window_t> active =
                m_connection->windowProperty(m_connection->root(), m_connection->atom("_NET_ACTIVE_WINDOW")))
            window = *active;
        if (window == XCB_WINDOW_NONE) {
            // No window manager keeps the active window: the program that copied last stands in.
            xcb_connection_t *c = m_connection->raw();
            XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
                c, xcb_get_selection_owner(c, m_connection->atom("CLIPBOARD")), nullptr));
            if (owner)
                window = owner->owner;
        }
    }
    return applicationForWindow(window);
}

QList<RunningApplication> X11Workspace::runningApplications()
{
    QByteArray list;
    {
        std::lock_guard lock(m_mutex);
        list = m_connection->property(m_connection->root(), m_connection->atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    }
    QList<RunningApplication> result;
    auto add = [&result](const RunningApplication &app) {
        for (const RunningApplication &known : result) {
            if (known.bundleIdentifier == app.bundleIdentifier && known.processIdentifier == app.processIdentifier)
                return;
        }
        result.append(app);
    };
    for (qsizetype i = 0; i + 4 <= list.size(); i += 4) {
        xcb_window_t window = 0;
        std::memcpy(&window, list.constData() + i, 4);
        if (std::optional<RunningApplication> app = applicationForWindow(window))
            add(*app);
    }
    RunningApplication own;
    own.localizedName = m_ownName;
    own.bundleIdentifier = m_ownIdentifier;
    own.processIdentifier = ::getpid();
    own.executablePath = executableOf(own.processIdentifier);
    own.bundlePath = own.executablePath;
    add(own);
    return result;
}

QString X11Workspace::ownBundleIdentifier() const
{
    return m_ownIdentifier;
}

bool X11Workspace::openUrl(const QUrl &url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

QIcon X11Workspace::iconForApplication(const QString &bundlePathOrIdentifier)
{
    std::optional<DesktopEntry> entry;
    if (bundlePathOrIdentifier.endsWith(QLatin1String(".desktop")))
        entry = DesktopEntry::read(bundlePathOrIdentifier, QFileInfo(bundlePathOrIdentifier).completeBaseName());
    else
        entry = DesktopEntries::shared().byId(bundlePathOrIdentifier);
    if (entry && !entry->icon.isEmpty()) {
        const QIcon icon = QFileInfo(entry->icon).isAbsolute() ? QIcon(entry->icon) : QIcon::fromTheme(entry->icon);
        if (!icon.isNull())
            return icon;
    }
    const QIcon generic = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return generic.isNull() ? QFileIconProvider().icon(QFileIconProvider::File) : generic;
}

QIcon X11Workspace::iconForFile(const QString &path)
{
    return QFileIconProvider().icon(QFileInfo(path));
}
