#include "StoreTestSupport.h"

#include "core/store/SearchIndex.h"

#include <QFile>
#include <QRandomGenerator>

#include <limits>

namespace {
const QList<SortDescriptor> kPinnedThenNewest = PBItemRecord::pinnedThenNewest();

// The search as the plain scan answers it: no index involved.
Predicate scanned(const QString &keyword)
{
    return Predicate::contains(QStringLiteral("text"), keyword)
           || Predicate::contains(QStringLiteral("appName"), keyword);
}
Predicate searched(const QString &keyword)
{
    return Predicate::search({QStringLiteral("text"), QStringLiteral("appName")}, keyword);
}

// Forces every page and count of a search down one road through the index: matches fetched and
// sorted, the list walked in its order testing rows against the matches' ids, or against the
// index's answer for a keyword too common for ids.
enum class Road { Sorted, WalkIds, Walk };
class TuningScope {
public:
    explicit TuningScope(Road road) : m_saved(SearchIndex::tuning())
    {
        constexpr qint64 kUnbounded = std::numeric_limits<qint64>::max() - 1;
        if (road == Road::Walk)
            SearchIndex::setTuning({-1, 0});
        else if (road == Road::Sorted)
            SearchIndex::setTuning({kUnbounded, 0, 0, 0});
        else
            SearchIndex::setTuning({kUnbounded, 0, kUnbounded, kUnbounded});
    }
    explicit TuningScope(SearchIndex::Tuning tuning) : m_saved(SearchIndex::tuning())
    {
        SearchIndex::setTuning(tuning);
    }
    ~TuningScope() { SearchIndex::setTuning(m_saved); }

private:
    SearchIndex::Tuning m_saved;
};

const QStringList kPieces = {
    QStringLiteral("cafe"),     QStringLiteral("Café"),
    QStringLiteral("CAFÉ"),     QStringLiteral("cafe\u0301"),
    QStringLiteral("naïve"),    QStringLiteral("Straße"),
    QStringLiteral("ǅemal"),    QStringLiteral("ﬁle"),
    QStringLiteral("😀"),        QStringLiteral("👩‍💻"),
    QStringLiteral("a"),        QStringLiteral("b"),
    QStringLiteral("ab"),       QStringLiteral(" "),
    QStringLiteral("  "),       QStringLiteral("\""),
    QStringLiteral("*"),        QStringLiteral("NEAR"),
    QStringLiteral("-"),        QStringLiteral("^"),
    QStringLiteral("("),        QStringLiteral(")"),
    QStringLiteral("'"),        QStringLiteral(":"),
    QStringLiteral("{t}"),      QStringLiteral("\u0301\u0308"),
    QStringLiteral("Ωμέγα"),    QStringLiteral("日本語"),
    QStringLiteral("x\u0000y"), QStringLiteral("report"),
    QStringLiteral("Report"),   QStringLiteral("\n"),
    QStringLiteral("\t"),       QStringLiteral("\u00a0"),
    QStringLiteral("\u3000"),   QStringLiteral("word report"),
    QStringLiteral("a b"),
};

QString randomText(QRandomGenerator &random, int pieces)
{
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += kPieces.at(random.bounded(int(kPieces.size())));
    return text;
}

// A keyword: a piece of a stored text, a random run of pieces, or one of the awkward ones.
QString randomKeyword(QRandomGenerator &random, const QStringList &stored)
{
    switch (random.bounded(3)) {
    case 0: {
        const QString &text = stored.at(random.bounded(int(stored.size())));
        const int from = random.bounded(int(text.size()) + 1);
        return text.mid(from, random.bounded(12));
    }
    case 1: return randomText(random, 1 + random.bounded(4));
    default: {
        // Long keywords: a run of decomposable letters folds in time quadratic in its length (Qt's
        // decomposition), so that one is shorter, though still far beyond any phrase the index holds.
        const QStringList awkward = {QString(),
                                     QString(10000, QLatin1Char('x')),
                                     QString(1500, QChar(0x00e9)),
                                     QStringLiteral("     "),
                                     QStringLiteral("\u0301\u0301\u0301\u0301"),
                                     QStringLiteral("\"report\" OR *"),
                                     QStringLiteral("NEAR(a b)"),
                                     QStringLiteral("-^()*"),
                                     QStringLiteral("'; DROP TABLE \"PBItemRecord\"; --"),
                                     QStringLiteral("{t a} : x"),
                                     QStringLiteral("cafe"),
                                     QStringLiteral("CAFÉ"),
                                     QStringLiteral("café report"),
                                     QStringLiteral(" report"),
                                     QStringLiteral("report\u00a0"),
                                     QStringLiteral("ab cd ef"),
                                     QStringLiteral("Report  Report")};
        return awkward.at(random.bounded(int(awkward.size())));
    }
    }
}
} // namespace

