#include "X11TestSupport.h"

#include "platform/x11/X11KeyEventPoster.h"
#include "platform/x11/X11MouseUpMonitor.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11ShortcutMonitor.h"
#include "support/TestEnvironment.h"

#include <QRandomGenerator>
#include <QWidget>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace X11Test;

namespace {
bool xdotool(const QStringList &arguments)
{
    bool ok = false;
    run(QStringLiteral("xdotool"), arguments, {}, &ok);
    return ok;
}

// Keys the server holds down right now.
QList<int> pressedKeys()
{
    QList<int> pressed;
    auto connection = XcbConnection::open();
    xcb_connection_t *c = connection->raw();
    XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    for (int code = 8; keymap && code < 256; ++code) {
        if (keymap->keys[code / 8] & (1 << (code % 8)))
            pressed.append(code);
    }
    return pressed;
}

bool numLockIsOn()
{
    auto connection = XcbConnection::open();
    xcb_connection_t *c = connection->raw();
    XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, connection->root()), nullptr));
    X11Keyboard keyboard(*connection);
    return pointer && (pointer->mask & keyboard.numLockMask());
}

const Shortcut kCommandJ(38, Shortcut::kCommand);
// Super+M, pressed after a chord that must not fire: once the marker has fired, that one's
// press has been dealt with (the server reports the presses in their order).
const Shortcut kMarker(46, Shortcut::kCommand);

bool pressMarker(int &markers)
{
    const int expected = markers + 1;
    return xdotool({QStringLiteral("key"), QStringLiteral("super+m")})
           && waitUntil([&] { return markers == expected; }, 10000);
}
} // namespace

TEST(X11ShortcutMonitor, SuperJFiresWithNumLockOffAndOn)
{
    auto monitor = X11ShortcutMonitor::create();
    ASSERT_NE(monitor, nullptr);
    int fired = 0;
    ASSERT_TRUE(monitor->registerShortcut(kCommandJ, [&] { ++fired; }));
    EXPECT_TRUE(monitor->isShortcutRegistered(kCommandJ));

    ASSERT_FALSE(numLockIsOn());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    EXPECT_TRUE(waitUntil([&] { return fired == 1; }, 5000)) << "fired " << fired;

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    ASSERT_TRUE(numLockIsOn());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    EXPECT_TRUE(waitUntil([&] { return fired == 2; }, 5000)) << "fired " << fired;
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));

    // Without the modifier, or with another, nothing fires.
    int markers = 0;
    ASSERT_TRUE(monitor->registerShortcut(kMarker, [&] { ++markers; }));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+j")}));
    ASSERT_TRUE(pressMarker(markers));
    EXPECT_EQ(fired, 2);

    monitor->unregisterShortcut(kCommandJ);
    EXPECT_FALSE(monitor->isShortcutRegistered(kCommandJ));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    ASSERT_TRUE(pressMarker(markers));
    EXPECT_EQ(fired, 2);
}

TEST(X11ShortcutMonitor, ACombinationAnotherProgramHoldsIsRefused)
{
    // Two monitors are two X clients: the second is "another program" to the server.
    auto holder = X11ShortcutMonitor::create();
    auto monitor = X11ShortcutMonitor::create();
    const Shortcut shiftCommandC(8, Shortcut::kShift | Shortcut::kCommand);
    ASSERT_TRUE(holder->registerShortcut(shiftCommandC, [] {}));
    EXPECT_FALSE(monitor->registerShortcut(shiftCommandC, [] {}));
    EXPECT_FALSE(monitor->isShortcutRegistered(shiftCommandC));

    // Once released, it can be had; and the refusal left nothing half-grabbed behind.
    holder->unregisterAllShortcuts();
    int fired = 0;
    EXPECT_TRUE(monitor->registerShortcut(shiftCommandC, [&] { ++fired; }));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("shift+super+c")}));
    EXPECT_TRUE(waitUntil([&] { return fired == 1; }, 5000)) << "fired " << fired;
}

TEST(X11ShortcutMonitor, KeyboardMappingChangesNeverDropAPress)
{
    auto monitor = X11ShortcutMonitor::create();
    int fired = 0;
    ASSERT_TRUE(monitor->registerShortcut(kCommandJ, [&] { ++fired; }));
    // Typing a character the keymap lacks maps it onto a spare key and back: each change tells
    // every client that the mapping changed.
    for (int i = 1; i <= 8; ++i) {
        ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("✓")}));
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
        EXPECT_TRUE(waitUntil([&] { return fired == i; }, 5000)) << "press " << i << ", fired " << fired;
    }
    EXPECT_TRUE(monitor->isShortcutRegistered(kCommandJ));
}

TEST(X11ShortcutMonitor, AHeldHotKeyFiresOnce)
{
    auto monitor = X11ShortcutMonitor::create();
    int fired = 0;
    int markers = 0;
    ASSERT_TRUE(monitor->registerShortcut(Shortcut(4, Shortcut::kCommand), [&] { ++fired; }));
    ASSERT_TRUE(monitor->registerShortcut(kMarker, [&] { ++markers; }));
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("super+h")}));
    ASSERT_TRUE(waitUntil([&] { return fired > 0; }, 10000));
    // Held as a user holds it, past the server's auto-repeat delay (a length of the press, not a
    // wait for anything).
    waitUntil([] { return false; }, 700);
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("super+h")}));
    ASSERT_TRUE(pressMarker(markers));
    EXPECT_EQ(fired, 1);
}

