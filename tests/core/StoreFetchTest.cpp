#include "StoreTestSupport.h"

#include <future>

namespace {
const QList<SortDescriptor> kNewestFirst = {{QStringLiteral("modifiedAt"), false}};
Predicate notSticky() { return Predicate::equal(QStringLiteral("is_sticky"), false); }
} // namespace

TEST_F(StoreTest, FetchesSeeUnsavedInsertsUpdatesAndDeletes)
{
    auto a = item(QStringLiteral("a"), 1);
    auto b = item(QStringLiteral("b"), 2);
    item(QStringLiteral("c"), 3);
    ASSERT_TRUE(context()->save());

    item(QStringLiteral("d"), 4);
    a->setModifiedAt(at(5));
    context()->deleteObject(b);
    EXPECT_EQ(fetchTexts(notSticky(), kNewestFirst), (QStringList{"a", "d", "c"}));

    // Saved, the same answer comes from the store alone.
    ASSERT_TRUE(context()->save());
    reopen();
    EXPECT_EQ(fetchTexts(notSticky(), kNewestFirst), (QStringList{"a", "d", "c"}));
}

TEST_F(StoreTest, AChangedRecordIsTestedAgainstThePredicate)
{
    auto a = item(QStringLiteral("a"), 1);
    item(QStringLiteral("b"), 2);
    ASSERT_TRUE(context()->save());
    a->setIs_sticky(true);
    EXPECT_EQ(fetchTexts(notSticky(), kNewestFirst), QStringList{"b"});
    EXPECT_EQ(fetchTexts(Predicate::equal(QStringLiteral("is_sticky"), true)), QStringList{"a"});
}

TEST_F(StoreTest, EqualSortKeysFollowInsertionOrderInTheDirectionOfTheLastKey)
{
    item(QStringLiteral("first"), 7);
    item(QStringLiteral("second"), 7);
    ASSERT_TRUE(context()->save());
    item(QStringLiteral("third"), 7);
    item(QStringLiteral("fourth"), 7);
    item(QStringLiteral("newest"), 9);
    const QStringList expected{"newest", "fourth", "third", "second", "first"};
    const QStringList unsorted{"first", "second", "third", "fourth", "newest"};
    EXPECT_EQ(fetchTexts(std::nullopt, kNewestFirst), expected);
    EXPECT_EQ(fetchTexts(std::nullopt), unsorted);
    ASSERT_TRUE(context()->save());
    reopen();
    EXPECT_EQ(fetchTexts(std::nullopt, kNewestFirst), expected);
    EXPECT_EQ(fetchTexts(std::nullopt), unsorted);
}

TEST_F(StoreTest, ContainsIgnoresCaseAndDiacriticsBeyondAscii)
{
    item(QStringLiteral("Café Crème"));
    item(QStringLiteral("ÉCOLE ÜBER STRASSE"));
    item(QStringLiteral("plain"));
    item(QStringLiteral("Maße am Fluß"));
    item(QStringLiteral("İstanbul"));
    auto search = [&](const QString &keyword) {
        QStringList found = fetchTexts(Predicate::contains(QStringLiteral("text"), keyword));
        found.sort();
        return found;
    };
    for (int pass = 0; pass < 2; ++pass) { // unsaved, then from the store
        SCOPED_TRACE(pass ? "stored" : "unsaved");
        EXPECT_EQ(search(QStringLiteral("cafe")), QStringList{"Café Crème"});
        EXPECT_EQ(search(QStringLiteral("CRÈME")), QStringList{"Café Crème"});
        EXPECT_EQ(search(QStringLiteral("école")), QStringList{"ÉCOLE ÜBER STRASSE"});
        EXPECT_EQ(search(QStringLiteral("uber")), QStringList{"ÉCOLE ÜBER STRASSE"});
        // Full case folding: a sharp s is "ss", a capital I with a dot is an i.
        EXPECT_EQ(search(QStringLiteral("strasse")), QStringList{"ÉCOLE ÜBER STRASSE"});
        EXPECT_EQ(search(QStringLiteral("straße")), QStringList{"ÉCOLE ÜBER STRASSE"});
        EXPECT_EQ(search(QStringLiteral("MASSE")), QStringList{"Maße am Fluß"});
        EXPECT_EQ(search(QStringLiteral("ẞ")), QStringList({"Maße am Fluß", "ÉCOLE ÜBER STRASSE"}));
        EXPECT_EQ(search(QStringLiteral("fluss")), QStringList{"Maße am Fluß"});
        EXPECT_EQ(search(QStringLiteral("istanbul")), QStringList{"İstanbul"});
        EXPECT_TRUE(search(QString()).isEmpty());
        EXPECT_TRUE(search(QStringLiteral("%")).isEmpty());
        ASSERT_TRUE(context()->save());
        reopen();
    }
}

