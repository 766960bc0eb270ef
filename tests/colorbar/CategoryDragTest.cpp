#include "ColorBarTestSupport.h"

#include "colorbar/CategoryPasteboardWriter.h"
#include "core/NotificationNames.h"
#include "platform/NotificationCenter.h"

#include <QMimeData>

namespace {

PBCategory named(const QString &name)
{
    return PBCategory(std::nullopt, name, Qt::red, Qt::white, PBDefaultCategory::custom, false, false);
}

QStringList names(const QList<PBCategory> &categories)
{
    QStringList result;
    for (const PBCategory &category : categories)
        result.append(category.name());
    return result;
}

TEST(CategoryReorderTest, DraggedRowsLandAboveTheDropRow)
{
    const QList<PBCategory> abcd{named("A"), named("B"), named("C"), named("D")};
    EXPECT_EQ(names(reorderedCategories(abcd, {0}, 3)), (QStringList{"B", "C", "A", "D"}));
    EXPECT_EQ(names(reorderedCategories(abcd, {3}, 0)), (QStringList{"D", "A", "B", "C"}));
    EXPECT_EQ(names(reorderedCategories(abcd, {0}, 4)), (QStringList{"B", "C", "D", "A"}));
    EXPECT_EQ(names(reorderedCategories(abcd, {1}, 1)), (QStringList{"A", "B", "C", "D"}));
    EXPECT_EQ(names(reorderedCategories(abcd, {1}, 2)), (QStringList{"A", "B", "C", "D"}));
}

TEST(CategoryReorderTest, OnlyDistinctCurrentRowsAreTakenFromAPayload)
{
    const QList<PBCategory> rows{named("A"), named("B"), named("C")};
    const auto payload = [](const QByteArray &indexes, std::optional<PBCategory> category = std::nullopt) {
        auto data = std::make_unique<QMimeData>();
        data->setData(CategoryPasteboardWriter::kIndexType, indexes);
        if (category)
            data->setData(CategoryPasteboardWriter::kCategoryType, category->encode());
        return data;
    };
    EXPECT_EQ(CategoryPasteboardWriter::draggedRows(payload("1").get(), rows), QList<int>{1});
    EXPECT_FALSE(CategoryPasteboardWriter::draggedRows(payload("3").get(), rows));
    EXPECT_FALSE(CategoryPasteboardWriter::draggedRows(payload("-1").get(), rows));
    EXPECT_FALSE(CategoryPasteboardWriter::draggedRows(payload("1 1").get(), rows));
    EXPECT_FALSE(CategoryPasteboardWriter::draggedRows(payload("one").get(), rows));
    EXPECT_FALSE(CategoryPasteboardWriter::draggedRows(payload("").get(), rows));
    EXPECT_FALSE(CategoryPasteboardWriter::draggedRows(payload("1", rows.at(2)).get(), rows)) << "a stale drag";
    EXPECT_EQ(CategoryPasteboardWriter::draggedRows(payload("2", rows.at(2)).get(), rows), QList<int>{2});

    const std::unique_ptr<QMimeData> written(CategoryPasteboardWriter(rows.at(1), 1).mimeData());
    EXPECT_EQ(written->formats(),
              (QStringList{CategoryPasteboardWriter::kIndexType, CategoryPasteboardWriter::kCategoryType}));
    EXPECT_EQ(PBCategory::decode(written->data(CategoryPasteboardWriter::kCategoryType))->id(), rows.at(1).id());
}

using CategoryDragTest = ColorBarTest;

TEST_F(CategoryDragTest, ADropFromTheBarReordersTheStoredCategories)
{
    RecordedEvents events;
    int changes = 0;
    ObserverBag bag;
    bag.observe(NotificationName::colorBarCategoryChanged, [&](const Notification &) { ++changes; });
    MainViewController &view = makeBar();
    const QList<PBCategory> before = categories().categories();
    const std::unique_ptr<QMimeData> data(CategoryPasteboardWriter(before.at(0), 0).mimeData());
    EXPECT_FALSE(view.acceptCategoryDrop(nullptr, data.get(), 3)) << "drops come only from the bar";
    EXPECT_FALSE(view.acceptCategoryDrop(&view, data.get(), 99));
    EXPECT_EQ(changes, 0);

    ASSERT_TRUE(view.acceptCategoryDrop(&view, data.get(), 3));
    const QList<PBCategory> after = categories().fetchCategories();
    EXPECT_EQ(after.at(2).id(), before.at(0).id());
    EXPECT_EQ(after.at(0).id(), before.at(1).id());
    EXPECT_EQ(view.categoryAt(2)->id(), before.at(0).id());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(events.named(QStringLiteral("Category_Action")).size(), 1);

    // The same payload is now stale: its row holds another category.
    EXPECT_FALSE(view.acceptCategoryDrop(&view, data.get(), 5));
    EXPECT_EQ(categories().fetchCategories().at(2).id(), before.at(0).id());
}

TEST_F(CategoryDragTest, TheDropRowFollowsThePointerOverTheShownRows)
{
    MainViewController &view = makeBar();
    EXPECT_EQ(view.dropRowAt(QPoint(5, 2)), 0);
    EXPECT_EQ(view.dropRowAt(QPoint(5, 44 + 30)), 2);
    EXPECT_EQ(view.dropRowAt(QPoint(5, 8 * 44 + 2)), 8);
    EXPECT_FALSE(view.rowAt(QPoint(5, 8 * 44 + 2)).has_value()) << "the add button is no row";
}

} // namespace
