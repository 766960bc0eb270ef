#pragma once
// The shell on in-memory desktop backends and a fresh history store, for tests: a history
// manager, recording hot keys and key posting, and an application delegate that is made on demand.

#include "capture/TaviPBManager.h"
#include "core/PBCategoryManager.h"
#include "platform/memory/FakeWorkspace.h"
#include "platform/memory/MemoryPasteboard.h"
#include "platform/memory/RecordingKeyEventPoster.h"
#include "platform/memory/RecordingShortcutMonitor.h"
#include "support/TestEnvironment.h"

#include <QStringList>

#include <memory>

class AppDelegate;

class ShellHarness {
public:
    ShellHarness();
    ~ShellHarness();

    // Another program's copy of a text, then one poll and the announcements it makes.
    void copyText(const QString &text);
    void settle();
    PBItem item(const QString &text);
    // The text on the clipboard now.
    QString clipboardText();

    AppDelegate &makeDelegate();
    // A new delegate, launched, with the texts copied after it (the last one newest).
    AppDelegate &launchWith(const QStringList &texts);

    static RunningApplication editor();

    std::unique_ptr<ScopedXdgHome> home;
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    std::unique_ptr<PBCategoryManager> categories;
    std::unique_ptr<TaviPBManager> manager;
    std::unique_ptr<AppDelegate> delegate;
    RecordingShortcutMonitor *shortcuts = nullptr;
    RecordingKeyEventPoster *keys = nullptr;
    FakeAccessibilityTrust *trust = nullptr;
    QStringList sounds;
};
