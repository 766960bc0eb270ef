#include "CaptureTestSupport.h"

#include "capture/ItemTitle.h"
#include "capture/PBItemRecordConversion.h"
#include "core/TaviSettings.h"
#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
QStringList textsOf(const QList<PBItem> &items)
{
    QStringList texts;
    for (const PBItem &item : items)
        texts.append(item.dataProvider()->representedText());
    return texts;
}

QList<PBItem> waitForItems(const std::function<void(const TaviPBManager::ItemsCompletion &)> &query)
{
    std::optional<QList<PBItem>> result;
    query([&](const QList<PBItem> &items) { result = items; });
    waitUntil([&] { return result.has_value(); });
    return result.value_or(QList<PBItem>());
}

void tick() { waitForTheClockToMove(); }
} // namespace

TEST(HistoryQueries, AllItemsListPinnedFirstThenNewest)
{
    CaptureHarness h;
    for (const char *text : {"one", "two", "three"}) {
        h.copyText(QString::fromLatin1(text));
        tick();
    }
    h.manager->stickItem(h.item(QStringLiteral("one")), true);
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("one"), QStringLiteral("three"), QStringLiteral("two")}));
    EXPECT_EQ(textsOf(h.manager->getItemsPage(1, 5)), (QStringList{QStringLiteral("three"), QStringLiteral("two")}));
    EXPECT_EQ(h.manager->itemCount(), 3);
}

TEST(HistoryQueries, KindsAndCategoriesSelectTheirItems)
{
    CaptureHarness h;
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    h.copyText(QStringLiteral("plain"));
    tick();
    h.copyText(QStringLiteral("https://example.org"));
    h.manager->addItem(h.item(QStringLiteral("plain")), work);

    QList<PBItem> texts;
    h.manager->getItems(PBDefaultCategory::text, false, [&](const QList<PBItem> &items) { texts = items; });
    EXPECT_EQ(textsOf(texts), QStringList{QStringLiteral("plain")});
    QList<PBItem> inWork;
    h.manager->getItems(work, false, [&](const QList<PBItem> &items) { inWork = items; });
    EXPECT_EQ(textsOf(inWork), QStringList{QStringLiteral("plain")});
    QList<PBItem> all;
    h.manager->getItems(PBCategory::all(), false, [&](const QList<PBItem> &items) { all = items; });
    EXPECT_EQ(all.size(), 2);

    // Counted without the lists, saved or not.
    EXPECT_EQ(h.manager->itemCount(work), 1);
    EXPECT_EQ(h.manager->itemCount(PBCategory::all()), 2);
    h.manager->saveNow();
    h.manager->addItem(h.item(QStringLiteral("https://example.org")), work);
    EXPECT_EQ(h.manager->itemCount(work), 2);
    h.manager->saveNow();
    EXPECT_EQ(h.manager->itemCount(work), 2);
}

TEST(HistoryQueries, SearchFoldsCaseAndLooksAtTextAndSourceOnly)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("meeting notes"));
    tick();
    h.copyText(QStringLiteral("unrelated"));
    h.manager->updateComment(h.item(QStringLiteral("unrelated")), QStringLiteral("MEETING"));

    h.manager->setFilter(PBSearchFilter{{QStringLiteral("MEETING")}});
    EXPECT_EQ(textsOf(waitForItems([&](auto done) { h.manager->getItems(PBDefaultCategory::all, true, done); })),
              QStringList{QStringLiteral("meeting notes")});
    h.manager->setFilter(PBSearchFilter{{QStringLiteral("editor")}});
    EXPECT_EQ(waitForItems([&](auto done) { h.manager->getItems(PBDefaultCategory::all, true, done); }).size(), 2);
    h.manager->setFilter(PBSearchFilter{});
    EXPECT_TRUE(waitForItems([&](auto done) { h.manager->getItems(PBDefaultCategory::all, true, done); }).isEmpty());
    // The lists that must not follow the search still see everything.
    QList<PBItem> unfiltered;
    h.manager->getItems(PBDefaultCategory::all, false, [&](const QList<PBItem> &items) { unfiltered = items; });
    EXPECT_EQ(unfiltered.size(), 2);
}

TEST(HistoryQueries, SearchPagesAreWindowsOfTheWholeSearch)
{
    CaptureHarness h;
    for (int i = 0; i < 12; ++i) {
        h.copyText(i % 3 ? QStringLiteral("Report %1").arg(i) : QStringLiteral("other %1").arg(i));
        tick();
    }
    h.manager->stickItem(h.item(QStringLiteral("Report 1")), true);
    const PBSearchFilter search{{QStringLiteral("report")}};
    h.manager->setFilter(search);
    const QStringList whole =
        textsOf(waitForItems([&](auto done) { h.manager->getItems(PBDefaultCategory::all, true, done); }));
    h.manager->setFilter(std::nullopt);
    ASSERT_EQ(whole.size(), 8);
    EXPECT_EQ(whole.first(), QStringLiteral("Report 1"));
    EXPECT_EQ(h.manager->filterItemCount(search), 8);
    for (int offset : {0, 3, 7, 8})
        EXPECT_EQ(textsOf(h.manager->getFilterItemsPage(search, offset, 3)), whole.mid(offset, 3)) << offset;
    EXPECT_TRUE(h.manager->getFilterItemsPage(PBSearchFilter{{QString()}}, 0, 3).isEmpty());
    EXPECT_EQ(h.manager->filterItemCount(PBSearchFilter{}), 0);
}

