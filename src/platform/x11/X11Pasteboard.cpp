#include "platform/x11/X11Pasteboard.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/x11/ClipboardFormats.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <qguiapplication_platform.h>

#include <xcb/xfixes.h>

#include <cstring>

using Clock = XcbEventLoop::Clock;
using namespace std::chrono_literals;

namespace {
// Marks of our own changes that the server never echoed are forgotten after this.
constexpr auto kPendingMarkLifetime = 2s;

template <typename Mark>
void dropExpired(std::deque<Mark> &marks)
{
    const auto now = Clock::now();
    while (!marks.empty() && now - marks.front().time > kPendingMarkLifetime)
        marks.pop_front();
}
} // namespace

std::unique_ptr<X11Pasteboard> X11Pasteboard::create()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    const xcb_setup_t *qtSetup = xcb_get_setup(x11->connection());
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(connection->raw(), &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) {
        LOG_WARNING("X11Pasteboard::create()", QStringLiteral("The X server has no XFixes extension"));
        return nullptr;
    }
    XcbReply<xcb_xfixes_query_version_reply_t> version(
        xcb_xfixes_query_version_reply(connection->raw(), xcb_xfixes_query_version(connection->raw(), 5, 0), nullptr));
    if (!version)
        return nullptr;
    return std::unique_ptr<X11Pasteboard>(new X11Pasteboard(std::move(connection), xfixes->first_event,
                                                            qtSetup->resource_id_base, qtSetup->resource_id_mask));
}

X11Pasteboard::X11Pasteboard(std::unique_ptr<XcbConnection> connection, uint8_t xfixesEventBase, uint32_t ownIdBase,
                             uint32_t ownIdMask)
    : m_connection(std::move(connection)),
      m_loop(*m_connection, QStringLiteral("clipboard")),
      m_xfixesEventBase(xfixesEventBase),
      m_ownIdBase(ownIdBase),
      m_ownIdMask(ownIdMask)
{
    m_clipboard = m_connection->atom("CLIPBOARD");
    m_targets = m_connection->atom("TARGETS");
    m_incr = m_connection->atom("INCR");
    for (int i = 0; i < 4; ++i)
        m_properties[i] = m_connection->atom("TAVI_SELECTION_" + QByteArray::number(i));
    m_window = m_connection->createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
    startWatching();
    m_loop.start([this](const xcb_generic_event_t &event) { handleEvent(event); },
                 [this] {
                     readIfPending();
                     std::lock_guard lock(m_mutex);
                     return m_pendingRead.has_value(); // a newer change came during the read
                 });
}

X11Pasteboard::~X11Pasteboard()
{
    m_loop.stop();
    {
        std::lock_guard lock(m_mutex);
        m_snapshotReady.notify_all();
    }
}

void X11Pasteboard::startWatching()
{
    xcb_connection_t *c = m_connection->raw();
    xcb_xfixes_select_selection_input(c, m_window, m_clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_clipboard), nullptr));
    std::lock_guard lock(m_mutex);
    if (owner && owner->owner != XCB_WINDOW_NONE) {
        m_pendingRead = ReadRequest{0, XCB_CURRENT_TIME};
        m_openChanges.push_back({PasteboardChange{0, std::nullopt, std::nullopt, false}});
    } else {
        m_snapshot = QList<PasteboardItem>();
        m_snapshotGeneration = 0;
    }
}

void X11Pasteboard::handleEvent(const xcb_generic_event_t &event)
{
    if ((event.response_type & 0x7f) != m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY)
        return; // answers to reads that were given up, our own property deletions
    const auto &notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t &>(event);
    if (notify.selection == m_clipboard)
        ownerChanged(notify.subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER ? notify.owner
                                                                                      : xcb_window_t(XCB_WINDOW_NONE),
                     notify.selection_timestamp);
}

