#pragma once
// The keyboard as the X server maps it: key codes of keysyms, and which modifier bits stand for
// Super, Alt and Num Lock on this server (read at run time; they differ between set-ups).

#include "platform/x11/XcbConnection.h"

#include <xcb/xcb_keysyms.h>

#include <optional>

class X11Keyboard {
public:
    explicit X11Keyboard(XcbConnection &connection);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard &) = delete;
    X11Keyboard &operator=(const X11Keyboard &) = delete;

    // Reads the maps again after the server announced a change (MappingNotify).
    void refresh(xcb_mapping_notify_event_t *event = nullptr);

    std::optional<xcb_keycode_t> keycodeFor(xcb_keysym_t keysym) const;
    bool isModifierKey(xcb_keycode_t keycode) const;

    uint16_t superMask() const { return m_superMask; }
    uint16_t altMask() const { return m_altMask; }
    uint16_t numLockMask() const { return m_numLockMask; }

    // X keysym of a Qt key; 0 when there is none.
    static xcb_keysym_t keysymForQtKey(int qtKey);
    // The X modifier state of a stored modifier mask.
    uint16_t modifiersFor(quint32 flags) const;

private:
    uint16_t maskOfKeysym(xcb_keysym_t keysym) const;

    XcbConnection &m_connection;
    xcb_key_symbols_t *m_symbols = nullptr;
    QList<QList<xcb_keycode_t>> m_modifierKeys; // per modifier bit: its key codes
    uint16_t m_superMask = XCB_MOD_MASK_4;
    uint16_t m_altMask = XCB_MOD_MASK_1;
    uint16_t m_numLockMask = XCB_MOD_MASK_2;
};
