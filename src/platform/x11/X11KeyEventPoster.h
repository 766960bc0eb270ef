#pragma once
// The paste keystroke through XTest, on a thread and connection of its own: it waits (bounded)
// until the active window is no longer ours, lets go of modifiers the user still holds, then
// presses and releases Ctrl+V.

#include "platform/DispatchQueue.h"
#include "platform/KeyEventPoster.h"
#include "platform/x11/X11Keyboard.h"

#include <chrono>

class X11KeyEventPoster : public KeyEventPoster {
public:
    static constexpr std::chrono::milliseconds kFocusTimeout{1000};

    // None without an X server or the XTest extension.
    static std::unique_ptr<X11KeyEventPoster> create();
    ~X11KeyEventPoster() override;

    void postPasteKeystroke() override;

private:
    explicit X11KeyEventPoster(std::unique_ptr<XcbConnection> connection);
    void paste();
    bool focusIsElsewhere(qint64 ownProcess);
    void fakeKey(uint8_t type, xcb_keycode_t keycode);

    std::unique_ptr<XcbConnection> m_connection;
    std::unique_ptr<X11Keyboard> m_keyboard; // queue only
    SerialQueue m_queue{QStringLiteral("com.tavi.keyEvents")};
};

class X11AccessibilityTrust : public AccessibilityTrust {
public:
    explicit X11AccessibilityTrust(bool hasXTest) : m_hasXTest(hasXTest) {}
    // No prompt exists on X11: the XTest extension is there or not.
    bool isProcessTrusted(bool prompt) override;
    static bool serverHasXTest();

private:
    bool m_hasXTest;
};