class SearchIndexTest : public StoreTest {
protected:
    SearchIndex &index() { return context()->store()->searchIndex(); }

    QList<qint64> ids(const std::optional<Predicate> &predicate, qsizetype offset = 0, qsizetype limit = 0,
                      const QList<SortDescriptor> &order = kPinnedThenNewest)
    {
        auto request = PBItemRecord::fetchRequest();
        request.predicate = predicate;
        request.sortDescriptors = order;
        request.fetchOffset = offset;
        request.fetchLimit = limit;
        QList<qint64> result;
        StoreError error;
        const auto records = context()->fetch(request, &error);
        EXPECT_TRUE(records.has_value()) << error.text().toStdString();
        // Stored records by row, unsaved ones (kept alive by the context) by identity.
        for (const auto &record : records.value_or(QList<std::shared_ptr<PBItemRecord>>()))
            result << (record->objectID() > 0 ? record->objectID() : -qint64(quintptr(record.get())));
        return result;
    }
    qsizetype count(const Predicate &predicate)
    {
        auto request = PBItemRecord::fetchRequest();
        request.predicate = predicate;
        StoreError error;
        const auto counted = context()->count(request, &error);
        EXPECT_TRUE(counted.has_value()) << error.text().toStdString();
        return counted.value_or(-1);
    }
    // The indexed search gives what the scan gives: whole list, pages and count, alone and as
    // the list window asks for it (pinned and other items apart, newest first).
    void compareWithScanOverRandomHistory(Road road, quint32 seed);
    void expectSameAsScan(const QString &keyword)
    {
        const QString shown = keyword.left(40);
        const QList<qint64> all = ids(scanned(keyword));
        EXPECT_EQ(ids(searched(keyword)), all) << shown.toStdString();
        EXPECT_EQ(count(searched(keyword)), all.size()) << shown.toStdString();
        EXPECT_EQ(ids(searched(keyword), 0, 5), all.mid(0, 5)) << shown.toStdString();
        EXPECT_EQ(ids(searched(keyword), 3, 4), all.mid(3, 4)) << shown.toStdString();
        const QList<SortDescriptor> newest{{QStringLiteral("modifiedAt"), false}};
        for (const bool pinned : {true, false}) {
            const Predicate part = Predicate::equal(QStringLiteral("is_sticky"), pinned);
            const QList<qint64> listed = ids(part && scanned(keyword), 0, 0, newest);
            EXPECT_EQ(ids(part && searched(keyword), 0, 0, newest), listed) << shown.toStdString();
            EXPECT_EQ(ids(part && searched(keyword), 2, 6, newest), listed.mid(2, 6)) << shown.toStdString();
            EXPECT_EQ(count(part && searched(keyword)), listed.size()) << shown.toStdString();
        }
    }
};