void X11Pasteboard::setApplicationResolver(ApplicationResolver resolver)
{
    std::lock_guard lock(m_mutex);
    m_resolver = std::move(resolver);
}

void X11Pasteboard::settle(qint64 generation, std::optional<QList<PasteboardItem>> items,
                           std::optional<RunningApplication> source, PasteboardChange::Unread unread)
{
    for (OpenChange &open : m_openChanges) {
        if (open.change.changeCount != generation || open.complete)
            continue;
        if (unread == PasteboardChange::Unread::Replaced)
            LOG_WARNING("X11Pasteboard::settle()",
                        QStringLiteral("A clipboard change was replaced before it could be read"));
        open.change.items = std::move(items);
        open.change.application = std::move(source);
        open.change.unread = open.change.items ? PasteboardChange::Unread::No : unread;
        open.complete = true;
        break;
    }
    while (!m_openChanges.empty() && m_openChanges.front().complete) {
        recordChange(std::move(m_openChanges.front().change));
        m_openChanges.pop_front();
    }
}

void X11Pasteboard::settleAllOpenChanges()
{
    m_pendingRead.reset();
    QList<qint64> unread;
    for (const OpenChange &open : m_openChanges) {
        if (!open.complete)
            unread.append(open.change.changeCount);
    }
    for (qint64 generation : unread)
        settle(generation, std::nullopt, std::nullopt, PasteboardChange::Unread::Replaced);
}

bool X11Pasteboard::isOpen(qint64 generation) const
{
    return std::any_of(m_openChanges.cbegin(), m_openChanges.cend(),
                       [&](const OpenChange &open) { return open.change.changeCount == generation && !open.complete; });
}

void X11Pasteboard::ownerChanged(xcb_window_t owner, xcb_timestamp_t time)
{
    // The active window of this moment; its application is named once the copy is read.
    xcb_window_t active = XCB_WINDOW_NONE;
    if (owner != XCB_WINDOW_NONE && !isOwnWindow(owner)) {
        if (const std::optional<xcb_window_t> window =
                m_connection->windowProperty(m_connection->root(), m_connection->atom("_NET_ACTIVE_WINDOW")))
            active = *window;
    }
    std::lock_guard lock(m_mutex);
    dropExpired(m_pendingOwnWrites);
    dropExpired(m_pendingClears);
    // Our own write() or clear(), counted when it was made. When another program's change was
    // counted in between (it reached the server first), ours is the newer one: count it again.
    std::deque<PendingMark> *marks = nullptr;
    if (owner == XCB_WINDOW_NONE && !m_pendingClears.empty())
        marks = &m_pendingClears;
    else if (owner != XCB_WINDOW_NONE && isOwnWindow(owner) && !m_pendingOwnWrites.empty())
        marks = &m_pendingOwnWrites;
    if (marks) {
        marks->pop_front();
        const bool settled = m_pendingOwnWrites.empty() && m_pendingClears.empty();
        if (settled && m_changeCount != m_lastOwnChange) {
            settleAllOpenChanges();
            ++m_changeCount;
            m_lastOwnChange = m_changeCount;
            m_owned = m_lastOwnChangeWasWrite;
            m_snapshot = m_owned ? m_written : QList<PasteboardItem>();
            m_snapshotGeneration = m_changeCount;
            m_snapshotReady.notify_all();
            recordChange({m_changeCount, m_snapshot, std::nullopt, true});
        }
        return;
    }
    // A change whose read has not started is replaced; one being read is given up (see readCancelled()).
    if (m_pendingRead)
        settle(m_pendingRead->generation, std::nullopt, std::nullopt, PasteboardChange::Unread::Replaced);
    m_pendingRead.reset();
    ++m_changeCount;
    m_owned = false;
    if (owner == XCB_WINDOW_NONE) {
        m_snapshot = QList<PasteboardItem>();
        m_snapshotGeneration = m_changeCount;
        m_snapshotReady.notify_all();
        // Recorded in its turn, after a read still in progress.
        m_openChanges.push_back({PasteboardChange{m_changeCount, QList<PasteboardItem>(), std::nullopt, false}, true});
        settle(-1, std::nullopt, std::nullopt, PasteboardChange::Unread::Replaced);
        return;
    }
    m_pendingRead = ReadRequest{m_changeCount, time, owner, active};
    m_openChanges.push_back({PasteboardChange{m_changeCount, std::nullopt, std::nullopt, false}});
}

