#include "X11TestSupport.h"

#include "platform/x11/X11Workspace.h"
#include "platform/x11/XcbConnection.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <atomic>

#include <gtest/gtest.h>

using namespace X11Test;

namespace {
void writeDesktopFile(const QString &id, const QByteArray &body)
{
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + id + QStringLiteral(".desktop"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(body);
}

bool activate(const QByteArray &window)
{
    bool ok = false;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(window)}, {}, &ok);
    return ok;
}
} // namespace

TEST(X11Workspace, TheActiveWindowsApplicationIsNamedAfterItsDesktopFile)
{
    writeDesktopFile(QStringLiteral("org.tavi.Probe"),
                     "[Desktop Entry]\nType=Application\nName=Tavi Probe\nExec=/opt/probe/bin/probe %U\n"
                     "Icon=probe-icon\nStartupWMClass=TaviProbe\n");
    auto workspace = X11Workspace::create();
    ASSERT_NE(workspace, nullptr);
    Peer probe({QStringLiteral("window"), QStringLiteral("TaviProbe"), QStringLiteral("Probe window")});
    const QByteArray window = probe.waitForLine("WINDOW:");
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(activate(window));

    // A copy made while the probe is frontmost.
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", "copied in the probe"));
    const auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->localizedName, QStringLiteral("Tavi Probe"));
    EXPECT_EQ(front->bundleIdentifier, QStringLiteral("org.tavi.Probe"));
    EXPECT_EQ(front->processIdentifier, probe.processId());
    EXPECT_TRUE(front->bundlePath.endsWith(QStringLiteral("/applications/org.tavi.Probe.desktop")));
    EXPECT_EQ(front->iconName, QStringLiteral("probe-icon"));

    bool listed = false;
    for (const RunningApplication &app : workspace->runningApplications())
        listed =
            listed
            || (app.bundleIdentifier == QStringLiteral("org.tavi.Probe") && app.processIdentifier == probe.processId());
    EXPECT_TRUE(listed);
}

TEST(X11Workspace, AWindowWithoutDesktopFileIsKnownByItsClass)
{
    auto workspace = X11Workspace::create();
    ASSERT_NE(workspace, nullptr);
    const QString windowClass = QStringLiteral("Unlisted%1").arg(QRandomGenerator::global()->bounded(100000));
    Peer probe({QStringLiteral("window"), windowClass, QStringLiteral("Unlisted window")});
    const QByteArray window = probe.waitForLine("WINDOW:");
    ASSERT_TRUE(activate(window));
    const auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->localizedName, windowClass);
    EXPECT_EQ(front->bundleIdentifier, windowClass);
    EXPECT_EQ(front->processIdentifier, probe.processId());
    EXPECT_TRUE(front->executablePath.endsWith(QStringLiteral("tavi_x11_peer")));
}

TEST(X11Workspace, WithoutAnActiveWindowTheClipboardsOwnerStandsIn)
{
    auto workspace = X11Workspace::create();
    ASSERT_NE(workspace, nullptr);
    Peer owner({QStringLiteral("secret"), QStringLiteral("owned by the peer")});
    ASSERT_EQ(owner.waitForLine("COPIED:"), QByteArray("1"));
    // As on a display without a window manager: nobody keeps the active window.
    auto connection = XcbConnection::open();
    xcb_delete_property(connection->raw(), connection->root(), connection->atom("_NET_ACTIVE_WINDOW"));
    xcb_flush(connection->raw());
    ASSERT_FALSE(connection->windowProperty(connection->root(), connection->atom("_NET_ACTIVE_WINDOW")));
    const auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->processIdentifier, owner.processId());
    EXPECT_FALSE(front->bundleIdentifier.isEmpty());
}

TEST(X11Workspace, ChangesOfTheActiveWindowAreReportedWithoutBeingAskedFor)
{
    auto workspace = X11Workspace::create();
    ASSERT_NE(workspace, nullptr);
    std::atomic<int> reported = 0;
    ASSERT_TRUE(workspace->setFrontmostApplicationObserver([&] { ++reported; }));
    const QString windowClass = QStringLiteral("Watched%1").arg(QRandomGenerator::global()->bounded(100000));
    Peer first({QStringLiteral("window"), QStringLiteral("WatchedFirst"), QStringLiteral("First window")});
    Peer probe({QStringLiteral("window"), windowClass, QStringLiteral("Watched window")});
    const QByteArray window = probe.waitForLine("WINDOW:");
    // The probe may have been activated when it was mapped: another window comes first.
    ASSERT_TRUE(activate(first.waitForLine("WINDOW:")));
    ASSERT_TRUE(waitUntil([&] { return reported > 0; }, 5000));
    const int before = reported;
    ASSERT_TRUE(activate(window));
    EXPECT_TRUE(waitUntil([&] { return reported > before; }, 5000));
    const auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->localizedName, windowClass);
    workspace->setFrontmostApplicationObserver(nullptr);
}
