#pragma once
// Capture batches: watches the pasteboard and turns each change, in order, into new or bumped
// history items (through the item pipeline), announces them, and counts the copies it could not
// record. The poll and the batches run on the serial capture queue "com.tavi.pbQueue", which
// never waits for the main thread; the state may be read from any thread.

#include "capture/HistoryAnnouncements.h"
#include "capture/HistoryRecords.h"
#include "capture/PasteboardProcessResult.h"
#include "platform/DispatchQueue.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QTimer;
class TaviSettings;

class PasteboardCapture {
public:
    using FolderAuthorizationCheck = std::function<std::optional<QString>(const QList<PasteboardItem> &)>;

    PasteboardCapture(Pasteboard &pasteboard, Workspace &workspace, TaviSettings &settings, HistoryRecords &records,
                      SaveScheduler &saveScheduler, HistoryProblems &problems,
                      UnreadableSettingNotice &unreadableSettings);
    ~PasteboardCapture();
    PasteboardCapture(const PasteboardCapture &) = delete;
    PasteboardCapture &operator=(const PasteboardCapture &) = delete;

    bool isPaused() const { return m_isPaused.load(); }
    void setPaused(bool paused) { m_isPaused.store(paused); }
    bool isProcessing() const { return m_isProcessing.load(); }
    qint64 lastChangeCount() const { return m_lastChangeCount.load(); }
    bool needIgnoreFromSelfCopy() const { return m_needIgnoreFromSelfCopy.load(); }
    // Called just before our own copy-out is written.
    void expectOwnCopy() { m_needIgnoreFromSelfCopy.store(true); }
    qint64 lostCopyCount() const { return m_lostCopies.load(); }
    // Main thread, before monitoring starts.
    void setFolderAuthorizationCheck(FolderAuthorizationCheck check) { m_folderAuthorizationCheck = std::move(check); }

    // Main thread.
    void startMonitoring(std::chrono::milliseconds fallback);
    void stopMonitoring();
    bool isPolling() const { return m_timer != nullptr; }
    // Takes no more changes, and a copy in progress stops at its next item (what it took is
    // kept); the timer goes only on the main thread (or without an application).
    void detach();
    // Runs what is queued and stops the capture queue for good.
    void drain();

    // One poll on the capture queue (waits for it when called elsewhere).
    void retreivePasteboardInfo();
    std::optional<RunningApplication> getCurrentActiveApp();
    void processPasteboardItem(const PasteboardItem &item, const std::optional<RunningApplication> &app,
                               const std::function<void(const PasteboardProcessResult &)> &resultCompletion);

private:
    enum class LossCause { Replaced, NoAnswer, NotTaken };

    void schedulePoll();
    void processBatch();
    // Moves the changes recorded since the last look onto `waiting`, counting those let go.
    void takeNewChanges(std::deque<PasteboardChange> &waiting);
    // Takes the changes made meanwhile and stores the small ones now.
    void takeSmallChangesMeanwhile(std::deque<PasteboardChange> &waiting);
    void processChange(const PasteboardChange &change, std::deque<PasteboardChange> &waiting);
    // Whether the new item is stored: the ignore settings, then a category record to file it under.
    bool store(const PBItem &item, HistoryRecords::CategoryRecords &categoryRecords, QMap<QString, int> &dropped);
    // Asks the folder check about the copied files of the change, if any.
    std::optional<QString> folderToAsk(const QList<PasteboardItem> &items);
    void noteLostCopies(LossCause cause, qint64 count);
    // Tells the user once when the size limit for new copies is on but cannot be read.
    void tellIfSizeLimitIsUnreadable();

    Pasteboard &m_pasteboard;
    Workspace &m_workspace;
    TaviSettings &m_settings;
    HistoryRecords &m_records;
    SaveScheduler &m_saveScheduler;
    HistoryProblems &m_problems;
    UnreadableSettingNotice &m_unreadableSettings;

    std::atomic<bool> m_isPaused{false};
    std::atomic<bool> m_isProcessing{false};
    std::atomic<qint64> m_lastChangeCount{-1};
    std::atomic<bool> m_needIgnoreFromSelfCopy{false};
    std::atomic<bool> m_pollQueued{false};
    std::atomic<bool> m_detached{false};
    std::atomic<qint64> m_lostCopies{0};
    FolderAuthorizationCheck m_folderAuthorizationCheck;
    ToldOnce m_toldLosses; // causes of lost copies the user was told about
    std::unique_ptr<QTimer> m_timer;
    SerialQueue m_pbQueue{QStringLiteral("com.tavi.pbQueue")};
};