std::optional<RunningApplication> X11Pasteboard::sourceOf(const ReadRequest &request)
{
    ApplicationResolver resolver;
    {
        std::lock_guard lock(m_mutex);
        resolver = m_resolver;
    }
    if (!resolver || request.owner == XCB_WINDOW_NONE)
        return std::nullopt;
    return resolver(request.owner, request.active);
}

bool X11Pasteboard::isOwnWindow(xcb_window_t window) const { return (window & ~m_ownIdMask) == m_ownIdBase; }

bool X11Pasteboard::readCancelled() const
{
    // A newer copy (or our own write or clear) replaced the one being read: the user replaced it,
    // and an owner that lost the clipboard may never answer again (some quit), however steadily it
    // was sending. A read again for items() only is of the current change.
    std::lock_guard lock(m_mutex);
    return m_changeCount != m_readingGeneration;
}

void X11Pasteboard::readIfPending()
{
    ReadRequest request;
    {
        std::lock_guard lock(m_mutex);
        if (!m_pendingRead)
            return;
        request = *m_pendingRead;
        m_pendingRead.reset();
        m_readingGeneration = request.generation;
    }
    struct EndOfRead {
        X11Pasteboard &pasteboard;
        ~EndOfRead()
        {
            std::lock_guard lock(pasteboard.m_mutex);
            // A read given up leaves its change to be recorded as unread.
            if (pasteboard.isOpen(pasteboard.m_readingGeneration))
                pasteboard.settle(pasteboard.m_readingGeneration, std::nullopt, std::nullopt,
                                  PasteboardChange::Unread::Replaced);
            pasteboard.m_readingGeneration = -1;
        }
    } endOfRead{*this};
    m_readFailed = false;
    const auto started = Clock::now();
    const xcb_atom_t property = m_properties[m_nextProperty++ % 4];

    const std::optional<QByteArray> targetList = readTarget(m_targets, request, property);
    if (readCancelled())
        return;
    if (!targetList) {
        if (m_readFailed)
            LOG_WARNING("X11Pasteboard::readIfPending()",
                        QStringLiteral("The clipboard owner did not answer; contents skipped"));
        publish(request, m_readFailed ? std::nullopt : std::optional(QList<PasteboardItem>()));
        return;
    }
    QList<xcb_atom_t> atoms;
    for (qsizetype i = 0; i + 4 <= targetList->size(); i += 4) {
        xcb_atom_t atom = 0;
        std::memcpy(&atom, targetList->constData() + i, 4);
        atoms.append(atom);
    }
    const QList<QByteArray> offered = m_connection->atomNames(atoms);
    QHash<QByteArray, QByteArray> read;
    for (const QByteArray &target : ClipboardFormats::targetsToRead(offered)) {
        std::optional<QByteArray> data = readTarget(m_connection->atom(target), request, property);
        if (readCancelled())
            return;
        if (m_readFailed) {
            // Half an answer could drop the password hint and keep the password: read nothing.
            LOG_WARNING("X11Pasteboard::readIfPending()",
                        QStringLiteral("The clipboard owner did not answer for %1; contents skipped")
                            .arg(QLatin1String(target)));
            publish(request, std::nullopt);
            return;
        }
        if (data && ClipboardFormats::marksConcealed(target, *data)) {
            // A password manager's copy: none of its contents is read into this process.
            publish(request, ClipboardFormats::concealedItems(), sourceOf(request));
            return;
        }
        if (data)
            read.insert(target, *data);
    }
    // Named after the read: the owner is still there, and the copy was not kept waiting for it.
    std::optional<RunningApplication> source = sourceOf(request);
    publish(request, ClipboardFormats::itemsFromTargets(offered, read), std::move(source));
    LOG_DEBUG("X11Pasteboard::readIfPending()",
              QStringLiteral("Clipboard read in %1 ms")
                  .arg(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count()));
}