TEST_F(StoreTest, TextsSortAsTheyReadIgnoringCaseInTheStoreAndUnsavedAlike)
{
    const QStringList ascending{"Apple", "apple pie", "banana", "Echo", "eclair", "Éclair", "zebra", "Zoo"};
    // Stored ones and unsaved ones mixed, in no order.
    for (const char *text : {"Zoo", "eclair", "banana", "Apple"})
        item(QString::fromUtf8(text));
    ASSERT_TRUE(context()->save());
    for (const char *text : {"zebra", "Éclair", "apple pie", "Echo"})
        item(QString::fromUtf8(text));
    // Texts that differ only after the start the order reads keep the order they were made in.
    const QString longStart(StoreValues::kReadableOrderUnits, QLatin1Char('m'));
    item(longStart + QStringLiteral("B"));
    item(longStart + QStringLiteral("a"));
    for (int pass = 0; pass < 2; ++pass) { // unsaved changes merged in, then from the store alone
        SCOPED_TRACE(pass ? "stored" : "unsaved");
        const QStringList sorted = fetchTexts(std::nullopt, {{QStringLiteral("text"), true}});
        EXPECT_EQ(sorted.mid(0, 6), ascending.mid(0, 6));
        EXPECT_EQ(sorted.mid(6, 2), QStringList({longStart + QStringLiteral("B"), longStart + QStringLiteral("a")}));
        EXPECT_EQ(sorted.mid(8), ascending.mid(6));
        EXPECT_EQ(fetchTexts(Predicate::contains(QStringLiteral("text"), QStringLiteral("e")),
                             {{QStringLiteral("text"), false}}),
                  QStringList({"zebra", "Éclair", "eclair", "Echo", "apple pie", "Apple"}));
        ASSERT_TRUE(context()->save());
        reopen();
    }
}

TEST_F(StoreTest, UserTextInPredicatesIsNeverSql)
{
    item(QStringLiteral("it's a \"test\"; DROP TABLE PBItemRecord; --"));
    item(QStringLiteral("other"));
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(fetchTexts(Predicate::contains(QStringLiteral("text"), QStringLiteral("'; DROP"))).size(), 0);
    EXPECT_EQ(fetchTexts(Predicate::contains(QStringLiteral("text"), QStringLiteral("s a \"test\"; DROP"))).size(), 1);
    EXPECT_EQ(rowCount("PBItemRecord"), 2);
}

// Predicates reach log lines when a fetch fails: what the user searched for or copied never does.
TEST(Predicate, ItsReadableFormNamesTextsOnlyByLengthAndHash)
{
    const QString secret = QStringLiteral("hunter2-password");
    const Predicate predicate =
        Predicate::contains(QStringLiteral("text"), secret) && Predicate::equal(QStringLiteral("dataHash"), secret)
        && Predicate::search({QStringLiteral("text")}, secret) && Predicate::equal(QStringLiteral("is_sticky"), false);
    const QString form = predicate.format();
    EXPECT_FALSE(form.contains(QStringLiteral("hunter2"))) << form.toStdString();
    EXPECT_TRUE(form.contains(QStringLiteral("is_sticky"))) << form.toStdString();
}

