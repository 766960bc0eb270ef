// The history list's table reads ahead of the scroll: the pages the next scrolls of the same
// stride show are asked for once the rows shown are in, so that they are painted read.

#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "support/ShellHarness.h"

#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

constexpr int kItems = 400;

// The text of the row: the newest copy is the first row.
QString textAt(int row) { return QStringLiteral("text %1").arg(kItems - 1 - row); }

} // namespace

TEST(CategoryListTable, ReadsThePagesOfTheNextScrollsBeforeTheyAreShown)
{
    ShellHarness shell;
    for (int i = 0; i < kItems; ++i)
        shell.copyText(QStringLiteral("text %1").arg(i));
    CategoryListModel model(*shell.manager);
    bool done = false;
    model.fetch({PBCategory::all(), std::nullopt, {}}, [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done && model.rowCount() == kItems; }, 10000));
    CategoryListTableView table;
    table.setModel(&model);
    table.resize(300, 10 * table.rowHeight());
    table.show();
    const auto inMemory = [&](int row) { return model.rowOf(shell.item(textAt(row)).uuid()) >= 0; };
    const auto shownRead = [&] {
        const int first = table.indexAt(QPoint(1, 1)).row();
        for (int row = first; row < first + table.rowsPerPage(); ++row) {
            if (!inMemory(row))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(waitUntil(shownRead, 5000));
    // Down by 100 rows: the rows 100 and 200 further on come next.
    ASSERT_FALSE(inMemory(200));
    ASSERT_FALSE(inMemory(300));
    table.verticalScrollBar()->setValue(100 * table.rowHeight());
    ASSERT_TRUE(waitUntil(shownRead, 5000));
    EXPECT_TRUE(waitUntil([&] { return inMemory(200) && inMemory(300); }, 5000)) << "the rows ahead were not read";
    EXPECT_FALSE(inMemory(150)) << "rows between the strides were read";

    // From the end, up by 45 rows: the rows 45 and 90 further up come next.
    table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
    ASSERT_TRUE(waitUntil(shownRead, 5000));
    const int farAbove = table.indexAt(QPoint(1, 1)).row() - 45 - 90;
    ASSERT_FALSE(inMemory(farAbove));
    table.verticalScrollBar()->setValue(table.verticalScrollBar()->value() - 45 * table.rowHeight());
    ASSERT_TRUE(waitUntil(shownRead, 5000));
    EXPECT_TRUE(waitUntil([&] { return inMemory(farAbove); }, 5000)) << "the rows above were not read";
    EXPECT_FALSE(inMemory(150)) << "rows no scroll comes to were read";
    EXPECT_LE(model.cachedPageCount(), CategoryListModel::kMaxCachedPages);
}
