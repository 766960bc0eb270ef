#include "platform/x11/X11ShortcutMonitor.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"

using namespace std::chrono_literals;

namespace {
constexpr auto kServerTimeout = 1000ms;
constexpr uint8_t kBadAccess = 10;
} // namespace

std::unique_ptr<X11ShortcutMonitor> X11ShortcutMonitor::create()
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return nullptr;
    return std::unique_ptr<X11ShortcutMonitor>(new X11ShortcutMonitor(std::move(connection)));
}

X11ShortcutMonitor::X11ShortcutMonitor(std::unique_ptr<XcbConnection> connection)
    : m_connection(std::move(connection)),
      m_keyboard(std::make_unique<X11Keyboard>(*m_connection)),
      m_loop(*m_connection, QStringLiteral("hot keys"))
{
    m_loop.start([this](const xcb_generic_event_t &event) { handleEvent(event); });
}

X11ShortcutMonitor::~X11ShortcutMonitor()
{
    unregisterAllShortcuts();
    m_loop.stop();
}

QList<uint16_t> X11ShortcutMonitor::lockVariants() const
{
    const uint16_t numLock = m_keyboard->numLockMask();
    return {0, XCB_MOD_MASK_LOCK, numLock, uint16_t(numLock | XCB_MOD_MASK_LOCK)};
}

std::optional<X11ShortcutMonitor::Grab> X11ShortcutMonitor::target(const Shortcut &shortcut) const
{
    const xcb_keysym_t keysym = X11Keyboard::keysymForQtKey(Shortcut::qtKey(shortcut.keyCode));
    const std::optional<xcb_keycode_t> keycode = m_keyboard->keycodeFor(keysym);
    if (!keycode)
        return std::nullopt;
    return Grab{*keycode, m_keyboard->modifiersFor(shortcut.modifierFlags)};
}

std::optional<X11ShortcutMonitor::Grab> X11ShortcutMonitor::grab(const Shortcut &shortcut)
{
    const std::optional<Grab> wanted = target(shortcut);
    if (!wanted) {
        LOG_WARNING("X11ShortcutMonitor::grab()",
                    QStringLiteral("No key on this keyboard for %1").arg(shortcut.displayText()));
        return std::nullopt;
    }
    const Grab result = *wanted;
    xcb_connection_t *c = m_connection->raw();
    QList<xcb_void_cookie_t> cookies;
    for (uint16_t variant : lockVariants())
        cookies.append(xcb_grab_key_checked(c, 1, m_connection->root(), uint16_t(result.modifiers | variant),
                                            result.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool taken = false;
    bool failed = false;
    for (const xcb_void_cookie_t &cookie : cookies) {
        if (XcbReply<xcb_generic_error_t> error{xcb_request_check(c, cookie)}) {
            failed = true;
            taken = taken || error->error_code == kBadAccess;
        }
    }
    if (failed) {
        ungrab(result);
        LOG_WARNING("X11ShortcutMonitor::grab()",
                    taken ? QStringLiteral("%1 is already used by another program").arg(shortcut.displayText())
                          : QStringLiteral("%1 could not be registered").arg(shortcut.displayText()));
        return std::nullopt;
    }
    return result;
}

void X11ShortcutMonitor::ungrab(const Grab &grab)
{
    for (uint16_t variant : lockVariants())
        xcb_ungrab_key(m_connection->raw(), grab.keycode, m_connection->root(), uint16_t(grab.modifiers | variant));
    m_connection->flush();
}

bool X11ShortcutMonitor::registerShortcut(const Shortcut &shortcut, std::function<void()> action)
{
    if (!shortcut.isValid())
        return false;
    const Key key{shortcut.keyCode, shortcut.modifierFlags};
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_registrations.find(key);
        if (found != m_registrations.end()) {
            found->second.second = std::move(action);
            return true;
        }
    }
    // The task may outlive a timed-out wait: it owns what it uses.
    auto registered = std::make_shared<std::atomic<bool>>(false);
    const bool answered = m_loop.postAndWait(
        [this, shortcut, key, action = std::move(action), registered] {
            if (std::optional<Grab> grabbed = grab(shortcut)) {
                std::lock_guard lock(m_mutex);
                // Suspended: the grab only asked whether another program holds the combination.
                if (m_suspended)
                    ungrab(*grabbed);
                m_registrations[key] = {*grabbed, action};
                *registered = true;
            }
        },
        kServerTimeout);
    if (!answered)
        LOG_WARNING("X11ShortcutMonitor::registerShortcut()", QStringLiteral("The X server did not answer in time"));
    return answered && *registered;
}

void X11ShortcutMonitor::unregisterShortcut(const Shortcut &shortcut)
{
    std::optional<Grab> grab;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_registrations.find({shortcut.keyCode, shortcut.modifierFlags});
        if (found == m_registrations.end())
            return;
        grab = found->second.first;
        m_registrations.erase(found);
        if (m_suspended)
            return;
    }
    m_loop.post([this, grab = *grab] { ungrab(grab); });
}

