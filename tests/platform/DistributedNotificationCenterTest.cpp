#include "platform/DistributedNotificationCenter.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

#include <unistd.h>

TEST(DistributedNotifications, AnObserverHearsOnlyItsNameAndObject)
{
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    if (!center.isConnected())
        GTEST_SKIP() << "no session bus";
    // A second connection stands for another program.
    DistributedNotificationCenter other(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other")));
    ASSERT_TRUE(other.isConnected());
    // An object of this test only: a real helper on the bus must not take these for its own.
    const QString me = QStringLiteral("tavipaste-test-%1").arg(::getpid());
    int heard = 0;
    const auto token = center.addObserver(QStringLiteral("killLauncher"), me, [&] { ++heard; });
    ASSERT_NE(token, 0u);
    // One program's postings arrive in order: once its last is heard, every earlier one was.
    int marks = 0;
    const auto mark = center.addObserver(QStringLiteral("testMark"), me, [&] { ++marks; });
    ASSERT_NE(mark, 0u);
    const auto allArrived = [&] {
        const int expected = marks + 1;
        return other.post(QStringLiteral("testMark"), me) && waitUntil([&] { return marks == expected; }, 3000);
    };
    EXPECT_TRUE(other.post(QStringLiteral("killLauncher"), QStringLiteral("someone-else")));
    EXPECT_TRUE(other.post(QStringLiteral("killHelper"), me));
    EXPECT_TRUE(other.post(QStringLiteral("killLauncher"), me));
    ASSERT_TRUE(allArrived());
    EXPECT_EQ(heard, 1);

    center.removeObserver(token);
    EXPECT_TRUE(other.post(QStringLiteral("killLauncher"), me));
    ASSERT_TRUE(allArrived());
    EXPECT_EQ(heard, 1);
    center.removeObserver(mark);
    EXPECT_FALSE(other.post(QStringLiteral("kill-launcher"), me));
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

TEST(DistributedNotifications, AnOwnedBusNameIsSeenByOthers)
{
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    if (!center.isConnected())
        GTEST_SKIP() << "no session bus";
    const QString name = QStringLiteral("org.tavipaste.Test.N%1").arg(::getpid());
    EXPECT_FALSE(center.isNameOwned(name));
    ASSERT_TRUE(center.registerName(name));
    DistributedNotificationCenter other(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other2")));
    EXPECT_TRUE(other.isNameOwned(name));
    EXPECT_FALSE(other.registerName(name));
    QDBusConnection::sessionBus().unregisterService(name);
    EXPECT_FALSE(other.isNameOwned(name));
    QDBusConnection::disconnectFromBus(QStringLiteral("other2"));
}

TEST(DistributedNotifications, WithoutABusNothingIsPostedOrObserved)
{
    DistributedNotificationCenter center(QDBusConnection(QStringLiteral("never-connected")));
    EXPECT_FALSE(center.isConnected());
    EXPECT_FALSE(center.post(QStringLiteral("killHelper"), QStringLiteral("tavipaste")));
    EXPECT_FALSE(center.lastError().isEmpty());
    EXPECT_EQ(center.addObserver(QStringLiteral("killLauncher"), QStringLiteral("tavipaste"), [] {}), 0u);
    EXPECT_FALSE(center.isNameOwned(QStringLiteral("org.freedesktop.DBus")));
}