// A random history with unsaved changes, then random keywords searched through the index on one
// road and compared with the scan.
void SearchIndexTest::compareWithScanOverRandomHistory(Road road, quint32 seed)
{
    QRandomGenerator random(seed);
    QStringList stored;
    const QStringList apps = {QStringLiteral("Text Editor"), QStringLiteral("Café Bar"), QStringLiteral("日本語 App"),
                              QString()};
    for (int i = 0; i < 300; ++i) {
        QString text = randomText(random, 1 + random.bounded(30));
        if (i % 150 == 5) // beyond the indexed length: checked by scan
            text = QString(SearchIndex::kIndexedBytes, QLatin1Char('z')) + QStringLiteral(" Report café");
        auto record = item(text, random.bounded(200), random.bounded(10) == 0);
        if (const QString app = apps.at(random.bounded(int(apps.size()))); !app.isEmpty())
            record->setAppName(app);
        stored << text;
    }
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(10000));
    // Unsaved changes take part as well: an edit, a deletion and a new item.
    const auto records = context()->fetch(PBItemRecord::fetchRequest()).value();
    records.at(5)->setText(QStringLiteral("an edited Café report"));
    context()->deleteObject(records.at(3));
    item(QStringLiteral("an unsaved report"), 50);

    const TuningScope tuning(road);
    for (int round = 0; round < 30; ++round)
        expectSameAsScan(randomKeyword(random, stored));
    EXPECT_TRUE(index().isReady());
    // A reader answers through its own snapshot of the index, with the unsaved changes taken in.
    for (int round = 0; round < 8; ++round) {
        const QString keyword = randomKeyword(random, stored);
        auto request = PBItemRecord::fetchRequest();
        request.predicate = searched(keyword);
        request.sortDescriptors = kPinnedThenNewest;
        request.fetchLimit = 6;
        const auto expected = context()->fetch(request).value();
        const qsizetype expectedCount = count(searched(keyword));
        ASSERT_TRUE(context()->readOnReader([&](ManagedObjectContext &reader) {
            EXPECT_TRUE(reader.store()->searchIndex().isReady());
            EXPECT_EQ(reader.count(request), expectedCount) << keyword.left(40).toStdString();
            QStringList texts;
            for (const auto &record : reader.fetch(request).value_or(QList<std::shared_ptr<PBItemRecord>>()))
                texts << record->text();
            QStringList expectedTexts;
            for (const auto &record : expected)
                expectedTexts << record->text();
            EXPECT_EQ(texts, expectedTexts) << keyword.left(40).toStdString();
        }));
    }
}

// Two random histories per road, each a test of its own: with the sanitizers one takes a while.
TEST_F(SearchIndexTest, SortedMatchesAnswerAsTheScanOverARandomHistory)
{
    compareWithScanOverRandomHistory(Road::Sorted, 20261209);
}

TEST_F(SearchIndexTest, SortedMatchesAnswerAsTheScanOverAnotherRandomHistory)
{
    compareWithScanOverRandomHistory(Road::Sorted, 20261211);
}

TEST_F(SearchIndexTest, ListsWalkedAgainstTheMatchesAnswerAsTheScanOverARandomHistory)
{
    compareWithScanOverRandomHistory(Road::WalkIds, 20261213);
}

TEST_F(SearchIndexTest, MatchesWalkedInOrderAnswerAsTheScanOverARandomHistory)
{
    compareWithScanOverRandomHistory(Road::Walk, 20261210);
}

TEST_F(SearchIndexTest, MatchesWalkedInOrderAnswerAsTheScanOverAnotherRandomHistory)
{
    compareWithScanOverRandomHistory(Road::Walk, 20261212);
}

