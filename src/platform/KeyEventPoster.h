#pragma once
// The paste keystroke into the application the user works in, and whether the desktop lets us
// send it.

#include <memory>

class KeyEventPoster {
public:
    virtual ~KeyEventPoster() = default;

    static KeyEventPoster &shared();
    static void setShared(std::unique_ptr<KeyEventPoster> poster);

    // Main thread; returns at once. Sends the paste chord (Ctrl+V, press and release) to the
    // focused window once focus has left this program's windows (waiting for it a bounded time),
    // after releasing modifiers the user still holds.
    virtual void postPasteKeystroke() = 0;
};

class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;

    static AccessibilityTrust &shared();
    static void setShared(std::unique_ptr<AccessibilityTrust> trust);

    // Whether synthetic key events reach other programs. `prompt` asks the desktop to let the
    // user grant it where it can. Main thread.
    virtual bool isProcessTrusted(bool prompt) = 0;
};
