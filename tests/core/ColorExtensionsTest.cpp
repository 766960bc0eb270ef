#include "core/ColorExtensions.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {
QString roundTrip(const QString &text)
{
    const auto color = colorWithHexString(text);
    return color ? hexString(*color) : QStringLiteral("none");
}
} // namespace

TEST(ColorHex, TheThreePrefixesReadTheSameColour)
{
    EXPECT_EQ(roundTrip(QStringLiteral("#1A2b3C")), QStringLiteral("#1A2B3C"));
    EXPECT_EQ(roundTrip(QStringLiteral("0x1A2b3C")), QStringLiteral("#1A2B3C"));
    EXPECT_EQ(roundTrip(QStringLiteral("0X1A2b3C")), QStringLiteral("#1A2B3C"));
    EXPECT_EQ(roundTrip(QStringLiteral("1A2b3C")), QStringLiteral("#1A2B3C"));
    EXPECT_EQ(colorWithHexString(QStringLiteral("#3498DB"))->alphaF(), 1.0f);
}

TEST(ColorHex, BarePrefixesAndEmptyTextGiveNothing)
{
    for (const char *text : {"", "#", "0x", "0X", "#+", "-", "#0x10", "##10"})
        EXPECT_FALSE(colorWithHexString(QString::fromLatin1(text)).has_value()) << text;
}

TEST(ColorHex, DigitsAreReadAsANumberNotAShortColour)
{
    const QColor color = *colorWithHexString(QStringLiteral("FFF"));
    EXPECT_EQ(color.red(), 0);
    EXPECT_EQ(color.green(), 15);
    EXPECT_EQ(color.blue(), 255);
    EXPECT_EQ(roundTrip(QStringLiteral("#80FF0000")), QStringLiteral("#FF0000")); // only the low 24 bits count
}

TEST(ColorHex, SignsAreAcceptedAndNegativesUseTwosComplement)
{
    EXPECT_EQ(roundTrip(QStringLiteral("+123456")), QStringLiteral("#123456"));
    EXPECT_EQ(roundTrip(QStringLiteral("#+123456")), QStringLiteral("#123456"));
    EXPECT_EQ(roundTrip(QStringLiteral("-1")), QStringLiteral("#FFFFFF"));
    EXPECT_EQ(roundTrip(QStringLiteral("-8000000000000000")), QStringLiteral("#000000"));
}

TEST(ColorHex, BlanksStraySignsAndOverflowGiveNothing)
{
    for (const char *text : {" #FFFFFF", "#FFFFFF ", "#FF FFFF", "FF\tFFFF", "#FFFFFF\n", "+-1", "0x-1x", "#GG0000",
                             "8000000000000000", "-8000000000000001", "10000000000000000000"})
        EXPECT_FALSE(colorWithHexString(QString::fromLatin1(text)).has_value()) << text;
    EXPECT_TRUE(colorWithHexString(QStringLiteral("7FFFFFFFFFFFFFFF")).has_value());
    EXPECT_FALSE(colorWithHexString(QStringLiteral("#１２３４５６")).has_value()); // full-width digits
}

TEST(ColorHex, WritingRoundsHalvesAwayFromZero)
{
    EXPECT_EQ(hexString(QColor(Qt::red)), QStringLiteral("#FF0000"));
    EXPECT_EQ(hexString(QColor::fromRgbF(0.5f, 0.0f, 1.0f)), QStringLiteral("#8000FF"));
    EXPECT_EQ(hexString(QColor::fromRgbF(0.2f, 0.4f, 0.6f, 0.3f)), QStringLiteral("#336699")); // alpha is not written
}

TEST(ColorHex, ComponentsOutsideTheRangeAreClamped)
{
    const QColor extended = QColor::fromRgbF(1.7f, -0.4f, 0.5f);
    EXPECT_EQ(hexString(extended), QStringLiteral("#FF0080"));
    EXPECT_EQ(hexString(QColor::fromHsvF(0.5f, 1.0f, 1.0f)), QStringLiteral("#00FFFF"));
    EXPECT_EQ(hexString(QColor()).size(), 7);
}

TEST(ColorHex, EveryWrittenColourReadsBackToTheSameBytes)
{
    for (int value = 0; value < 0x1000000; value += 0x010203) {
        const QColor color = colorWithRGB(quint32(value));
        const auto back = colorWithHexString(hexString(color));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->rgb(), color.rgb());
    }
}