TEST(X11KeyEventPoster, ThePasteLandsInAnotherProgramsFieldAndNoKeyStaysHeld)
{
    auto pasteboard = X11Pasteboard::create();
    auto poster = X11KeyEventPoster::create();
    ASSERT_NE(poster, nullptr);
    EXPECT_TRUE(X11AccessibilityTrust(X11AccessibilityTrust::serverHasXTest()).isProcessTrusted(true));

    Peer field({QStringLiteral("field")});
    const QByteArray window = field.waitForLine("READY:");
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(window)}));

    const QString text = QStringLiteral("pasted ✓ %1").arg(QRandomGenerator::global()->bounded(100000));
    PasteboardItem item;
    item.setString(PasteboardType::string, text);
    pasteboard->write({item});

    // The user still holds the hot key's Super when the paste goes out.
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("super")}));
    poster->postPasteKeystroke();
    EXPECT_EQ(QString::fromUtf8(field.waitForLine("TEXT:")), text);
    EXPECT_TRUE(waitUntil([] { return pressedKeys().isEmpty(); }, 5000)) << "held keys: " << pressedKeys().size();
}

TEST(X11KeyEventPoster, APasteFromAHotKeyWaitsForItsKeyToBeReleased)
{
    auto pasteboard = X11Pasteboard::create();
    auto poster = X11KeyEventPoster::create();
    auto monitor = X11ShortcutMonitor::create();
    Peer field({QStringLiteral("field")});
    const QByteArray window = field.waitForLine("READY:");
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(window)}));

    const QString text = QStringLiteral("from a digit key %1").arg(QRandomGenerator::global()->bounded(100000));
    PasteboardItem item;
    item.setString(PasteboardType::string, text);
    pasteboard->write({item});
    // While the hot key's own key is down its grab would take the keystroke away from the field.
    const Shortcut commandTwo(19, Shortcut::kCommand);
    bool pressed = false;
    ASSERT_TRUE(monitor->registerShortcut(commandTwo, [&] {
        pressed = true;
        poster->postPasteKeystroke();
    }));
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("super+2")}));
    ASSERT_TRUE(waitUntil([&] { return pressed; }, 10000)); // the paste goes out while the key is down
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("2")}));
    EXPECT_EQ(QString::fromUtf8(field.waitForLine("TEXT:")), text);
    xdotool({QStringLiteral("keyup"), QStringLiteral("super")});
}

TEST(X11MouseUpMonitor, ReleasesElsewhereGoToGlobalMonitorsAndOnOurWindowsToLocalOnes)
{
    auto monitor = X11MouseUpMonitor::create();
    ASSERT_NE(monitor, nullptr);
    QList<QPoint> global;
    QList<QPoint> local;
    const auto globalToken = monitor->addGlobalLeftMouseUpMonitor([&](QPoint at) { global.append(at); });
    ASSERT_NE(globalToken, 0u);
    monitor->addLocalLeftMouseUpMonitor([&](QPoint at) { local.append(at); });

    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("1500"), QStringLiteral("900"),
                         QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return !global.isEmpty(); }));
    EXPECT_EQ(global.first(), QPoint(1500, 900));
    EXPECT_TRUE(local.isEmpty());

    // The right button is not watched: the left release after it is the next one seen.
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("3"), QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return global.size() >= 2; }, 10000));
    EXPECT_EQ(global.size(), 2);

    QWidget own;
    own.setGeometry(200, 200, 300, 200);
    own.show();
    ASSERT_TRUE(waitUntil([&] { return own.isVisible() && own.windowHandle() && own.windowHandle()->isExposed(); }));
    // A release over our own window: the global monitor leaves it to the local ones; the release
    // elsewhere after it is the next global one.
    ASSERT_TRUE(
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("350"), QStringLiteral("300")}));
    ASSERT_TRUE(waitUntil([&] { return own.underMouse(); }, 10000)) << "the pointer is not over our window";
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("1500"),
                         QStringLiteral("900"), QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return global.size() >= 3; }, 10000));
    EXPECT_EQ(global.size(), 3) << "a release on our own window is not global";
    // Local monitors see releases in our windows as the application receives them. (Whether the
    // window manager passed the click above on to us varies; count from here.)
    const qsizetype before = local.size();
    QTest::mouseClick(own.windowHandle(), Qt::LeftButton, {}, QPoint(20, 30));
    ASSERT_EQ(local.size(), before + 1);
    EXPECT_EQ(local.last(), own.windowHandle()->mapToGlobal(QPoint(20, 30)));
    QTest::mouseClick(own.windowHandle(), Qt::RightButton, {}, QPoint(20, 30));
    EXPECT_EQ(local.size(), before + 1);

    // A removed monitor hears nothing more, while one still there does.
    QList<QPoint> remaining;
    const auto remainingToken = monitor->addGlobalLeftMouseUpMonitor([&](QPoint at) { remaining.append(at); });
    monitor->removeMonitor(globalToken);
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("1500"), QStringLiteral("900"),
                         QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return !remaining.isEmpty(); }, 10000));
    EXPECT_EQ(global.size(), 3);
    monitor->removeMonitor(remainingToken);
}
