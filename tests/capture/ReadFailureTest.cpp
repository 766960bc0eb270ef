#include "CaptureTestSupport.h"

#include "core/NotificationNames.h"
#include "core/store/SearchIndex.h"
#include "platform/Strings.h"

#include <SQLiteCpp/Database.h>

#include <QImage>

#include <gtest/gtest.h>

namespace {
// The history as a fresh launch finds it: nothing of it in memory.
void restart(CaptureHarness &h)
{
    ASSERT_TRUE(h.manager->saveNow());
    h.manager.reset();
    h.categories.reset();
    CoreDataStack::resetShared();
    h.categories = std::make_unique<PBCategoryManager>(CoreDataStack::shared().managedContext());
    h.manager = std::make_unique<TaviPBManager>(h.pasteboard, h.workspace, *h.categories);
    h.watchProblems();
}

void renameTable(const char *from, const char *to)
{
    // The store's own connection may be writing (the search index is built in the background): wait our turn.
    SQLite::Database database(CoreDataStack::shared().storePath().toStdString(), SQLite::OPEN_READWRITE, 10000);
    SearchIndex::registerFunctions(database); // the schema's search index needs its tokenizer
    database.exec(std::string("ALTER TABLE \"") + from + "\" RENAME TO \"" + to + "\"");
}
} // namespace

TEST(ReadFailure, AnItemWhoseDataCannotBeReadIsNotCopiedOutEmpty)
{
    CaptureHarness h;
    PasteboardItem image;
    image.setData(PasteboardType::png, pngOf(QImage(8, 8, QImage::Format_RGB32)));
    h.copyFromOutside({image});
    restart(h);
    const QList<PBItem> listed = h.manager->getItemsPage(0, 10); // lists carry no representations
    ASSERT_EQ(listed.size(), 1);
    h.pasteboard.simulateCopy({CaptureHarness::textItem(QStringLiteral("on the clipboard"))});

    renameTable("PBPasteboardDataRecord", "away");
    h.clearPosted();
    bool readFailed = false;
    EXPECT_FALSE(h.manager->getPasteboardItem(listed.first(), std::nullopt, &readFailed));
    EXPECT_TRUE(readFailed);
    EXPECT_FALSE(h.manager->copy(listed, std::nullopt));
    h.settle();
    ASSERT_EQ(h.pasteboard.contents().size(), 1);
    EXPECT_EQ(h.pasteboard.contents().first().string(PasteboardType::string), QStringLiteral("on the clipboard"));
    EXPECT_EQ(h.told(), QStringList{L("Read.Problem.CopyOut")});

    // Once the store reads again, so does the item: the failure was not remembered as "empty".
    renameTable("away", "PBPasteboardDataRecord");
    EXPECT_TRUE(h.manager->copy(listed, std::nullopt));
    ASSERT_EQ(h.pasteboard.contents().size(), 1);
    EXPECT_TRUE(h.pasteboard.contents().first().types().contains(PasteboardType::png));
}
