#pragma once
// A history manager on an in-memory pasteboard and workspace and a fresh store, for tests.

#include "capture/TaviPBManager.h"
#include "core/PBCategoryManager.h"
#include "core/store/CoreDataStack.h"
#include "platform/NotificationCenter.h"
#include "platform/memory/FakeWorkspace.h"
#include "platform/memory/MemoryPasteboard.h"
#include "support/TestEnvironment.h"

#include <QList>
#include <QSignalSpy>
#include <QVariantMap>

#include <atomic>
#include <memory>

struct PostedNotification {
    QString name;
    QVariantMap userInfo;
    bool onMainThread = false;
};

class CaptureHarness {
public:
    CaptureHarness();
    ~CaptureHarness();

    // Another program's copy of one or more items, then one poll.
    void copyFromOutside(const QList<PasteboardItem> &items);
    void copyText(const QString &text);
    // Lets queued main-thread work (the batch's announcements) run.
    void settle();

    QList<PostedNotification> posted(const QString &name) const;
    // The texts of the problems told (problems().problemOccurred), and the totals of lost copies
    // announced (problems().copiesLost), in order; each signal with whether it came on the main thread.
    QStringList told() const;
    QList<qint64> lostTotals() const;
    bool signalledOnMainThreadOnly() const { return m_signalledOnMainThreadOnly.load(); }
    void clearPosted();
    // Watches the problems of `manager` (again, after a test replaced it); what was seen before is forgotten.
    void watchProblems();
    QStringList texts(); // every item's text, in getAllItems() order
    PBItem item(const QString &text);

    static PasteboardItem textItem(const QString &text);
    // A file manager's copy of one file.
    static PasteboardItem fileItem(const QString &path);
    static RunningApplication editor();
    PBCategory userCategory(const QString &name, bool locked = false);

    std::unique_ptr<ScopedXdgHome> home;
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    std::unique_ptr<PBCategoryManager> categories;
    std::unique_ptr<TaviPBManager> manager;

private:
    std::unique_ptr<QSignalSpy> m_told;
    std::unique_ptr<QSignalSpy> m_lost;
    std::atomic<bool> m_signalledOnMainThreadOnly{true};
    std::shared_ptr<QList<PostedNotification>> m_posted = std::make_shared<QList<PostedNotification>>();
    NotificationCenter::Token m_token = 0;
};
