#pragma once
// Key posting and trust for tests: counts the paste keystrokes and answers a set trust.

#include "platform/KeyEventPoster.h"

#include <atomic>

class RecordingKeyEventPoster : public KeyEventPoster {
public:
    void postPasteKeystroke() override { ++m_pastes; }
    int pasteKeystrokeCount() const { return m_pastes; }

private:
    std::atomic<int> m_pastes = 0;
};

class FakeAccessibilityTrust : public AccessibilityTrust {
public:
    bool isProcessTrusted(bool prompt) override
    {
        if (prompt)
            ++m_prompts;
        return m_trusted;
    }
    void setTrusted(bool trusted) { m_trusted = trusted; }
    int promptCount() const { return m_prompts; }

private:
    std::atomic<bool> m_trusted = true;
    std::atomic<int> m_prompts = 0;
};
