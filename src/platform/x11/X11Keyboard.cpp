#include "platform/x11/X11Keyboard.h"

#include "platform/Shortcut.h"

#include <Qt>

namespace {
constexpr xcb_keysym_t kNumLock = 0xff7f;
constexpr xcb_keysym_t kSuperL = 0xffeb;
constexpr xcb_keysym_t kSuperR = 0xffec;
constexpr xcb_keysym_t kAltL = 0xffe9;
constexpr xcb_keysym_t kAltR = 0xffea;
constexpr xcb_keysym_t kMetaL = 0xffe7;
} // namespace

X11Keyboard::X11Keyboard(XcbConnection &connection) : m_connection(connection)
{
    m_symbols = xcb_key_symbols_alloc(connection.raw());
    refresh();
}

X11Keyboard::~X11Keyboard()
{
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
}

void X11Keyboard::refresh(xcb_mapping_notify_event_t *event)
{
    if (event)
        xcb_refresh_keyboard_mapping(m_symbols, event);
    xcb_connection_t *c = m_connection.raw();
    XcbReply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    m_modifierKeys.clear();
    if (reply) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            QList<xcb_keycode_t> keys;
            for (int i = 0; i < perModifier; ++i) {
                if (const xcb_keycode_t code = codes[modifier * perModifier + i])
                    keys.append(code);
            }
            m_modifierKeys.append(keys);
        }
    }
    if (const uint16_t mask = maskOfKeysym(kNumLock))
        m_numLockMask = mask;
    if (const uint16_t mask = maskOfKeysym(kSuperL) | maskOfKeysym(kSuperR))
        m_superMask = mask;
    if (const uint16_t mask = maskOfKeysym(kAltL) | maskOfKeysym(kAltR) | maskOfKeysym(kMetaL))
        m_altMask = mask;
}

uint16_t X11Keyboard::maskOfKeysym(xcb_keysym_t keysym) const
{
    const std::optional<xcb_keycode_t> code = keycodeFor(keysym);
    if (!code)
        return 0;
    for (int modifier = 0; modifier < m_modifierKeys.size(); ++modifier) {
        if (modifier >= 3 && m_modifierKeys[modifier].contains(*code)) // Mod1..Mod5
            return uint16_t(1u << modifier);
    }
    return 0;
}

std::optional<xcb_keycode_t> X11Keyboard::keycodeFor(xcb_keysym_t keysym) const
{
    if (!m_symbols || keysym == 0)
        return std::nullopt;
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_symbols, keysym);
    if (!codes)
        return std::nullopt;
    const xcb_keycode_t first = codes[0];
    std::free(codes);
    if (first == XCB_NO_SYMBOL)
        return std::nullopt;
    return first;
}

bool X11Keyboard::isModifierKey(xcb_keycode_t keycode) const
{
    for (const QList<xcb_keycode_t> &keys : m_modifierKeys) {
        if (keys.contains(keycode))
            return true;
    }
    return false;
}

uint16_t X11Keyboard::modifiersFor(quint32 flags) const
{
    uint16_t state = 0;
    if (flags & Shortcut::kShift)
        state |= XCB_MOD_MASK_SHIFT;
    if (flags & Shortcut::kControl)
        state |= XCB_MOD_MASK_CONTROL;
    if (flags & Shortcut::kOption)
        state |= m_altMask;
    if (flags & Shortcut::kCommand)
        state |= m_superMask;
    return state;
}

xcb_keysym_t X11Keyboard::keysymForQtKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return xcb_keysym_t('a' + (key - Qt::Key_A));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return xcb_keysym_t(0xffbe + (key - Qt::Key_F1));
    if (key >= 0x20 && key <= 0x7e)
        return xcb_keysym_t(key); // Latin-1 keys share their codes
    switch (key) {
    case Qt::Key_section: return 0xa7;
    case Qt::Key_Return: return 0xff0d;
    case Qt::Key_Enter: return 0xff8d;
    case Qt::Key_Tab: return 0xff09;
    case Qt::Key_Backspace: return 0xff08;
    case Qt::Key_Escape: return 0xff1b;
    case Qt::Key_Delete: return 0xffff;
    case Qt::Key_Insert: return 0xff63;
    case Qt::Key_Home: return 0xff50;
    case Qt::Key_End: return 0xff57;
    case Qt::Key_PageUp: return 0xff55;
    case Qt::Key_PageDown: return 0xff56;
    case Qt::Key_Left: return 0xff51;
    case Qt::Key_Up: return 0xff52;
    case Qt::Key_Right: return 0xff53;
    case Qt::Key_Down: return 0xff54;
    case Qt::Key_Clear: return 0xff0b;
    case Qt::Key_Help: return 0xff6a;
    default: return 0;
    }
}