std::optional<QByteArray> X11Pasteboard::readTarget(xcb_atom_t target, const ReadRequest &request, xcb_atom_t property)
{
    xcb_connection_t *c = m_connection->raw();
    xcb_delete_property(c, m_window, property);
    xcb_convert_selection(c, m_window, m_clipboard, target, property, request.time);
    xcb_flush(c);
    const auto deadline = Clock::now() + kAnswerTimeout;
    XcbReply<xcb_generic_event_t> answer = m_loop.waitForEvent(
        [&](const xcb_generic_event_t &event) {
            if ((event.response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            const auto &notify = reinterpret_cast<const xcb_selection_notify_event_t &>(event);
            return notify.requestor == m_window && notify.selection == m_clipboard && notify.target == target;
        },
        deadline, [this] { return readCancelled(); });
    if (!answer) {
        m_readFailed = !readCancelled();
        return std::nullopt;
    }
    if (reinterpret_cast<const xcb_selection_notify_event_t *>(answer.get())->property == XCB_ATOM_NONE)
        return std::nullopt; // the owner refused this target

    QByteArray data;
    xcb_atom_t type = XCB_ATOM_NONE;
    uint32_t offset = 0;
    for (;;) {
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c, xcb_get_property(c, 0, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, offset, 1 << 20), nullptr));
        if (!reply)
            return std::nullopt;
        type = reply->type;
        const int length = xcb_get_property_value_length(reply.get());
        data.append(static_cast<const char *>(xcb_get_property_value(reply.get())), length);
        offset += uint32_t(length / 4);
        if (reply->bytes_after == 0 || length == 0)
            break;
        if (data.size() > kMaxTargetBytes)
            return std::nullopt;
    }
    if (type == m_incr)
        return readIncrementally(property);
    xcb_delete_property(c, m_window, property);
    xcb_flush(c);
    return data;
}

std::optional<QByteArray> X11Pasteboard::readIncrementally(xcb_atom_t property)
{
    xcb_connection_t *c = m_connection->raw();
    // Deleting the INCR property asks the owner for the first part.
    xcb_delete_property(c, m_window, property);
    xcb_flush(c);
    QByteArray data;
    bool tooLarge = false;
    for (;;) {
        // Each part has its own deadline: an owner still sending is waited for, one gone silent is not.
        const auto deadline = Clock::now() + kAnswerTimeout;
        XcbReply<xcb_generic_event_t> part = m_loop.waitForEvent(
            [&](const xcb_generic_event_t &event) {
                if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto &notify = reinterpret_cast<const xcb_property_notify_event_t &>(event);
                return notify.window == m_window && notify.atom == property && notify.state == XCB_PROPERTY_NEW_VALUE;
            },
            deadline, [this] { return readCancelled(); });
        if (!part) {
            m_readFailed = !readCancelled();
            return std::nullopt;
        }
        if (readCancelled())
            return std::nullopt; // parts that keep coming never hold up a newer copy
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c, xcb_get_property(c, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff), nullptr));
        if (!reply)
            return std::nullopt;
        const int length = xcb_get_property_value_length(reply.get());
        if (length == 0)
            break;
        if (!tooLarge && data.size() + length <= kMaxTargetBytes)
            data.append(static_cast<const char *>(xcb_get_property_value(reply.get())), length);
        else
            tooLarge = true; // keep taking parts so the owner finishes, but keep none
        xcb_flush(c);
    }
    if (tooLarge) {
        LOG_WARNING("X11Pasteboard::readIncrementally()",
                    QStringLiteral("A clipboard representation is too large; left out"));
        return std::nullopt;
    }
    return data;
}

