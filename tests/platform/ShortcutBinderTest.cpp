#include "platform/Defaults.h"
#include "platform/ShortcutBinder.h"
#include "platform/memory/RecordingShortcutMonitor.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

class ShortcutBinderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto monitor = std::make_unique<RecordingShortcutMonitor>();
        m_monitor = monitor.get();
        ShortcutMonitor::setShared(std::move(monitor));
        ShortcutBinder::shared().reset();
    }
    void TearDown() override { ShortcutBinder::shared().reset(); }

    ScopedXdgHome m_home;
    RecordingShortcutMonitor *m_monitor = nullptr;
    const QString m_key = QStringLiteral("activeSpotlightSearchShortcutKey");
    const Shortcut m_superJ{38, Shortcut::kCommand};
};

} // namespace

TEST_F(ShortcutBinderTest, TheDefaultRunsItsActionUntilTheUserRecordsAnother)
{
    auto &binder = ShortcutBinder::shared();
    int presses = 0;
    binder.registerDefaultShortcuts({{m_key, m_superJ}});
    EXPECT_TRUE(binder.bindShortcut(m_key, [&] { ++presses; }));
    EXPECT_TRUE(m_monitor->simulatePress(m_superJ));
    EXPECT_EQ(presses, 1);

    const Shortcut altK(40, Shortcut::kOption);
    binder.setShortcut(m_key, altK);
    EXPECT_FALSE(m_monitor->isShortcutRegistered(m_superJ));
    EXPECT_TRUE(m_monitor->simulatePress(altK));
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(binder.shortcut(m_key), altK);
}

TEST_F(ShortcutBinderTest, AStoredShortcutWinsOverTheDefaultAndSurvivesARestart)
{
    const Shortcut ctrlShiftV(9, Shortcut::kControl | Shortcut::kShift);
    Defaults::standard().setValue(m_key, ShortcutBinder::encode(ctrlShiftV));
    Defaults::resetStandard(Defaults::standard().filePath());
    auto &binder = ShortcutBinder::shared();
    binder.registerDefaultShortcuts({{m_key, m_superJ}});
    binder.bindShortcut(m_key, [] {});
    EXPECT_TRUE(m_monitor->isShortcutRegistered(ctrlShiftV));
    EXPECT_FALSE(m_monitor->isShortcutRegistered(m_superJ));
}

TEST_F(ShortcutBinderTest, ARemovedShortcutBindsNothing)
{
    auto &binder = ShortcutBinder::shared();
    binder.registerDefaultShortcuts({{m_key, m_superJ}});
    binder.setShortcut(m_key, std::nullopt);
    EXPECT_FALSE(binder.bindShortcut(m_key, [] {}));
    EXPECT_TRUE(m_monitor->registeredShortcuts().isEmpty());
    EXPECT_EQ(binder.shortcut(m_key), std::nullopt);
}

TEST_F(ShortcutBinderTest, ACombinationTakenElsewhereIsReportedAndNotHeld)
{
    m_monitor->simulateTakenElsewhere(m_superJ);
    auto &binder = ShortcutBinder::shared();
    binder.registerDefaultShortcuts({{m_key, m_superJ}});
    EXPECT_FALSE(binder.bindShortcut(m_key, [] {}));
    // Breaking the binding later must not remove a registration we never had.
    binder.breakBinding(m_key);
    EXPECT_FALSE(binder.isBound(m_key));
}

TEST_F(ShortcutBinderTest, StoredValuesThatAreNoShortcutAreIgnored)
{
    EXPECT_EQ(ShortcutBinder::decode(QStringLiteral("Meta+J")), std::nullopt);
    EXPECT_EQ(ShortcutBinder::decode(
                  QVariantMap{{QStringLiteral("keyCode"), qint64(-4)}, {QStringLiteral("modifierFlags"), qint64(0)}}),
              std::nullopt);
    EXPECT_EQ(ShortcutBinder::decode(
                  QVariantMap{{QStringLiteral("keyCode"), qint64(999)}, {QStringLiteral("modifierFlags"), qint64(0)}}),
              std::nullopt);
    EXPECT_EQ(ShortcutBinder::decode(ShortcutBinder::encode(m_superJ)), m_superJ);
}
