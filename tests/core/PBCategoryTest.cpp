#include "core/PBCategory.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {
PBCategory make(std::optional<QString> id, PBDefaultCategory type, const QString &name = QStringLiteral("Work"))
{
    return PBCategory(std::move(id), name, QColor(0x12, 0x34, 0x56), QColor(0xAB, 0xCD, 0xEF), type, false, false);
}

QString hex(const QColor &color) { return color.name(QColor::HexRgb).toUpper(); }
} // namespace

TEST(PBDefaultCategory, RawValuesIdsAndColoursOfTheKinds)
{
    const QStringList raw = {"unknown", "custom", "all", "text", "link", "image", "file", "note", "other", "email"};
    const QStringList ids = {"-1", "100", "0", "1", "2", "3", "4", "5", "6", "7"};
    ASSERT_EQ(PBDefaultCategories::allCases().size(), 10);
    for (int i = 0; i < 10; ++i) {
        const PBDefaultCategory kind = PBDefaultCategories::allCases().at(i);
        EXPECT_EQ(rawValue(kind), raw.at(i));
        EXPECT_EQ(categoryKind(raw.at(i)), kind);
        EXPECT_EQ(categoryId(kind), ids.at(i));
    }
    EXPECT_FALSE(categoryKind(QStringLiteral("Text")));
    EXPECT_FALSE(categoryKind(QString()));
    EXPECT_EQ(hex(defaultBackgroundColor(PBDefaultCategory::note)), QStringLiteral("#3498DB"));
    EXPECT_EQ(hex(defaultBackgroundColor(PBDefaultCategory::custom)), QStringLiteral("#555555"));
    EXPECT_EQ(defaultBackgroundColorName(PBDefaultCategory::custom), QStringLiteral("Midnight Blue"));
    EXPECT_EQ(localizedName(PBDefaultCategory::text), QStringLiteral("Text"));
    EXPECT_FALSE(isContentKind(PBDefaultCategory::all));
    EXPECT_FALSE(isContentKind(PBDefaultCategory::custom));
    EXPECT_TRUE(isContentKind(PBDefaultCategory::email));
}

TEST(PBCategory, IdsComeFromTheKindUnlessGiven)
{
    const QRegularExpression uuid(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const PBCategory first = make(std::nullopt, PBDefaultCategory::custom);
    const PBCategory second = make(std::nullopt, PBDefaultCategory::custom);
    EXPECT_TRUE(uuid.match(first.id()).hasMatch()) << first.id().toStdString();
    EXPECT_NE(first.id(), second.id());
    EXPECT_EQ(make(std::nullopt, PBDefaultCategory::note).id(), QStringLiteral("5"));
    EXPECT_EQ(make(QStringLiteral("42"), PBDefaultCategory::all).id(), QStringLiteral("42"));
    EXPECT_EQ(PBCategory::all().id(), QStringLiteral("0"));
    EXPECT_EQ(PBCategory::all().type(), PBDefaultCategory::all);
}

TEST(PBCategory, EqualityComparesIdsOnly)
{
    EXPECT_EQ(make(QStringLiteral("A"), PBDefaultCategory::custom, QStringLiteral("One")),
              make(QStringLiteral("A"), PBDefaultCategory::text, QStringLiteral("Two")));
    EXPECT_NE(make(QStringLiteral("A"), PBDefaultCategory::custom),
              make(QStringLiteral("B"), PBDefaultCategory::custom));
}

TEST(PBCategory, AnArchiveDecodesToTheSameCategory)
{
    PBCategory category = make(std::nullopt, PBDefaultCategory::custom, QStringLiteral("Rechnungen ✓"));
    category.setHidden(true);
    category.setLocked(true);
    const auto decoded = PBCategory::decode(category.encode());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, category);
    EXPECT_EQ(decoded->name(), category.name());
    EXPECT_EQ(decoded->type(), PBDefaultCategory::custom);
    EXPECT_EQ(hex(decoded->backgroundColor()), QStringLiteral("#123456"));
    EXPECT_EQ(hex(decoded->foregroundColor()), QStringLiteral("#ABCDEF"));
    EXPECT_TRUE(decoded->isHidden());
    EXPECT_TRUE(decoded->isLocked());
}

TEST(PBCategory, DecodingFallsBackForBadEntriesAndFailsWithoutAnId)
{
    const auto odd =
        PBCategory::decode(R"({"id":"X","type":"folder","backgroundColor":"#GG0000","foregroundColor":7})");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->type(), PBDefaultCategory::unknown);
    EXPECT_EQ(odd->name(), QStringLiteral("??"));
    EXPECT_EQ(odd->backgroundColor(), QColor(Qt::red));
    EXPECT_EQ(hex(odd->foregroundColor()), QStringLiteral("#ECF0F1"));
    EXPECT_FALSE(odd->isHidden());

    EXPECT_FALSE(PBCategory::decode(R"({"name":"No id"})"));
    EXPECT_FALSE(PBCategory::decode(R"({"id":5})"));
    EXPECT_FALSE(PBCategory::decode("garbage"));
}
