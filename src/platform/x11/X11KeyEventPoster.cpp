#include "platform/x11/X11KeyEventPoster.h"

#include "platform/Log.h"

#include <xcb/xtest.h>

#include <thread>
#include <unistd.h>

namespace {
constexpr xcb_keysym_t kControlL = 0xffe3;
constexpr xcb_keysym_t kLetterV = 0x76;
} // namespace

std::unique_ptr<X11KeyEventPoster> X11KeyEventPoster::create()
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(connection->raw(), &xcb_test_id);
    if (!xtest || !xtest->present)
        return nullptr;
    return std::unique_ptr<X11KeyEventPoster>(new X11KeyEventPoster(std::move(connection)));
}

X11KeyEventPoster::X11KeyEventPoster(std::unique_ptr<XcbConnection> connection) : m_connection(std::move(connection))
{
    m_queue.async([this] { m_keyboard = std::make_unique<X11Keyboard>(*m_connection); });
}

X11KeyEventPoster::~X11KeyEventPoster() { m_queue.shutdown(); }

void X11KeyEventPoster::postPasteKeystroke()
{
    m_queue.async([this] { paste(); });
}

bool X11KeyEventPoster::focusIsElsewhere(qint64 ownProcess)
{
    // Keystrokes go to the input focus; the window manager may name the new active window a
    // moment before it moves the focus there (or the other way round): both must have left us.
    xcb_connection_t *c = m_connection->raw();
    XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const xcb_window_t input = focus ? focus->focus : xcb_window_t(XCB_WINDOW_NONE);
    if (input <= XCB_INPUT_FOCUS_POINTER_ROOT || m_connection->processOfWindow(input) == ownProcess)
        return false;
    const std::optional<xcb_window_t> active =
        m_connection->windowProperty(m_connection->root(), m_connection->atom("_NET_ACTIVE_WINDOW"));
    return !active || *active == XCB_WINDOW_NONE || m_connection->processOfWindow(*active) != ownProcess;
}

void X11KeyEventPoster::fakeKey(uint8_t type, xcb_keycode_t keycode)
{
    xcb_test_fake_input(m_connection->raw(), type, keycode, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}

void X11KeyEventPoster::paste()
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + kFocusTimeout;
    // Asks until the condition holds; false once the deadline has passed.
    const auto waitFor = [deadline](std::chrono::milliseconds interval, const auto &condition) {
        while (!condition()) {
            if (Clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(interval);
        }
        return true;
    };

    // The program hides so that the previous window gets the focus back: wait for that.
    const qint64 ownProcess = ::getpid();
    if (!waitFor(std::chrono::milliseconds(10), [&] { return focusIsElsewhere(ownProcess); })) {
        LOG_WARNING("X11KeyEventPoster::paste()",
                    QStringLiteral("Focus did not return to another window; the paste keystroke is not sent"));
        return;
    }

    xcb_connection_t *c = m_connection->raw();
    XcbReply<xcb_query_keymap_reply_t> keymap;
    const auto isDown = [&keymap](int code) { return keymap && (keymap->keys[code / 8] & (1 << (code % 8))); };
    // While the key of a hot key is down, its grab sends every key event to the grabbing
    // program, our own paste included: wait until only modifiers are held.
    if (!waitFor(std::chrono::milliseconds(5), [&] {
            keymap = XcbReply<xcb_query_keymap_reply_t>(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
            for (int code = 8; code < 256; ++code) {
                if (isDown(code) && !m_keyboard->isModifierKey(xcb_keycode_t(code)))
                    return false;
            }
            return true;
        }))
        LOG_WARNING("X11KeyEventPoster::paste()",
                    QStringLiteral("A key is still held; the paste keystroke may not arrive"));
    // A modifier still held (the hot key's Super, say) would turn Ctrl+V into another chord.
    for (int code = 8; code < 256; ++code) {
        if (isDown(code) && m_keyboard->isModifierKey(xcb_keycode_t(code)))
            fakeKey(XCB_KEY_RELEASE, xcb_keycode_t(code));
    }
    const std::optional<xcb_keycode_t> control = m_keyboard->keycodeFor(kControlL);
    const std::optional<xcb_keycode_t> v = m_keyboard->keycodeFor(kLetterV);
    if (!control || !v) {
        LOG_WARNING("X11KeyEventPoster::paste()", QStringLiteral("The keyboard has no Ctrl or V key"));
        return;
    }
    fakeKey(XCB_KEY_PRESS, *control);
    fakeKey(XCB_KEY_PRESS, *v);
    fakeKey(XCB_KEY_RELEASE, *v);
    fakeKey(XCB_KEY_RELEASE, *control);
    // A round trip: the server has taken all four before the queue moves on.
    XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    LOG_DEBUG("X11KeyEventPoster::paste()", QStringLiteral("Paste keystroke sent"));
}

bool X11AccessibilityTrust::isProcessTrusted(bool prompt)
{
    if (!m_hasXTest && prompt)
        LOG_WARNING("X11AccessibilityTrust::isProcessTrusted()",
                    QStringLiteral("The X server has no XTest extension: keystrokes cannot be sent"));
    return m_hasXTest;
}

bool X11AccessibilityTrust::serverHasXTest()
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return false;
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(connection->raw(), &xcb_test_id);
    return xtest && xtest->present;
}
