// The program's windows answer _NET_WM_PING, on the real X server: a client outside the process
// pings a window and reads the answer the protocol asks for on the root window. The answer comes
// from the GUI thread's event loop, so a GUI thread that does not return to it answers late.

#include "platform/x11/X11WindowPing.h"
#include "platform/x11/XcbConnection.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Another client: sends pings and reads their answers on the root window.
class Pinger {
public:
    Pinger() : m_connection(XcbConnection::open())
    {
        if (!m_connection)
            return;
        m_protocols = m_connection->atom("WM_PROTOCOLS");
        m_ping = m_connection->atom("_NET_WM_PING");
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection->raw(), m_connection->root(), XCB_CW_EVENT_MASK, &mask);
        m_connection->flush();
    }
    bool connected() const { return m_connection != nullptr; }

    bool advertises(xcb_window_t window)
    {
        const QByteArray atoms = m_connection->property(window, m_protocols, XCB_ATOM_ATOM);
        const auto *begin = reinterpret_cast<const xcb_atom_t *>(atoms.constData());
        return std::find(begin, begin + atoms.size() / 4, m_ping) != begin + atoms.size() / 4;
    }

    void ping(xcb_window_t window, uint32_t stamp)
    {
        xcb_client_message_event_t ping{};
        ping.response_type = XCB_CLIENT_MESSAGE;
        ping.format = 32;
        ping.window = window;
        ping.type = m_protocols;
        ping.data.data32[0] = m_ping;
        ping.data.data32[1] = stamp;
        ping.data.data32[2] = window;
        xcb_send_event(m_connection->raw(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ping));
        m_connection->flush();
    }

    // Whether the answer to the ping of `stamp` to `window` arrived (read without waiting).
    bool answered(xcb_window_t window, uint32_t stamp)
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection->raw())) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *answer = reinterpret_cast<const xcb_client_message_event_t *>(event);
                if (answer->window == m_connection->root() && answer->type == m_protocols
                    && answer->data.data32[0] == m_ping && answer->data.data32[2] == window)
                    m_answers.append(answer->data.data32[1]);
            }
            std::free(event);
        }
        return m_answers.contains(stamp);
    }

private:
    std::unique_ptr<XcbConnection> m_connection;
    xcb_atom_t m_protocols = XCB_ATOM_NONE;
    xcb_atom_t m_ping = XCB_ATOM_NONE;
    QList<uint32_t> m_answers;
};

xcb_window_t shownWindow(QWidget &window)
{
    window.show();
    waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 5000);
    return xcb_window_t(window.winId());
}

class X11WindowPingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        X11WindowPing::install();
        ASSERT_TRUE(pinger.connected()) << "needs an X server";
        window.resize(200, 120);
    }

    Pinger pinger;
    QWidget window;
};

} // namespace

TEST_F(X11WindowPingTest, AWindowTakesPingsAndAnswersEachWhenItsGuiThreadReadsIt)
{
    const xcb_window_t id = shownWindow(window);
    EXPECT_TRUE(pinger.advertises(id));

    pinger.ping(id, 1001);
    EXPECT_TRUE(waitUntil([&] { return pinger.answered(id, 1001); }, 5000)) << "the ping was not answered";

    // A GUI thread away from its event loop answers nothing until it is back.
    pinger.ping(id, 1002);
    QElapsedTimer busy;
    busy.start();
    bool answeredWhileBusy = false;
    while (busy.elapsed() < 300 && !answeredWhileBusy) {
        answeredWhileBusy = pinger.answered(id, 1002);
        QThread::yieldCurrentThread();
    }
    EXPECT_FALSE(answeredWhileBusy) << "a ping was answered without the GUI thread";
    EXPECT_TRUE(waitUntil([&] { return pinger.answered(id, 1002); }, 5000));
}

TEST_F(X11WindowPingTest, AWindowMadeAgainByAFlagChangeStillAnswers)
{
    shownWindow(window);
    window.setWindowFlag(Qt::X11BypassWindowManagerHint, true);
    const xcb_window_t id = shownWindow(window);
    EXPECT_TRUE(pinger.advertises(id));
    pinger.ping(id, 2001);
    EXPECT_TRUE(waitUntil([&] { return pinger.answered(id, 2001); }, 5000));
}
