// The real program on a desktop without a system tray, and with a hot key another program holds:
// the user is told where the menu is and which chord could not be had.

#include "EndToEndSupport.h"

#include "support/TestEnvironment.h"

#include <QRect>

#include <algorithm>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace EndToEnd;

namespace {

// A visible window whose title matches; empty when there is none.
QByteArray shownWindow(const QString &titlePattern)
{
    return xdotoolOutput(
               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titlePattern})
        .split('\n')
        .value(0);
}

// A shown window of the program with this very title. (A dialog's title is not always found by a
// search by name.)
bool isProgramWindowShown(const QByteArray &title)
{
    const QList<QByteArray> windows = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                     QStringLiteral("--classname"), QStringLiteral("^tavipaste$")})
                                          .split('\n');
    return std::any_of(windows.begin(), windows.end(), [&](const QByteArray &window) {
        return !window.isEmpty()
               && xdotoolOutput({QStringLiteral("getwindowname"), QString::fromLatin1(window)}).trimmed() == title;
    });
}

QRect geometryOf(const QByteArray &window)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)"),
                           QRegularExpression::DotMatchesEverythingOption)
            .match(
                QString::fromUtf8(xdotoolOutput({QStringLiteral("getwindowgeometry"), QString::fromLatin1(window)})));
    if (!match.hasMatch())
        return {};
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                 match.captured(4).toInt());
}

} // namespace

TEST(EndToEnd, WithoutATrayTheMenuOpensFromTheColorBarAndTheUserIsToldOnce)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool"))
        GTEST_SKIP() << "needs an X display with xdotool";
    ASSERT_TRUE(shownWindow(QStringLiteral("^TaviPaste Menu$")).isEmpty());
    TaviSession session;
    const QProcessEnvironment environment = isolatedEnvironment(session);
    writeDefaults(environment,
                  {{QStringLiteral("noAutoLaunchHint"), true}, {QStringLiteral("noTrayMenuPlacesTold"), false}});
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));

    auto tavi = std::make_unique<Child>(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000))
        << "TaviPaste did not start";
    QByteArray told;
    ASSERT_TRUE(waitUntil([&] { return !(told = shownWindow(QStringLiteral("^Where TaviPaste"))).isEmpty(); }, 15000))
        << "nobody said where the menu went";
    ASSERT_TRUE(xdotool({QStringLiteral("windowclose"), QString::fromLatin1(told)}));

    // The "+" ends the bar: a right click there opens the menu, and its Quit quits.
    QByteArray bar;
    ASSERT_TRUE(
        waitUntil([&] { return !(bar = shownWindow(QStringLiteral("^TaviPaste Color Bar$"))).isEmpty(); }, 10000));
    const QRect place = geometryOf(bar);
    ASSERT_FALSE(place.isEmpty());
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(place.left() + 4),
                         QString::number(place.bottom() - 6), QStringLiteral("click"), QStringLiteral("3")}));
    ASSERT_TRUE(waitUntil([] { return isMenuShown(); }, 5000)) << "no menu at the bar's +";
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("q")}));
    ASSERT_TRUE(tavi->waitForExit(10000)) << "Quit from the bar's menu did not quit";
    EXPECT_EQ(tavi->process().exitCode(), 0);

    // Told once: the next start says nothing.
    tavi = std::make_unique<Child>(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    ASSERT_TRUE(waitUntil([&] { return logCount(stateHome, "TaviPaste is running") == 2; }, 15000));
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "where the menu is was told before"); }, 15000));
    EXPECT_TRUE(shownWindow(QStringLiteral("^Where TaviPaste")).isEmpty());
    EXPECT_EQ(logCount(stateHome, "told where the menu is"), 1);
    if (::testing::Test::HasFailure())
        printLogs(stateHome);
}

TEST(EndToEnd, AHotKeyAnotherProgramHoldsIsRefusedAndTheUserToldWhichChord)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool"))
        GTEST_SKIP() << "needs an X display with xdotool";
    // The desktop's own hot key: Shift+Super+A, the all-items list's default.
    Child holder(QStringLiteral(TAVI_X11_PEER), {QStringLiteral("grab"), QStringLiteral("a")}, xcbEnvironment());
    ASSERT_TRUE(holder.waitForLine("GRABBED")) << "the other program could not take the chord";

    TaviSession session;
    const QProcessEnvironment environment = isolatedEnvironment(session);
    writeDefaults(environment, {{QStringLiteral("noAutoLaunchHint"), true}});
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    Child tavi(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000))
        << "TaviPaste did not start";
    EXPECT_TRUE(waitUntil(
        [&] { return logContains(stateHome, "Told the user that Shift+Super+A is held by another program"); }, 10000));
    // The message is a window of its own, and the chords that were free work.
    EXPECT_TRUE(waitUntil([] { return isProgramWindowShown("TaviPaste"); }, 10000)) << "no message window";
    EXPECT_EQ(logCount(stateHome, "is held by another program"), 1);
    EXPECT_FALSE(logContains(stateHome, "Shift+Super+H is taken"));
    if (::testing::Test::HasFailure())
        printLogs(stateHome);
}