void X11ShortcutMonitor::unregisterAllShortcuts()
{
    QList<Grab> grabs;
    {
        std::lock_guard lock(m_mutex);
        if (!m_suspended)
            for (const auto &entry : m_registrations)
                grabs.append(entry.second.first);
        m_registrations.clear();
    }
    if (!grabs.isEmpty())
        m_loop.postAndWait(
            [this, grabs] {
                for (const Grab &grab : grabs)
                    ungrab(grab);
            },
            kServerTimeout);
}

void X11ShortcutMonitor::setSuspended(bool suspended)
{
    QList<Grab> grabs;
    {
        std::lock_guard lock(m_mutex);
        if (m_suspended == suspended)
            return;
        m_suspended = suspended;
        for (const auto &entry : m_registrations)
            grabs.append(entry.second.first);
    }
    if (suspended) {
        m_loop.postAndWait(
            [this, grabs] {
                for (const Grab &grab : grabs)
                    ungrab(grab);
            },
            kServerTimeout);
        return;
    }
    // The keyboard may have changed meanwhile, and another program may have taken a combination.
    m_loop.postAndWait(
        [this] {
            std::lock_guard lock(m_mutex);
            if (m_suspended)
                return;
            for (auto it = m_registrations.begin(); it != m_registrations.end();) {
                const Shortcut shortcut(it->first.first, it->first.second);
                if (const std::optional<Grab> grabbed = grab(shortcut)) {
                    it->second.first = *grabbed;
                    ++it;
                } else {
                    LOG_WARNING("X11ShortcutMonitor::setSuspended()",
                                QStringLiteral("%1 could not be held again").arg(shortcut.displayText()));
                    it = m_registrations.erase(it);
                }
            }
        },
        kServerTimeout);
}

bool X11ShortcutMonitor::isSuspended() const
{
    std::lock_guard lock(m_mutex);
    return m_suspended;
}

bool X11ShortcutMonitor::isShortcutRegistered(const Shortcut &shortcut) const
{
    std::lock_guard lock(m_mutex);
    return m_registrations.count({shortcut.keyCode, shortcut.modifierFlags}) > 0;
}

void X11ShortcutMonitor::handleEvent(const xcb_generic_event_t &event)
{
    const uint8_t type = event.response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        auto mapping = reinterpret_cast<const xcb_mapping_notify_event_t &>(event);
        if (mapping.request == XCB_MAPPING_POINTER)
            return;
        // The server also says so when only the sending keyboard changes (XTest, say): a shortcut
        // whose key and modifiers stay keeps its grab, so it is never missing for a moment. One
        // whose key moved is grabbed on its new code before the old grab goes.
        std::lock_guard lock(m_mutex);
        m_keyboard->refresh(&mapping);
        if (m_suspended)
            return; // resuming grabs every combination on the keyboard of that moment
        for (auto it = m_registrations.begin(); it != m_registrations.end();) {
            const Shortcut shortcut(it->first.first, it->first.second);
            const Grab old = it->second.first;
            const std::optional<Grab> wanted = target(shortcut);
            if (wanted && wanted->keycode == old.keycode && wanted->modifiers == old.modifiers) {
                ++it;
                continue;
            }
            const std::optional<Grab> grabbed = wanted ? grab(shortcut) : std::nullopt;
            ungrab(old);
            if (grabbed) {
                it->second.first = *grabbed;
                ++it;
            } else {
                it = m_registrations.erase(it);
            }
        }
        return;
    }
    if (type == XCB_KEY_RELEASE) {
        const auto &release = reinterpret_cast<const xcb_key_release_event_t &>(event);
        m_lastRelease.insert(release.detail, release.time);
        return;
    }
    if (type != XCB_KEY_PRESS)
        return;
    const auto &press = reinterpret_cast<const xcb_key_press_event_t &>(event);
    // Auto-repeat sends a release and a press with one time stamp: one press, one action.
    if (m_lastRelease.value(press.detail, 0) == press.time)
        return;
    const uint16_t relevant =
        XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | m_keyboard->altMask() | m_keyboard->superMask();
    const uint16_t state = press.state & relevant;
    std::function<void()> action;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &entry : m_registrations) {
            const Grab &grab = entry.second.first;
            if (grab.keycode == press.detail && grab.modifiers == state) {
                action = entry.second.second;
                break;
            }
        }
    }
    if (action)
        MainQueue::async(std::move(action));
}