TEST_F(SearchIndexTest, TheIndexKeepsInStepWithEditsBumpsDeletesAndClears)
{
    const TuningScope tuning(Road::Walk);
    auto quarterly = item(QStringLiteral("Quarterly report"), 1);
    auto minutes = item(QStringLiteral("Meeting minutes"), 2);
    auto recipe = item(QStringLiteral("Crème brûlée recipe"), 3);
    item(QStringLiteral("Shopping list"), 4);
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(10000));

    quarterly->setText(QStringLiteral("Annual summary"));
    minutes->setModifiedAt(at(10)); // a bump
    recipe->setAppName(QStringLiteral("Recipe Box"));
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(count(searched(QStringLiteral("quarterly"))), 0);
    EXPECT_EQ(count(searched(QStringLiteral("ANNUAL"))), 1);
    EXPECT_EQ(count(searched(QStringLiteral("creme"))), 1);
    EXPECT_EQ(count(searched(QStringLiteral("box"))), 1);
    EXPECT_EQ(ids(searched(QStringLiteral("minutes"))), ids(scanned(QStringLiteral("minutes"))));

    context()->deleteObject(minutes);
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(count(searched(QStringLiteral("minutes"))), 0);

    ASSERT_TRUE(context()->executeBatchDelete(PBItemRecord::entityDescription(), searched(QStringLiteral("list"))));
    EXPECT_EQ(count(searched(QStringLiteral("shopping"))), 0);
    ASSERT_TRUE(context()->executeBatchDelete(PBItemRecord::entityDescription(), std::nullopt));
    EXPECT_EQ(count(searched(QStringLiteral("summary"))), 0);
    EXPECT_EQ(rowCount("PBItemRecord_search_docsize"), 0);

    // New items after a clear are found again.
    item(QStringLiteral("Fresh report"), 20);
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 1);
    EXPECT_TRUE(index().isReady());
}

TEST_F(SearchIndexTest, AClearOfTensOfThousandsOfItemsEmptiesTheHistoryAndTheIndex)
{
    // Enough items for the clear to start the index afresh instead of deleting row by row.
    for (int i = 0; i < 10000; ++i)
        item(QStringLiteral("Item %1 of the report").arg(i), i);
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(60000));

    ASSERT_TRUE(context()->executeBatchDelete(PBItemRecord::entityDescription(), std::nullopt));
    EXPECT_EQ(rowCount("PBItemRecord"), 0);
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 0);

    item(QStringLiteral("Fresh report"), 20000);
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(10000));
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 1);
}

TEST_F(SearchIndexTest, AStoreFromBeforeTheIndexBuildsItInTheBackgroundWhileSearchesScan)
{
    for (int i = 0; i < 5000; ++i)
        item(i % 100 == 7 ? QStringLiteral("Quarterly report %1").arg(i) : QStringLiteral("Copied text %1").arg(i), i);
    ASSERT_TRUE(context()->save());
    reopen();
    context().reset();
    stack.reset();
    {
        // Back to the schema without the index (nor what came after it).
        SQLite::Database database = rawDatabase();
        database.exec(R"sql(DROP TRIGGER "PBItemRecord_search_insert"; DROP TRIGGER "PBItemRecord_search_delete";
            DROP TRIGGER "PBItemRecord_search_update"; DROP TABLE "PBItemRecord_search";
            DROP TABLE "PBItemRecord_search_long"; DROP TABLE "PBItemRecord_search_state";
            DROP TABLE "FileBookmark"; PRAGMA user_version = 1;)sql");
    }
    openStack();
    // Answers at once, whether by scan or by index.
    EXPECT_EQ(count(searched(QStringLiteral("quarterly"))), 50);
    item(QStringLiteral("Quarterly report, new"), 9000);
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(20000));
    const TuningScope tuning(Road::Walk);
    EXPECT_EQ(count(searched(QStringLiteral("quarterly"))), 51);
    EXPECT_EQ(ids(searched(QStringLiteral("report")), 0, 10), ids(scanned(QStringLiteral("report")), 0, 10));
    EXPECT_EQ(rowCount("PBItemRecord_search_docsize"), 5001);
}