// The in-memory test of unsaved records and the SQL of stored ones must agree, missing values
// included (a comparison with a missing value is false, so NOT of it is true).
TEST_F(StoreTest, StoredAndUnsavedRecordsAnswerEveryPredicateAlike)
{
    auto build = [&] {
        auto a = item(QStringLiteral("alpha"), 1);
        a->setAppName(QStringLiteral("Editor"));
        a->setComment(QStringLiteral("note"));
        auto b = item(QStringLiteral("beta"), 2, true);
        b->setAppName(QStringLiteral("Browser"));
        auto c = item(QStringLiteral("gamma"), 3);
        c->setModifiedAt({});
        c->setText({});
    };
    const QList<Predicate> predicates = {
        Predicate::equal(QStringLiteral("comment"), QVariant()),
        Predicate::compare(QStringLiteral("comment"), Predicate::Comparison::NotEqual, QStringLiteral("note")),
        !Predicate::compare(QStringLiteral("modifiedAt"), Predicate::Comparison::Less, at(2)),
        Predicate::compare(QStringLiteral("modifiedAt"), Predicate::Comparison::GreaterOrEqual, at(2)),
        !Predicate::contains(QStringLiteral("text"), QStringLiteral("A")),
        Predicate::in(QStringLiteral("appName"), {QStringLiteral("Editor"), QStringLiteral("Browser"), QVariant()}),
        !Predicate::in(QStringLiteral("appName"), {QStringLiteral("Editor")}),
        Predicate::contains(QStringLiteral("text"), QStringLiteral("et"))
            || Predicate::equal(QStringLiteral("is_sticky"), true),
        Predicate::andPredicate({}),
        Predicate::orPredicate({}),
        Predicate::in(QStringLiteral("text"), {}),
    };
    build();
    QList<QStringList> unsaved;
    for (const Predicate &predicate : predicates)
        unsaved << fetchTexts(predicate);
    ASSERT_TRUE(context()->save());
    reopen();
    for (qsizetype i = 0; i < predicates.size(); ++i)
        EXPECT_EQ(fetchTexts(predicates[i]), unsaved[i]) << predicates[i].format().toStdString();
    EXPECT_EQ(unsaved[0], (QStringList{"beta", ""}));
    EXPECT_EQ(unsaved[2], (QStringList{"beta", ""}));
}

TEST_F(StoreTest, AnUnknownKeyIsAnErrorNotACrash)
{
    item(QStringLiteral("a"));
    auto request = PBItemRecord::fetchRequest();
    request.predicate = Predicate::equal(QStringLiteral("nonsense"), 1);
    StoreError error;
    EXPECT_FALSE(context()->execute(request, &error));
    EXPECT_TRUE(error.description.contains(QStringLiteral("nonsense")));
    request.predicate.reset();
    request.sortDescriptors = {{QStringLiteral("nonsense"), true}};
    EXPECT_FALSE(context()->execute(request, &error));
}

TEST_F(StoreTest, RecordsCanBeFoundByTheirCategoryAndAsAGivenSet)
{
    auto group = category(QStringLiteral("g"));
    auto a = item(QStringLiteral("a"), 1);
    auto b = item(QStringLiteral("b"), 2);
    item(QStringLiteral("c"), 3);
    a->addCategoriesObject(group);
    ASSERT_TRUE(context()->save());
    b->addCategoriesObject(group);
    EXPECT_EQ(fetchTexts(Predicate::relationshipContains(QStringLiteral("categories"), group), kNewestFirst),
              (QStringList{"b", "a"}));
    EXPECT_EQ(fetchTexts(Predicate::selfIn({a, b}), kNewestFirst), (QStringList{"b", "a"}));
}

TEST_F(StoreTest, WindowsAndCountsAgreeWithTheWholeFetchUnderUnsavedChanges)
{
    QList<std::shared_ptr<PBItemRecord>> records;
    for (int i = 0; i < 40; ++i)
        records << item(QStringLiteral("s%1").arg(i), i % 7, i % 9 == 0);
    ASSERT_TRUE(context()->save());

    // Unsaved edits that move records, change whether they match, delete and add.
    std::srand(7);
    for (int round = 0; round < 30; ++round) {
        auto &record = records[std::rand() % records.size()];
        switch (std::rand() % 4) {
        case 0: record->setModifiedAt(at(std::rand() % 9)); break;
        case 1: record->setIs_sticky(!record->is_sticky()); break;
        case 2: context()->deleteObject(record); break;
        default: records << item(QStringLiteral("n%1").arg(round), std::rand() % 9, std::rand() % 3 == 0); break;
        }

        for (const std::optional<Predicate> &predicate :
             {std::optional<Predicate>(notSticky()), std::optional<Predicate>()}) {
            auto request = PBItemRecord::fetchRequest();
            request.predicate = predicate;
            request.sortDescriptors = kNewestFirst;
            const QStringList whole = texts(context()->fetch(request));
            ASSERT_EQ(context()->count(request), whole.size());
            // A limit of 0: every record after the offset.
            for (const auto &[offset, limit] :
                 {std::pair{0, 5}, {3, 4}, {0, 100}, {17, 9}, {38, 10}, {60, 5}, {12, 0}, {60, 0}}) {
                request.fetchOffset = offset;
                request.fetchLimit = limit;
                ASSERT_EQ(texts(context()->fetch(request)), whole.mid(offset, limit > 0 ? limit : -1))
                    << "round " << round << " window " << offset << "+" << limit;
            }
        }
    }
}

