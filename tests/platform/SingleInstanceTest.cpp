// One TaviPaste per session: the first claim wins, the others find it running and can ask it to
// show its quick-paste panel.

#include "platform/SingleInstance.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>

namespace {

SingleInstance::Address lockOnly(const QString &path)
{
    SingleInstance::Address address;
    address.useBus = false;
    address.lockFilePath = path;
    return address;
}

} // namespace

TEST(SingleInstance, WithoutABusAPrivateLockFileLetsOneRunAtATime)
{
    QTemporaryDir runtime;
    const SingleInstance::Address address = lockOnly(runtime.filePath(QStringLiteral("TaviPaste.lock")));
    EXPECT_FALSE(SingleInstance::isRunning(address));
    {
        const std::unique_ptr<SingleInstance> first = SingleInstance::claim(address);
        ASSERT_TRUE(first != nullptr);
        EXPECT_TRUE(SingleInstance::isRunning(address));
        EXPECT_TRUE(SingleInstance::claim(address) == nullptr);
        EXPECT_FALSE(SingleInstance::showQuickPastePanel(address, 100)) << "there is no asking without a bus";
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(address.lockFilePath).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    EXPECT_FALSE(SingleInstance::isRunning(address)) << "the lock goes with the instance, the file may stay";
    EXPECT_TRUE(SingleInstance::claim(address) != nullptr);
}

TEST(SingleInstance, OnTheBusTheFirstOwnsTheNameAndOthersAskItToShowThePanel)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "needs a D-Bus session bus";
    QTemporaryDir runtime;
    // A name of this test's own, so that tests running at the same time never meet.
    SingleInstance::Address mine;
    mine.serviceName = QStringLiteral("org.tavipaste.Test.i%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
    mine.lockFilePath = runtime.filePath(QStringLiteral("TaviPaste.lock"));
    SingleInstance::Address other = mine;
    other.busConnection = QStringLiteral("another-program");
    ASSERT_TRUE(QDBusConnection::connectToBus(QDBusConnection::SessionBus, other.busConnection).isConnected());

    EXPECT_FALSE(SingleInstance::isRunning(other));
    {
        // A bus-less instance's lock in the same runtime folder is not a TaviPaste of this session.
        const std::unique_ptr<SingleInstance> lockHolder = SingleInstance::claim(lockOnly(mine.lockFilePath));
        ASSERT_TRUE(lockHolder != nullptr);
        EXPECT_FALSE(SingleInstance::isRunning(other));
    }
    std::unique_ptr<SingleInstance> first = SingleInstance::claim(mine);
    ASSERT_TRUE(first != nullptr);
    EXPECT_TRUE(SingleInstance::isRunning(other));
    EXPECT_TRUE(SingleInstance::claim(other) == nullptr);

    // Asked from another connection while this thread answers: a request before the handler
    // exists is kept for it.
    auto ask = [&] {
        return std::async(std::launch::async, [&] { return SingleInstance::showQuickPastePanel(other); });
    };
    std::future<bool> early = ask();
    ASSERT_TRUE(waitUntil([&] { return early.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
    EXPECT_TRUE(early.get());
    int shown = 0;
    first->setQuickPastePanelHandler([&] { ++shown; });
    EXPECT_EQ(shown, 1);
    std::future<bool> later = ask();
    ASSERT_TRUE(waitUntil([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
    EXPECT_TRUE(later.get());
    EXPECT_EQ(shown, 2);

    first.reset();
    EXPECT_FALSE(SingleInstance::isRunning(other));
    EXPECT_TRUE(SingleInstance::claim(other) != nullptr) << "the name is free again";
    QDBusConnection::disconnectFromBus(other.busConnection);
}