TEST_F(SearchIndexTest, ADamagedIndexIsBuiltAnewAndNeverStopsASave)
{
    for (int i = 0; i < 300; ++i)
        item(QStringLiteral("Item %1 with a report").arg(i), i);
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(10000));
    {
        SQLite::Database database = rawDatabase();
        database.exec(R"sql(DELETE FROM "PBItemRecord_search_data" WHERE "id" > 10)sql");
    }
    const TuningScope tuning(Road::Walk);
    // The search answers (by scan), the save goes through, and the index comes back.
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 300);
    item(QStringLiteral("One more report"), 500);
    EXPECT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(10000));
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 301);
    EXPECT_EQ(ids(searched(QStringLiteral("more"))), ids(scanned(QStringLiteral("more"))));

    // Damage found by a search on a reader: it answers by scan and the store builds the index anew.
    {
        SQLite::Database database = rawDatabase();
        database.exec(R"sql(DELETE FROM "PBItemRecord_search_data" WHERE "id" > 10)sql");
    }
    auto reportRequest = PBItemRecord::fetchRequest();
    reportRequest.predicate = searched(QStringLiteral("report"));
    qsizetype onReader = -1;
    ASSERT_TRUE(context()->readOnReader(
        [&](ManagedObjectContext &reader) { onReader = reader.count(reportRequest).value_or(-1); }));
    EXPECT_EQ(onReader, 301);
    EXPECT_FALSE(index().isReady()) << "the reader's failure reached the store's index";
    ASSERT_TRUE(index().waitUntilReady(10000));
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 301);
    EXPECT_EQ(rowCount("PBItemRecord_search_docsize"), 301);
    item(QStringLiteral("A last report"), 600);
    EXPECT_TRUE(context()->save());
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 302);

    // An index that went missing altogether is found at the next start and built again.
    context().reset();
    stack.reset();
    rawDatabase().exec(R"sql(DROP TABLE "PBItemRecord_search")sql");
    openStack();
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 302);
    ASSERT_TRUE(index().waitUntilReady(10000));
    EXPECT_EQ(count(searched(QStringLiteral("report"))), 302);
}

TEST_F(SearchIndexTest, AnIndexOfAnEarlierLayoutIsBuiltAnewWhileSearchesScan)
{
    for (int i = 0; i < 3000; ++i)
        item(i % 100 == 7 ? QStringLiteral("Quarterly report %1").arg(i) : QStringLiteral("Copied text %1").arg(i), i);
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(10000));
    context().reset();
    stack.reset();
    {
        // The index as an earlier build left it: trigrams of the whole text, another column set.
        SQLite::Database database = rawDatabase();
        database.exec(R"sql(DROP TABLE "PBItemRecord_search";
            CREATE VIRTUAL TABLE "PBItemRecord_search" USING fts5(t, a, content='', tokenize='trigram case_sensitive 1');
            INSERT INTO "PBItemRecord_search" (rowid, t, a) SELECT "pk", lower("text"), lower("appName") FROM "PBItemRecord";
            UPDATE "PBItemRecord_search_state" SET "fold" = '1/15';)sql");
    }
    openStack();
    EXPECT_EQ(count(searched(QStringLiteral("quarterly"))), 30);
    ASSERT_TRUE(index().waitUntilReady(20000));
    const TuningScope tuning(Road::Sorted);
    EXPECT_EQ(count(searched(QStringLiteral("quarterly"))), 30);
    EXPECT_EQ(ids(searched(QStringLiteral("report 10"))), ids(scanned(QStringLiteral("report 10"))));
    EXPECT_EQ(rowCount("PBItemRecord_search_docsize"), 3000);
}