TEST_F(StoreTest, ACountLetsOtherThreadsReadMeanwhileAndNeverCountsASaveTwice)
{
    for (int i = 0; i < 10; ++i)
        item(QStringLiteral("c%1").arg(i), i);
    ASSERT_TRUE(context()->save());
    item(QStringLiteral("unsaved"), 20);

    bool pageReadDuringCount = false;
    std::future<bool> page; // outlives the count, which would keep it waiting if it held the lock
    bool fired = false;
    PersistentStore::setReaderHookForTesting([&] {
        if (std::exchange(fired, true))
            return;
        page = std::async(std::launch::async, [this] {
            auto request = PBItemRecord::fetchRequest();
            request.sortDescriptors = kNewestFirst;
            request.fetchLimit = 3;
            return context()->fetch(request).has_value();
        });
        pageReadDuringCount = page.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        // The unsaved item, already counted as a change, is stored before the stored rows are counted.
        ASSERT_TRUE(context()->save());
    });
    EXPECT_EQ(context()->countOnReader(PBItemRecord::fetchRequest()), 11);
    PersistentStore::setReaderHookForTesting({});
    EXPECT_TRUE(pageReadDuringCount);
    EXPECT_EQ(context()->countOnReader(PBItemRecord::fetchRequest()), 11);
}

TEST_F(StoreTest, AWindowMakesRecordsOnlyForWhatItReturns)
{
    for (int i = 0; i < 500; ++i)
        item(QStringLiteral("r%1").arg(i), i);
    ASSERT_TRUE(context()->save());
    reopen();
    auto request = PBItemRecord::fetchRequest();
    request.sortDescriptors = kNewestFirst;
    request.fetchOffset = 10;
    request.fetchLimit = 3;
    const auto page = context()->fetch(request);
    EXPECT_EQ(texts(page), (QStringList{"r489", "r488", "r487"}));
    EXPECT_LE(context()->registeredObjectCount(), 3);
    EXPECT_EQ(context()->count(request), 500);

    // An offset without a limit: the oldest past the newest N, as the auto-clean finds them.
    reopen();
    auto oldest = PBItemRecord::fetchRequest();
    oldest.sortDescriptors = kNewestFirst;
    oldest.fetchOffset = 497;
    EXPECT_EQ(texts(context()->fetch(oldest)), (QStringList{"r2", "r1", "r0"}));

    // Deep windows, with and without a predicate, are the slices of the whole fetch.
    for (const std::optional<Predicate> &predicate :
         {std::optional<Predicate>(notSticky()), std::optional<Predicate>()}) {
        auto whole = PBItemRecord::fetchRequest();
        whole.predicate = predicate;
        whole.sortDescriptors = kNewestFirst;
        const QStringList all = texts(context()->fetch(whole));
        for (const auto &[offset, limit] : {std::pair{490, 20}, {250, 50}, {499, 1}, {500, 5}, {480, 0}, {500, 0}}) {
            auto window = whole;
            window.fetchOffset = offset;
            window.fetchLimit = limit;
            EXPECT_EQ(texts(context()->fetch(window)), all.mid(offset, limit > 0 ? limit : -1))
                << offset << "+" << limit;
        }
    }
}

