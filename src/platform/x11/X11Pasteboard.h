#pragma once
// The CLIPBOARD selection as the general pasteboard. A thread of its own, on its own X
// connection, sees every new owner (XFixes) and reads the new contents at once: the allowed
// targets only, large ones incrementally, each answer and each part within a deadline, however
// long a steady owner takes for the whole. A newer owner cancels an older read at once, even one
// whose large contents are still arriving, and the newer copy is read straight away. Changes are
// recorded in the order they happened. The main thread never waits on another program. PRIMARY is never read.
// Writes go through QClipboard, which answers other programs' requests. Every owner change is
// recorded as a change of its own (see Pasteboard::takeChanges()), with the application it came
// from as the resolver names it at that moment.

#include "platform/Pasteboard.h"
#include "platform/x11/XcbEventLoop.h"

#include <chrono>
#include <condition_variable>
#include <deque>

class X11Pasteboard : public Pasteboard {
public:
    // How long an owner may take for one answer, or for the next part of a large one: an owner
    // silent for longer has stopped sending and its copy is given up.
    static constexpr std::chrono::milliseconds kAnswerTimeout{1000};
    // How long items() off the main thread waits for a read in progress.
    static constexpr std::chrono::milliseconds kReadTimeout{10000};
    // A representation larger than this is left out.
    static constexpr qint64 kMaxTargetBytes = 512LL * 1024 * 1024;
    // Contents larger than this are not kept once their change is recorded; items() reads them
    // again from their owner.
    static constexpr qint64 kKeptContentsBytes = 256 * 1024;

    // None without an X server or the XFixes extension. Main thread, on the xcb platform.
    static std::unique_ptr<X11Pasteboard> create();
    ~X11Pasteboard() override;

    // Names the application a copy came from, given its clipboard owner and the window that was
    // active when the owner changed; asked on the clipboard thread once the copy is read, while the
    // owner still holds the clipboard. Set once at start-up.
    using ApplicationResolver =
        std::function<std::optional<RunningApplication>(xcb_window_t owner, xcb_window_t active)>;
    void setApplicationResolver(ApplicationResolver resolver);

    qint64 changeCount() const override;
    std::optional<QList<PasteboardItem>> items() override;
    qint64 write(const QList<PasteboardItem> &items) override;
    qint64 clear() override;
    bool ownsContents() const override;

private:
    X11Pasteboard(std::unique_ptr<XcbConnection> connection, uint8_t xfixesEventBase, uint32_t ownIdBase,
                  uint32_t ownIdMask);

    struct ReadRequest {
        qint64 generation = 0;
        xcb_timestamp_t time = XCB_CURRENT_TIME;
        xcb_window_t owner = XCB_WINDOW_NONE;
        xcb_window_t active = XCB_WINDOW_NONE; // at the owner change
    };

    void startWatching();
    void handleEvent(const xcb_generic_event_t &event);
    void ownerChanged(xcb_window_t owner, xcb_timestamp_t time);
    void readIfPending();
    // The contents of one target; none when refused. Sets m_readFailed when the owner did not answer in time.
    std::optional<QByteArray> readTarget(xcb_atom_t target, const ReadRequest &request, xcb_atom_t property);
    std::optional<QByteArray> readIncrementally(xcb_atom_t property);
    void publish(const ReadRequest &request, std::optional<QList<PasteboardItem>> items,
                 std::optional<RunningApplication> source = std::nullopt);
    std::optional<RunningApplication> sourceOf(const ReadRequest &request);
    // m_mutex held for these three.
    // Gives the open change of this generation its contents (none: given up for `unread`), then
    // records the open changes that are complete, oldest first.
    void settle(qint64 generation, std::optional<QList<PasteboardItem>> items, std::optional<RunningApplication> source,
                PasteboardChange::Unread unread);
    // Every change not read yet is given up (our own write or clear replaces them all).
    void settleAllOpenChanges();
    bool isOpen(qint64 generation) const;
    bool isOwnWindow(xcb_window_t window) const;
    bool readCancelled() const;

    std::unique_ptr<XcbConnection> m_connection;
    XcbEventLoop m_loop;
    const uint8_t m_xfixesEventBase;
    const uint32_t m_ownIdBase;
    const uint32_t m_ownIdMask;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_targets = XCB_ATOM_NONE;
    xcb_atom_t m_incr = XCB_ATOM_NONE;
    xcb_atom_t m_properties[4] = {};
    int m_nextProperty = 0;

    // Shared with callers; guarded by m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_snapshotReady;
    qint64 m_changeCount = 0;
    qint64 m_snapshotGeneration = -1;
    std::optional<QList<PasteboardItem>> m_snapshot;
    // The read whose large contents were let go after its change was recorded.
    std::optional<ReadRequest> m_droppedRead;
    int m_snapshotWaiters = 0; // callers of items() waiting for the snapshot
    bool m_owned = false;
    QList<PasteboardItem> m_written;
    // Our own writes and clears whose owner change has not come back from the server yet.
    struct PendingMark {
        XcbEventLoop::Clock::time_point time;
    };
    std::deque<PendingMark> m_pendingOwnWrites;
    std::deque<PendingMark> m_pendingClears;
    qint64 m_lastOwnChange = -1; // the count given to our latest write() or clear()
    bool m_lastOwnChangeWasWrite = false;
    // The newest foreign change, while its read has not started.
    std::optional<ReadRequest> m_pendingRead;
    // Changes not recorded yet, oldest first: foreign ones waiting for their contents, and those
    // after them (complete, or given up) that wait their turn.
    struct OpenChange {
        PasteboardChange change;
        bool complete = false;
    };
    std::deque<OpenChange> m_openChanges;
    // The generation of the read in progress (-1 when none).
    qint64 m_readingGeneration = -1;
    ApplicationResolver m_resolver;

    // Loop thread only.
    bool m_readFailed = false;
};
