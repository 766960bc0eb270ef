// The link preview as a user meets it in the real program: links copied by another program, the
// list opened by its hot key, rows selected with the arrow key. Run as root (as CI does, and as the
// README's set-up does) the web engine cannot have its sandbox: the preview is the link's card,
// and the program keeps running; a link to this computer is never asked anything.

#include "EndToEndSupport.h"

#include "support/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using namespace EndToEnd;

bool listShown()
{
    return !xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                           QStringLiteral("^TaviPaste$")})
                .isEmpty();
}

// Copies the links (the last one newest) into a program started with the environment, opens the
// list of every item and selects its rows from the top, one by one: `selected` runs after each
// selection with the row's index.
void previewLinksAsRoot(const QProcessEnvironment &environment, const QStringList &links,
                        const std::function<void(int row)> &selected)
{
    auto tavi = std::make_unique<Child>(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    struct Logs {
        QString stateHome;
        ~Logs()
        {
            if (::testing::Test::HasFailure())
                printLogs(stateHome);
        }
    } logs{stateHome};
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000))
        << "TaviPaste did not start";

    const QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    std::vector<std::unique_ptr<QProcess>> owners;
    for (const QString &link : links) {
        const qint64 stored = storedItems(dataHome);
        owners.push_back(copyWithXclip(link.toUtf8()));
        ASSERT_TRUE(waitUntil([&] { return storedItems(dataHome) > stored; }, 10000)) << "a copy was not stored";
    }
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("shift+super+a")}));
    ASSERT_TRUE(waitUntil([] { return listShown(); }, 10000)) << "the list did not open";
    for (int row = 0; row < links.size(); ++row) {
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Down")}));
        selected(row);
        ASSERT_EQ(tavi->process().state(), QProcess::Running)
            << "TaviPaste ended with status " << tavi->process().exitCode();
    }
    for (const auto &owner : owners)
        stop(*owner);
    tavi->process().terminate();
    ASSERT_TRUE(tavi->waitForExit(15000));
    EXPECT_EQ(tavi->process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tavi->process().exitCode(), 0);
}

} // namespace

TEST(EndToEnd, AsRootALinkPreviewIsTheLinksCardAndTheProgramKeepsRunning)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool") || !hasProgram("xclip"))
        GTEST_SKIP() << "needs an X display with xdotool and xclip";
    if (::geteuid() != 0)
        GTEST_SKIP() << "is about running as root";
    LoopbackHttpServer router;
    TaviSession session;
    QProcessEnvironment environment = isolatedEnvironment(session);
    // As the user starts it: nobody turned the web engine's sandbox off.
    environment.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    // A site's link (a name that is never registered: nothing is asked of the web) and a link to
    // this computer, newest first in the list.
    const QString local = router.baseURL() + QStringLiteral("/cgi-bin/reboot");
    previewLinksAsRoot(environment, {local, QStringLiteral("https://tavipaste-test.invalid/page")}, [&](int row) {
        if (row == 0)
            EXPECT_TRUE(waitUntil(
                [&] { return logContains(stateHome, "Link preview falls back to a card: running as root"); }, 10000))
                << "no card for the site's link";
        else
            EXPECT_TRUE(waitUntil(
                [&] {
                    return logContains(stateHome, "A page on this computer or the local network waits for the user");
                },
                10000))
                << "no card for the link to this computer";
    });
    EXPECT_EQ(router.connectionCount(), 0);
}

TEST(EndToEnd, ARunWhoseSandboxWasTurnedOffNeverStartsTheWebEngine)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool") || !hasProgram("xclip"))
        GTEST_SKIP() << "needs an X display with xdotool and xclip";
    TaviSession session;
    QProcessEnvironment environment = isolatedEnvironment(session);
    environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    previewLinksAsRoot(environment, {QStringLiteral("https://tavipaste-test.invalid/page")}, [&](int) {
        EXPECT_TRUE(waitUntil(
            [&] {
                return logContains(stateHome,
                                   "Link preview falls back to a card: the web engine's sandbox is turned off");
            },
            10000));
    });
}
