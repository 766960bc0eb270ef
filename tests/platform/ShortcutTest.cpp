#include "platform/Shortcut.h"
#include "platform/memory/RecordingShortcutMonitor.h"

#include <gtest/gtest.h>

TEST(Shortcut, StoredKeyCodesMapToTheirKeys)
{
    EXPECT_EQ(Shortcut::qtKey(38), int(Qt::Key_J));
    EXPECT_EQ(Shortcut::qtKey(4), int(Qt::Key_H));
    EXPECT_EQ(Shortcut::qtKey(8), int(Qt::Key_C));
    EXPECT_EQ(Shortcut::qtKey(9), int(Qt::Key_V));
    // The digit keys of quick selection, 1 to 9.
    const int digits[] = {18, 19, 20, 21, 23, 22, 26, 28, 25};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Shortcut::qtKey(digits[i]), int(Qt::Key_1) + i) << i;
    EXPECT_EQ(Shortcut::qtKey(52), 0);
    EXPECT_FALSE(Shortcut(52, Shortcut::kCommand).isValid());
}

TEST(Shortcut, RecordedPressesRoundTrip)
{
    const auto commandJ = Shortcut::fromQtKeyEvent(Qt::Key_J, Qt::MetaModifier);
    ASSERT_TRUE(commandJ.has_value());
    EXPECT_EQ(*commandJ, Shortcut(38, Shortcut::kCommand));

    // Shift+1 arrives as "!"; the stored key is still the digit.
    const auto shiftOne = Shortcut::fromQtKeyEvent(Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier);
    ASSERT_TRUE(shiftOne.has_value());
    EXPECT_EQ(*shiftOne, Shortcut(18, Shortcut::kShift | Shortcut::kControl));

    EXPECT_FALSE(Shortcut::fromQtKeyEvent(Qt::Key_unknown, Qt::NoModifier).has_value());
    EXPECT_EQ(Shortcut(8, 0x120000).keySequence(), QKeySequence(Qt::ShiftModifier | Qt::MetaModifier | Qt::Key_C));
}

TEST(Shortcut, DisplayTextNamesThisDesktopsKeys)
{
    EXPECT_EQ(Shortcut(38, Shortcut::kCommand).displayText(), QStringLiteral("Super+J"));
    EXPECT_EQ(Shortcut(8, Shortcut::kShift | Shortcut::kCommand).displayText(), QStringLiteral("Shift+Super+C"));
    EXPECT_EQ(Shortcut(18, Shortcut::kControl | Shortcut::kOption).displayText(), QStringLiteral("Ctrl+Alt+1"));
    EXPECT_EQ(Shortcut(52, Shortcut::kCommand).displayText(), QString());
}

TEST(Shortcut, ModifierFlagsOutsideTheMaskAreDropped)
{
    // Caps Lock (0x10000) and device bits must not make a different shortcut.
    EXPECT_EQ(Shortcut(38, Shortcut::kCommand | 0x10000 | 0x8), Shortcut(38, Shortcut::kCommand));
}

TEST(RecordingShortcutMonitor, TakenCombinationsFailAndOthersFire)
{
    RecordingShortcutMonitor monitor;
    const Shortcut commandJ(38, Shortcut::kCommand);
    const Shortcut commandH(4, Shortcut::kCommand);
    monitor.simulateTakenElsewhere(commandH);
    int fired = 0;
    EXPECT_TRUE(monitor.registerShortcut(commandJ, [&] { ++fired; }));
    EXPECT_FALSE(monitor.registerShortcut(commandH, [&] { ++fired; }));
    EXPECT_FALSE(monitor.isShortcutRegistered(commandH));
    EXPECT_TRUE(monitor.simulatePress(commandJ));
    EXPECT_EQ(fired, 1);
    monitor.unregisterShortcut(commandJ);
    EXPECT_FALSE(monitor.simulatePress(commandJ));
}
