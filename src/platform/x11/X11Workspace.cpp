#include "platform/x11/X11Workspace.h"

#include "platform/DesktopEntries.h"
#include "platform/Strings.h"

#include <QDesktopServices>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

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
    return std::unique_ptr<X11Workspace>(new X11Workspace(std::move(connection), XcbConnection::open()));
}

X11Workspace::X11Workspace(std::unique_ptr<XcbConnection> connection, std::unique_ptr<XcbConnection> watchConnection)
    : m_ownName(QGuiApplication::applicationDisplayName()),
      m_ownIdentifier(ownIdentifier()),
      m_connection(std::move(connection)),
      m_watchConnection(std::move(watchConnection))
{
    if (!m_watchConnection)
        return;
    const xcb_atom_t activeAtom = m_watchConnection->atom("_NET_ACTIVE_WINDOW");
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_watchConnection->raw(), m_watchConnection->root(), XCB_CW_EVENT_MASK, &mask);
    m_watchConnection->flush();
    noteActiveWindow(*m_watchConnection);
    m_watchLoop = std::make_unique<XcbEventLoop>(*m_watchConnection, QStringLiteral("active window"));
    m_watchLoop->start([this, activeAtom](const xcb_generic_event_t &event) {
        if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return;
        const auto &notify = reinterpret_cast<const xcb_property_notify_event_t &>(event);
        if (notify.window == m_watchConnection->root() && notify.atom == activeAtom)
            activeWindowChanged();
    });
}

X11Workspace::~X11Workspace()
{
    if (m_watchLoop)
        m_watchLoop->stop();
}

void X11Workspace::noteActiveWindow(XcbConnection &connection)
{
    const std::optional<xcb_window_t> active =
        connection.windowProperty(connection.root(), connection.atom("_NET_ACTIVE_WINDOW"));
    if (active && *active != XCB_WINDOW_NONE && connection.processOfWindow(*active) != ::getpid())
        m_lastOtherWindow = *active;
}

bool X11Workspace::activateOtherApplication()
{
    const xcb_window_t target = m_lastOtherWindow;
    if (target == XCB_WINDOW_NONE || !m_watchLoop)
        return false;
    std::lock_guard lock(m_mutex);
    const xcb_window_t active = readActiveWindow();
    if (active != XCB_WINDOW_NONE && m_connection->processOfWindow(active) != ::getpid())
        return true;
    xcb_connection_t *c = m_connection->raw();
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, target), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return false; // closed or minimised since
    // Asked as a pager would (source 2): window managers honour it without focus-stealing rules.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = target;
    message.type = m_connection->atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2;
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = active;
    xcb_send_event(c, 0, m_connection->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    m_connection->flush();
    return true;
}

void X11Workspace::activeWindowChanged()
{
    noteActiveWindow(*m_watchConnection);
    std::lock_guard lock(m_observerMutex);
    if (m_observer)
        m_observer();
}

bool X11Workspace::setFrontmostApplicationObserver(std::function<void()> changed)
{
    std::lock_guard lock(m_observerMutex);
    m_observer = std::move(changed);
    return m_watchLoop != nullptr;
}

xcb_window_t X11Workspace::readActiveWindow()
{
    const std::optional<xcb_window_t> active =
        m_connection->windowProperty(m_connection->root(), m_connection->atom("_NET_ACTIVE_WINDOW"));
    return active ? *active : xcb_window_t(XCB_WINDOW_NONE);
}

bool X11Workspace::isDesktopWindow(xcb_window_t window)
{
    std::lock_guard lock(m_mutex);
    const QByteArray types = m_connection->property(window, m_connection->atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM);
    const xcb_atom_t desktop = m_connection->atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    for (qsizetype i = 0; i + 4 <= types.size(); i += 4) {
        xcb_atom_t type = 0;
        std::memcpy(&type, types.constData() + i, 4);
        if (type == desktop)
            return true;
    }
    return false;
}

RunningApplication X11Workspace::applicationForClipboardOwner(xcb_window_t owner, xcb_window_t active)
{
    if (active != XCB_WINDOW_NONE && active != m_connection->root() && !isDesktopWindow(active)) {
        if (std::optional<RunningApplication> app = applicationForWindow(active);
            app && app->processIdentifier != ::getpid())
            return *app;
    }
    if (std::optional<RunningApplication> app = applicationForWindow(owner))
        return *app;
    // Nothing names the owner (a remote client without class or process): its client stands in.
    RunningApplication client;
    const uint32_t base = owner & ~xcb_get_setup(m_connection->raw())->resource_id_mask;
    const QString id = QStringLiteral("0x%1").arg(base, 0, 16);
    client.localizedName = Strings::text("Workspace.XClient").arg(id);
    client.bundleIdentifier = QStringLiteral("x11-client-") + id;
    return client;
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
        window = readActiveWindow();
        if (window == XCB_WINDOW_NONE) {
            // No window manager keeps the active window: the program that copied last stands in.
            xcb_connection_t *c = m_connection->raw();
            XcbReply<xcb_get_selection_owner_reply_t> owner(
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_connection->atom("CLIPBOARD")), nullptr));
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

QString X11Workspace::ownBundleIdentifier() const { return m_ownIdentifier; }

bool X11Workspace::openUrl(const QUrl &url)
{
    if (!url.isValid())
        return false;
    // The desktop's opener, and the program it starts, complain on standard error quoting the URL
    // (a copied address or folder) when nothing handles it: their output is discarded. Without
    // one, Qt looks for another opener, and its complaint goes through the log's redaction.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url);
    QProcess process;
    process.setProgram(opener);
    process.setArguments({QString::fromLatin1(url.toEncoded())});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
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

QIcon X11Workspace::iconForFile(const QString &path) { return QFileIconProvider().icon(QFileInfo(path)); }
