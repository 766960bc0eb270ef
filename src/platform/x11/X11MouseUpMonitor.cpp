#include "platform/x11/X11MouseUpMonitor.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

#include <xcb/xinput.h>

std::unique_ptr<X11MouseUpMonitor> X11MouseUpMonitor::create()
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return nullptr;
    return std::unique_ptr<X11MouseUpMonitor>(new X11MouseUpMonitor(std::move(connection)));
}

X11MouseUpMonitor::X11MouseUpMonitor(std::unique_ptr<XcbConnection> connection)
    : m_connection(std::move(connection)),
      m_loop(*m_connection, QStringLiteral("mouse"))
{
}

X11MouseUpMonitor::~X11MouseUpMonitor()
{
    m_loop.stop();
    if (m_filterInstalled && qApp)
        qApp->removeEventFilter(this);
}

bool X11MouseUpMonitor::selectRawEvents()
{
    const bool motion = !m_moved.empty();
    if (m_rawEventsStarted && motion == m_motionSelected)
        return true;
    xcb_connection_t *c = m_connection->raw();
    if (!m_rawEventsStarted) {
        const xcb_query_extension_reply_t *input = xcb_get_extension_data(c, &xcb_input_id);
        if (!input || !input->present)
            return false;
        XcbReply<xcb_input_xi_query_version_reply_t> version(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
        if (!version || version->major_version < 2)
            return false;
        m_inputOpcode = input->major_opcode;
    }
    struct {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE)
               | (motion ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_MOTION) : 0u)};
    XcbReply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, m_connection->root(), 1, &mask.head)));
    if (error)
        return false;
    m_motionSelected = motion;
    if (!m_rawEventsStarted) {
        m_loop.start([this](const xcb_generic_event_t &event) { handleEvent(event); });
        m_rawEventsStarted = true;
    }
    return true;
}

void X11MouseUpMonitor::handleEvent(const xcb_generic_event_t &event)
{
    if ((event.response_type & 0x7f) != XCB_GE_GENERIC)
        return;
    const auto &generic = reinterpret_cast<const xcb_ge_generic_event_t &>(event);
    if (generic.extension != m_inputOpcode)
        return;
    QPointer<QObject> alive(this);
    if (generic.event_type == XCB_INPUT_RAW_MOTION) {
        // One delivery at a time: the moves that come meanwhile are read as one position.
        if (!m_movePending.exchange(true)) {
            MainQueue::async([this, alive] {
                if (alive)
                    deliverMoved();
            });
        }
        return;
    }
    if (generic.event_type != XCB_INPUT_RAW_BUTTON_RELEASE)
        return;
    const auto &raw = reinterpret_cast<const xcb_input_raw_button_release_event_t &>(event);
    if (raw.detail != 1) // the left button
        return;
    MainQueue::async([this, alive] {
        if (alive)
            deliverGlobal();
    });
}

void X11MouseUpMonitor::deliverMoved()
{
    m_movePending.store(false);
    if (m_moved.empty())
        return;
    const QPoint position = QCursor::pos();
    const std::map<Token, Handler> handlers = m_moved; // a handler may remove monitors
    for (const auto &entry : handlers)
        entry.second(position);
}

void X11MouseUpMonitor::deliverGlobal()
{
    const QPoint position = QCursor::pos();
    if (QGuiApplication::topLevelAt(position))
        return;                                         // over our own window: the local monitors have it
    const std::map<Token, Handler> handlers = m_global; // a handler may remove monitors
    for (const auto &entry : handlers)
        entry.second(position);
}

MouseUpMonitor::Token X11MouseUpMonitor::addGlobalLeftMouseUpMonitor(Handler handler)
{
    if (!selectRawEvents()) {
        LOG_WARNING("X11MouseUpMonitor::addGlobalLeftMouseUpMonitor()",
                    QStringLiteral("The X server has no XInput 2: releases in other programs are not seen"));
        return 0;
    }
    m_global[m_next] = std::move(handler);
    return m_next++;
}

MouseUpMonitor::Token X11MouseUpMonitor::addGlobalMouseMovedMonitor(Handler handler)
{
    const Token token = m_next++;
    m_moved[token] = std::move(handler);
    if (!selectRawEvents()) {
        m_moved.erase(token);
        LOG_WARNING("X11MouseUpMonitor::addGlobalMouseMovedMonitor()",
                    QStringLiteral("The X server has no XInput 2: pointer moves are not seen"));
        return 0;
    }
    return token;
}

MouseUpMonitor::Token X11MouseUpMonitor::addLocalLeftMouseUpMonitor(Handler handler)
{
    if (!m_filterInstalled && qApp) {
        qApp->installEventFilter(this);
        m_filterInstalled = true;
    }
    m_local[m_next] = std::move(handler);
    return m_next++;
}

void X11MouseUpMonitor::removeMonitor(Token token)
{
    m_global.erase(token);
    m_local.erase(token);
    if (m_moved.erase(token) && m_moved.empty() && m_rawEventsStarted)
        selectRawEvents(); // no more motion events
}

bool X11MouseUpMonitor::eventFilter(QObject *watched, QEvent *event)
{
    // Each release reaches the filter once for its window; widgets then see it again.
    if (event->type() == QEvent::MouseButtonRelease && qobject_cast<QWindow *>(watched)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            const QPoint position = mouse->globalPosition().toPoint();
            const std::map<Token, Handler> handlers = m_local;
            for (const auto &entry : handlers)
                entry.second(position);
        }
    }
    return false;
}