TEST(HistoryQueries, SearchInTheTextListFollowsTheTextSortSettings)
{
    CaptureHarness h;
    for (const char *text : {"b match", "a match", "c match"}) {
        h.copyText(QString::fromLatin1(text));
        tick();
    }
    h.manager->stickItem(h.item(QStringLiteral("c match")), true);
    TaviSettings::shared().setTextSortType(TextSorter::title);
    TaviSettings::shared().setTextOrderAscending(true);
    h.manager->setFilter(PBSearchFilter{{QStringLiteral("match")}});
    const PBCategory textCategory(std::nullopt, QString(), {}, {}, PBDefaultCategory::text, false, false);
    EXPECT_EQ(textsOf(waitForItems([&](auto done) { h.manager->getItems(textCategory, true, done); })),
              (QStringList{QStringLiteral("c match"), QStringLiteral("a match"), QStringLiteral("b match")}));
}

TEST(HistoryQueries, ReloadByTitleOrdersTheMainListAndChangesRestoreTheDefault)
{
    CaptureHarness h;
    for (const char *text : {"banana", "Cherry", "apple"}) {
        h.copyText(QString::fromLatin1(text));
        tick();
    }
    // Case does not order the titles.
    h.manager->reloadRecords(RecordSorter::title, true);
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("apple"), QStringLiteral("banana"), QStringLiteral("Cherry")}));
    h.copyText(QStringLiteral("date"));
    EXPECT_EQ(h.texts().first(), QStringLiteral("date"));
    EXPECT_EQ(h.texts().last(), QStringLiteral("banana"));
}

TEST(RecordConversion, RecordsMissingWhatIdentifiesAnItemGiveNone)
{
    CaptureHarness h;
    auto &storage = h.manager->storage();
    const auto categoryRows = h.categories->storage().fetch(std::nullopt).value();
    auto rowOf = [&](PBDefaultCategory kind) {
        for (const auto &row : categoryRows)
            if (row->type() == rawValue(kind))
                return row;
        return std::shared_ptr<PBCategoryRecord>();
    };
    auto record = storage.newRecord();
    record->setDataHash(QStringLiteral("h"));
    record->setCreatedAt(QDateTime::currentDateTime());
    record->addCategoriesObject(rowOf(PBDefaultCategory::text));
    EXPECT_FALSE(pbItem(*record)); // no uuid
    record->setUuid(QUuid::createUuid());
    EXPECT_TRUE(pbItem(*record));
    EXPECT_EQ(pbItem(*record)->modifiedTime(), pbItem(*record)->createTime());
    EXPECT_EQ(pbItem(*record)->dataProvider()->representedText(), QString());

    auto onlyAll = storage.newRecord();
    onlyAll->setUuid(QUuid::createUuid());
    onlyAll->setDataHash(QStringLiteral("h2"));
    onlyAll->setCreatedAt(QDateTime::currentDateTime());
    onlyAll->addCategoriesObject(rowOf(PBDefaultCategory::all));
    EXPECT_FALSE(pbItem(*onlyAll));

    auto image = storage.newRecord();
    image->setUuid(QUuid::createUuid());
    image->setDataHash(QStringLiteral("h3"));
    image->setCreatedAt(QDateTime::currentDateTime());
    image->addCategoriesObject(rowOf(PBDefaultCategory::image));
    image->setData("file:///tmp/picture.png");
    EXPECT_TRUE(pbItem(*image)->dataProvider()->is<PBFileItemProvider>());
    image->setData(QByteArray("\x89PNG", 4));
    // The name stored with it, which earlier versions made the item's id: never shown as its title.
    image->setText(image->uuid().toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(pbItem(*image)->dataProvider()->representedText(), image->text());
    EXPECT_EQ(itemTitle(*pbItem(*image), 64), QStringLiteral("Image"));

    auto note = storage.newRecord();
    note->setUuid(QUuid::createUuid());
    note->setDataHash(QStringLiteral("h4"));
    note->setCreatedAt(QDateTime::currentDateTime());
    note->setAppId(QStringLiteral("x"));
    note->addCategoriesObject(rowOf(PBDefaultCategory::note));
    const auto noteItem = pbItem(*note);
    ASSERT_TRUE(noteItem);
    EXPECT_EQ(noteItem->categories().last().id(), PBCategory::all().id());
    EXPECT_FALSE(noteItem->sourceApp());
}

TEST(RecordConversion, ListedItemsLeaveTheirRepresentationsForCopyOut)
{
    CaptureHarness h;
    PasteboardItem rich;
    rich.setData(PasteboardType::html, "<b>bold</b>");
    rich.setString(PasteboardType::string, QStringLiteral("bold"));
    h.copyFromOutside({rich});
    const PBItem listed = h.item(QStringLiteral("bold"));
    EXPECT_TRUE(listed.dataProvider()->pasteboardData().isEmpty());
    const PBItem full = h.manager->loadFullItem(listed);
    EXPECT_EQ(full.dataProvider()->pasteboardData().keys(),
              (QStringList{PasteboardType::html, PasteboardType::string}));
}