TEST_F(SearchIndexTest, AStoreIndexedWithSimpleCaseFoldingIsIndexedAnewAndFindsSharpSAsDoubleS)
{
    // A store an earlier build wrote and indexed, where "ß" only matched itself.
    context().reset();
    stack.reset();
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(storePath() + suffix);
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(TAVI_TESTS_DIR "/core/fixtures/PBHistory-v3-simple-folding.sqlite"), storePath()));
    ASSERT_TRUE(QFile::setPermissions(storePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    openStack();
    const QStringList texts{"Straße am Fluss", "Die ﬁle ist gut", "banana split",  "Apple pie",
                            "Éclair recipe",   "zebra crossing",  "MASSE und Maße"};
    // Searches answer while the index is built again, and no item is lost by it.
    EXPECT_EQ(count(searched(QStringLiteral("STRASSE"))), 1);
    ASSERT_TRUE(index().waitUntilReady(10000));
    EXPECT_EQ(fetchTexts(std::nullopt), texts);
    EXPECT_EQ(rowCount("PBItemRecord_search_docsize"), texts.size());
    for (const Road road : {Road::Sorted, Road::Walk}) {
        const TuningScope tuning(road);
        for (const char *keyword : {"strasse", "STRASSE", "straße", "maße", "masse", "ss", "file", "eclair"})
            expectSameAsScan(QString::fromUtf8(keyword));
        EXPECT_EQ(ids(searched(QStringLiteral("strasse"))), ids(searched(QStringLiteral("Straße"))));
        EXPECT_EQ(count(searched(QStringLiteral("maße"))), 1);
        EXPECT_EQ(count(searched(QStringLiteral("ss"))), 3);
    }
}

TEST_F(SearchIndexTest, KeywordsAcrossWhiteSpaceFindWhatTheScanFinds)
{
    for (const char *text : {"quarterly report", "quarterly  report", "quarterly\treport", "xquarterly reportx",
                             "not otes", "a notes b", "Quarterly\nReport", "ab cd", "one two three"})
        item(QString::fromUtf8(text));
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(10000));
    // No item is kept out of the index here: the matches alone stand for the keyword.
    for (const Road road : {Road::Sorted, Road::WalkIds, Road::Walk}) {
        const TuningScope tuning(road);
        for (const char *keyword :
             {"quarterly report", "y r", "ly  re", "quarterly\treport", "notes", "t otes", "not otes", "ly\nre",
              " report", "report ", "b cd", "one two", "e two t", "ne two thr"})
            expectSameAsScan(QString::fromUtf8(keyword));
        // An order no index serves: the matches are sorted, never walked.
        const QList<SortDescriptor> byTitle{{QStringLiteral("text"), true}};
        for (const char *keyword : {"quarterly report", "notes", "one two"})
            EXPECT_EQ(ids(searched(QString::fromUtf8(keyword)), 0, 2, byTitle),
                      ids(scanned(QString::fromUtf8(keyword)), 0, 2, byTitle));
    }
    EXPECT_EQ(count(searched(QStringLiteral("quarterly report"))), 2);
    EXPECT_EQ(count(searched(QStringLiteral("notes"))), 1);
}

TEST_F(SearchIndexTest, ARarePhraseOfCommonWordsAnswersAsTheScan)
{
    // Each word is in every item, the phrase in a few: more items hold the words than a page's
    // sort takes, so the phrase's own matches are ordered.
    for (int i = 0; i < 60; ++i)
        item(i % 10 == 3 ? QStringLiteral("Quarterly report %1").arg(i)
                         : QStringLiteral("A report, quarterly %1").arg(i),
             i % 13, i % 7 == 0);
    item(QString(SearchIndex::kIndexedBytes, QLatin1Char('z')) + QStringLiteral(" quarterly report"), 5);
    ASSERT_TRUE(context()->save());
    ASSERT_TRUE(index().waitUntilReady(10000));
    // Matches sorted; a walk against them that gives up at once for the sort; a walk to the end.
    for (const qint64 walk : {qint64(0), qint64(1), std::numeric_limits<qint64>::max()}) {
        const TuningScope tuning(SearchIndex::Tuning{10, 0, walk, walk});
        for (const char *keyword :
             {"quarterly report", "QUARTERLY  report", "rly rep", "report 3", "y report", "quarterly"})
            expectSameAsScan(QString::fromUtf8(keyword));
    }
    EXPECT_EQ(count(searched(QStringLiteral("quarterly report"))), 7);
}