void X11Pasteboard::publish(const ReadRequest &request, std::optional<QList<PasteboardItem>> items,
                            std::optional<RunningApplication> source)
{
    std::lock_guard lock(m_mutex);
    const bool recording = isOpen(request.generation);
    if (request.generation == m_changeCount) {
        m_snapshot = items;
        m_snapshotGeneration = request.generation;
        m_droppedRead.reset();
        m_snapshotReady.notify_all();
    }
    if (!recording)
        return;
    settle(request.generation, std::move(items), std::move(source), PasteboardChange::Unread::NoAnswer);
    // The change holds the contents now: a large copy is not kept a second time for as long as
    // its owner keeps the clipboard.
    if (request.generation == m_changeCount && m_snapshotWaiters == 0 && m_snapshot
        && PasteboardItem::byteSize(*m_snapshot) > kKeptContentsBytes) {
        m_snapshot.reset();
        m_droppedRead = request;
    }
}

qint64 X11Pasteboard::changeCount() const
{
    std::lock_guard lock(m_mutex);
    return m_changeCount;
}

std::optional<QList<PasteboardItem>> X11Pasteboard::items()
{
    const auto limit = MainQueue::isCurrent() ? std::chrono::milliseconds(50) : kReadTimeout + 1s;
    std::unique_lock lock(m_mutex);
    if (m_droppedRead && m_droppedRead->generation == m_changeCount && m_snapshotGeneration == m_changeCount) {
        // Contents let go after they were recorded: read once more from their owner.
        m_pendingRead = m_droppedRead;
        m_droppedRead.reset();
        m_snapshotGeneration = -1;
        m_loop.post([] {});
    }
    ++m_snapshotWaiters; // what they wait for is kept for them, however large
    // A stopped loop (the X server gone, the program ending) reads nothing more: not waited for.
    const auto deadline = Clock::now() + limit;
    bool ready = false;
    while (!(ready = m_snapshotGeneration == m_changeCount) && !m_loop.isStopped() && Clock::now() < deadline)
        m_snapshotReady.wait_for(lock, std::min<Clock::duration>(deadline - Clock::now(), 100ms));
    --m_snapshotWaiters;
    if (!ready)
        return std::nullopt;
    return m_snapshot;
}

qint64 X11Pasteboard::write(const QList<PasteboardItem> &items)
{
    std::unique_ptr<QMimeData> mime = ClipboardFormats::mimeDataForItems(items);
    qint64 count = 0;
    {
        std::lock_guard lock(m_mutex);
        settleAllOpenChanges();
        count = ++m_changeCount;
        m_pendingOwnWrites.push_back({Clock::now()});
        m_lastOwnChange = count;
        m_lastOwnChangeWasWrite = true;
        m_owned = true;
        m_written = items;
        m_snapshot = items;
        m_snapshotGeneration = count;
        m_snapshotReady.notify_all();
        recordChange({count, items, std::nullopt, true});
    }
    QGuiApplication::clipboard()->setMimeData(mime.release(), QClipboard::Clipboard);
    return count;
}

qint64 X11Pasteboard::clear()
{
    qint64 count = 0;
    {
        std::lock_guard lock(m_mutex);
        settleAllOpenChanges();
        count = ++m_changeCount;
        m_pendingClears.push_back({Clock::now()});
        m_lastOwnChange = count;
        m_lastOwnChangeWasWrite = false;
        m_owned = false;
        m_snapshot = QList<PasteboardItem>();
        m_snapshotGeneration = count;
        m_snapshotReady.notify_all();
        recordChange({count, QList<PasteboardItem>(), std::nullopt, true});
    }
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    return count;
}

bool X11Pasteboard::ownsContents() const
{
    std::lock_guard lock(m_mutex);
    return m_owned;
}
