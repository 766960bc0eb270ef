// The login helper as the session starts it: the real executable in an install layout of its
// own, a stand-in TaviPaste beside it, and a private session bus per test.

#include "platform/DistributedNotificationCenter.h"
#include "platform/LoginHelper.h"
#include "platform/SingleInstance.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A session bus of this test only, so helpers and programs of other tests cannot interfere.
class PrivateBus {
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000))
            return;
        waitUntil([&] { return m_daemon.canReadLine() || (m_daemon.waitForReadyRead(50) && m_daemon.canReadLine()); },
                  5000);
        address = QString::fromUtf8(m_daemon.readLine().trimmed());
        if (!address.isEmpty())
            center = std::make_unique<DistributedNotificationCenter>(
                QDBusConnection::connectToBus(address, QStringLiteral("private-%1").arg(address)));
    }
    ~PrivateBus()
    {
        center.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("private-%1").arg(address));
        m_daemon.terminate();
        m_daemon.waitForFinished(3000);
    }
    bool isUp() const { return center && center->isConnected(); }

    QString address;
    std::unique_ptr<DistributedNotificationCenter> center;

private:
    QProcess m_daemon;
};

// <root>/libexec/tavipaste/TaviPasteHelper and, unless left out, <root>/bin/tavipaste: a script
// that notes each start in a file.
class InstallLayout {
public:
    explicit InstallLayout(bool withProgram = true)
    {
        const QString helperDir = m_root.filePath(QStringLiteral("libexec/tavipaste"));
        QDir().mkpath(helperDir);
        QDir().mkpath(m_root.filePath(QStringLiteral("bin")));
        helper = helperDir + QStringLiteral("/TaviPasteHelper");
        QFile::copy(QStringLiteral(TAVI_HELPER_EXECUTABLE), helper);
        starts = m_root.filePath(QStringLiteral("starts"));
        if (withProgram) {
            QFile program(m_root.filePath(QStringLiteral("bin/tavipaste")));
            program.open(QIODevice::WriteOnly);
            program.write("#!/bin/sh\necho started >> '" + starts.toUtf8() + "'\n");
            program.close();
            program.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
    }
    int startCount() const
    {
        QFile file(starts);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    QString helper;
    QString starts;

private:
    QTemporaryDir m_root;
};

class Helper {
public:
    Helper(const InstallLayout &layout, const QString &busAddress, int timeoutMs = 0)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        // A runtime folder of its own: no TaviPaste of another test holds its lock there.
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        if (timeoutMs > 0)
            environment.insert(QStringLiteral("TAVI_HELPER_TIMEOUT_MS"), QString::number(timeoutMs));
        process.setProcessEnvironment(environment);
        process.start(layout.helper, {});
        process.waitForStarted(5000);
    }
    ~Helper()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    bool hasQuit(int timeoutMs)
    {
        return waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    }
    QString errors() { return QString::fromUtf8(process.readAllStandardError()); }

    QTemporaryDir m_runtime;
    QProcess process;
};

} // namespace

TEST(LoginHelper, StartsTaviPasteAndQuitsWhenTaviPasteSaysSo)
{
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "no dbus-daemon";
    InstallLayout layout;
    Helper helper(layout, bus.address);
    ASSERT_TRUE(waitUntil([&] { return layout.startCount() == 1; }, 5000)) << helper.errors().toStdString();
    ASSERT_TRUE(waitUntil([&] { return bus.center->isNameOwned(LoginHelper::kHelperBusName); }, 3000));

    // Another program's word is not TaviPaste's.
    bus.center->post(QStringLiteral("killLauncher"), QStringLiteral("someone-else"));
    bus.center->post(QStringLiteral("killHelper"), LoginHelper::kMainIdentifier);
    EXPECT_FALSE(helper.hasQuit(500));
    bus.center->post(QStringLiteral("killLauncher"), LoginHelper::kMainIdentifier);
    ASSERT_TRUE(helper.hasQuit(5000));
    EXPECT_EQ(helper.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(helper.process.exitCode(), 0);
    EXPECT_EQ(layout.startCount(), 1);
}

TEST(LoginHelper, QuitsAtOnceWhenTaviPasteRunsAlready)
{
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(bus.center->registerName(QString::fromLatin1(SingleInstance::kServiceName)));
    InstallLayout layout;
    Helper helper(layout, bus.address);
    ASSERT_TRUE(helper.hasQuit(5000));
    EXPECT_EQ(helper.process.exitCode(), 0);
    EXPECT_EQ(layout.startCount(), 0);
}

TEST(LoginHelper, NeverWaitsForEver)
{
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "no dbus-daemon";
    InstallLayout layout;
    Helper helper(layout, bus.address, 300);
    ASSERT_TRUE(helper.hasQuit(5000));
    EXPECT_EQ(helper.process.exitCode(), 0);
    EXPECT_EQ(layout.startCount(), 1);
    EXPECT_TRUE(helper.errors().contains(QLatin1String("did not answer")));
}

TEST(LoginHelper, AMissingTaviPasteIsAnErrorNotAWait)
{
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "no dbus-daemon";
    InstallLayout layout(false);
    Helper helper(layout, bus.address);
    ASSERT_TRUE(helper.hasQuit(5000));
    EXPECT_EQ(helper.process.exitCode(), 1);
    EXPECT_TRUE(helper.errors().contains(QLatin1String("missing")));
    // It let go of its name: a later helper is not turned away.
    EXPECT_FALSE(bus.center->isNameOwned(LoginHelper::kHelperBusName));
}

TEST(LoginHelper, WithoutASessionBusStartsTaviPasteAndQuits)
{
    InstallLayout layout;
    Helper helper(layout, QStringLiteral("unix:path=/nonexistent/bus"));
    ASSERT_TRUE(helper.hasQuit(5000));
    EXPECT_EQ(helper.process.exitCode(), 0);
    EXPECT_TRUE(waitUntil([&] { return layout.startCount() == 1; }, 3000));
    EXPECT_TRUE(helper.errors().contains(QLatin1String("No D-Bus session bus")));
}
