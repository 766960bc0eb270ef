// The X event thread of a backend: asleep while nothing happens, awake at once for the server or
// a task.

#include "platform/x11/XcbEventLoop.h"
#include "support/TestEnvironment.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

TEST(XcbEventLoop, AnIdleLoopSleepsUntilTheServerOrATaskWakesIt)
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    ASSERT_NE(connection, nullptr) << "needs an X server";
    std::unique_ptr<XcbConnection> other = XcbConnection::open();
    ASSERT_NE(other, nullptr);
    const xcb_window_t window = connection->createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
    const xcb_atom_t property = connection->atom("TAVI_TEST_WAKE");

    std::atomic<int> rounds = 0;
    std::atomic<int> changes = 0;
    XcbEventLoop loop(*connection, QStringLiteral("test"));
    loop.start(
        [&](const xcb_generic_event_t &event) {
            if ((event.response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
                ++changes;
        },
        [&] {
            ++rounds;
            return false;
        });
    // Past the rounds of the start: a task has run, and the loop went back to sleep after it.
    ASSERT_TRUE(waitUntil([&] { return rounds.load() > 0; }, 10000));
    EXPECT_TRUE(loop.postAndWait([] {}, std::chrono::milliseconds(10000)));
    const int before = rounds.load();
    // Sleeping is shown only by time passing with nothing to wake for.
    QThread::msleep(1000);
    EXPECT_LE(rounds.load() - before, 1) << "an idle loop woke for nothing";

    xcb_change_property(other->raw(), XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_STRING, 8, 1, "x");
    other->flush();
    EXPECT_TRUE(waitUntil([&] { return changes.load() == 1; }, 1000)) << "the event waited for a timeout";
    std::atomic<bool> ran = false;
    EXPECT_TRUE(loop.postAndWait([&] { ran = true; }, std::chrono::milliseconds(1000)));
    EXPECT_TRUE(ran.load());
    loop.stop();
}