TEST_F(StoreTest, RecordsFetchedWithoutTheirValuesReadThemWhenUsed)
{
    for (int i = 0; i < 50; ++i)
        item(QStringLiteral("r%1").arg(i), i);
    ASSERT_TRUE(context()->save());
    reopen();
    auto request = PBItemRecord::fetchRequest();
    request.sortDescriptors = kNewestFirst;
    request.fetchOffset = 5;
    request.fetchLimit = 3;
    request.includesPropertyValues = false;
    EXPECT_EQ(texts(context()->fetch(request)), (QStringList{"r44", "r43", "r42"}));

    // Unsaved changes are still placed by their values.
    reopen();
    request.fetchOffset = 1;
    request.fetchLimit = 4;
    auto edited = PBItemRecord::fetchRequest();
    edited.predicate = Predicate::equal(QStringLiteral("text"), QStringLiteral("r2"));
    const auto r2 = context()->fetch(edited);
    ASSERT_TRUE(r2 && r2->size() == 1);
    r2->first()->setModifiedAt(at(100));
    item(QStringLiteral("n"), 60);
    EXPECT_EQ(texts(context()->fetch(request)), (QStringList{"n", "r49", "r48", "r47"}));
}

TEST_F(StoreTest, DeepWindowsReadFromAnEarlierPageEqualTheSkippedOnes)
{
    // Few distinct keys, so most neighbours tie; pinned rows, a category, texts that sort apart
    // from their insertion, and pinned rows without a date, which sort before every dated one.
    auto group = category(QStringLiteral("g"));
    for (int i = 0; i < 300; ++i) {
        auto record = item(QStringLiteral("t%1").arg((i * 37) % 300, 3, 10, QLatin1Char('0')), i % 6, i % 11 == 0);
        if (i % 3 == 0)
            record->addCategoriesObject(group);
        if (i % 22 == 0)
            record->setModifiedAt(QDateTime());
    }
    ASSERT_TRUE(context()->save());
    reopen();
    auto groupRecord = PBCategoryRecord::fetchRequest();
    groupRecord.predicate = Predicate::equal(QStringLiteral("id"), QStringLiteral("g"));
    const auto groups = context()->fetch(groupRecord);
    ASSERT_TRUE(groups && groups->size() == 1);

    const QList<QList<SortDescriptor>> orders{
        kNewestFirst,
        {{QStringLiteral("modifiedAt"), true}},
        {{QStringLiteral("text"), true}},
        {{QStringLiteral("text"), false}},
        {{QStringLiteral("is_sticky"), false}, {QStringLiteral("modifiedAt"), false}}};
    const QList<std::optional<Predicate>> predicates{
        std::nullopt, notSticky(),
        Predicate::andPredicate(
            {notSticky(), Predicate::relationshipContains(QStringLiteral("categories"), groups->first())})};
    auto check = [&](const char *when) {
        for (const auto &sort : orders) {
            for (const auto &predicate : predicates) {
                auto request = PBItemRecord::fetchRequest();
                request.predicate = predicate;
                request.sortDescriptors = sort;
                const QStringList whole = texts(context()->fetch(request));
                // Page by page, then a stride of several pages, then back up: each window read after
                // the ones before it equals the same window of the whole list.
                for (const int stride : {1, 4, -3}) {
                    for (int page = stride > 0 ? 0 : 29; page >= 0 && page < 30; page += stride) {
                        request.fetchOffset = page * 10 + (stride == 4 ? 3 : 0);
                        request.fetchLimit = 10;
                        ASSERT_EQ(texts(context()->fetch(request)), whole.mid(request.fetchOffset, 10))
                            << when << " order " << sort.first().key.toStdString() << " stride " << stride << " at "
                            << request.fetchOffset;
                    }
                }
            }
        }
    };
    check("stored");
    // Rows that move, leave and arrive: windows read before the change no longer count.
    auto request = PBItemRecord::fetchRequest();
    request.sortDescriptors = kNewestFirst;
    request.fetchOffset = 40;
    request.fetchLimit = 30;
    const auto moved = context()->fetch(request);
    ASSERT_TRUE(moved && moved->size() == 30);
    for (int i = 0; i < 30; i += 3) {
        (*moved)[i]->setModifiedAt(at(3));
        context()->deleteObject((*moved)[i + 1]);
        item(QStringLiteral("new%1").arg(i), i % 6);
    }
    ASSERT_TRUE(context()->save());
    check("changed");
    // And so do they when another connection moves rows.
    rawDatabase().exec(R"sql(UPDATE "PBItemRecord" SET "modifiedAt" = (SELECT min("modifiedAt") FROM "PBItemRecord")
                             WHERE "pk" % 7 = 0)sql");
    check("changed elsewhere");
}
