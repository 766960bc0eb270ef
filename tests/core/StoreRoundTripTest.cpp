#include "StoreTestSupport.h"

TEST_F(StoreTest, AnItemWithCategoriesAndRepresentationsSurvivesAReopen)
{
    auto text = category(QStringLiteral("3"));
    auto custom = category(QStringLiteral("A1B2"));
    auto record = item(QStringLiteral("Grüße, 世界 🙂"), 5);
    const QUuid uuid = record->uuid();
    record->setData(QByteArray("\x00\x01payload", 9));
    record->setAppName(QStringLiteral("Editor"));
    record->setAppId(QStringLiteral("org.example.editor"));
    record->setAppPath(QStringLiteral("/usr/bin/editor"));
    record->setComment(QStringLiteral("it's \"quoted\""));
    record->addCategories({text, custom});
    record->addPasteboards({pasteboard(QStringLiteral("public.utf8-plain-text"), "plain"),
                            pasteboard(QStringLiteral("public.html"), "<b>html</b>")});
    ASSERT_TRUE(context()->save());

    reopen();
    auto found = context()->fetch([&] {
        auto request = PBItemRecord::fetchRequest();
        request.predicate = Predicate::equal(QStringLiteral("uuid"), uuid);
        return request;
    }());
    ASSERT_TRUE(found && found->size() == 1);
    auto stored = found->first();
    EXPECT_TRUE(stored->isFault());
    EXPECT_EQ(stored->text(), QStringLiteral("Grüße, 世界 🙂"));
    EXPECT_EQ(stored->dataHash(), QStringLiteral("hash-Grüße, 世界 🙂"));
    EXPECT_EQ(stored->data(), QByteArray("\x00\x01payload", 9));
    EXPECT_EQ(stored->appName(), QStringLiteral("Editor"));
    EXPECT_EQ(stored->appId(), QStringLiteral("org.example.editor"));
    EXPECT_EQ(stored->appPath(), QStringLiteral("/usr/bin/editor"));
    EXPECT_EQ(stored->comment(), QStringLiteral("it's \"quoted\""));
    EXPECT_EQ(stored->createdAt(), at(5));
    EXPECT_EQ(stored->modifiedAt(), at(5));
    EXPECT_FALSE(stored->is_sticky());

    QStringList ids;
    for (const auto &c : stored->categories())
        ids << c->id();
    ids.sort();
    EXPECT_EQ(ids, (QStringList{QStringLiteral("3"), QStringLiteral("A1B2")}));
    QMap<QString, QByteArray> data;
    for (const auto &p : stored->pasteboards()) {
        data.insert(p->type(), p->data());
        EXPECT_EQ(p->item(), stored);
    }
    EXPECT_EQ(data.value(QStringLiteral("public.utf8-plain-text")), QByteArray("plain"));
    EXPECT_EQ(data.value(QStringLiteral("public.html")), QByteArray("<b>html</b>"));
}

TEST_F(StoreTest, NewRecordsStartWithTheirDefaultsAndNoComment)
{
    auto record = context()->insertNewObject<PBItemRecord>();
    auto group = context()->insertNewObject<PBCategoryRecord>();
    ASSERT_TRUE(context()->save());
    reopen();
    auto items = context()->fetch(PBItemRecord::fetchRequest());
    auto groups = context()->fetch(PBCategoryRecord::fetchRequest());
    ASSERT_TRUE(items && items->size() == 1 && groups && groups->size() == 1);
    EXPECT_FALSE(items->first()->is_sticky());
    EXPECT_TRUE(items->first()->comment().isNull());
    EXPECT_TRUE(items->first()->data().isNull());
    EXPECT_FALSE(groups->first()->isHidden());
    EXPECT_FALSE(groups->first()->isLock());
    EXPECT_EQ(groups->first()->index(), 0);
}

TEST_F(StoreTest, PayloadsAreReadFromTheStoreOnlyWhenAskedFor)
{
    auto record = item(QStringLiteral("image"));
    record->setData("original");
    record->addPasteboardsObject(pasteboard(QStringLiteral("public.png"), "original png"));
    ASSERT_TRUE(context()->save());
    reopen();

    auto found = context()->fetch(PBItemRecord::fetchRequest());
    ASSERT_TRUE(found && found->size() == 1);
    auto stored = found->first();
    auto representations = stored->pasteboards();
    ASSERT_EQ(representations.size(), 1);
    EXPECT_EQ(stored->text(), QStringLiteral("image"));
    EXPECT_EQ(representations.first()->type(), QStringLiteral("public.png"));
    // Changed behind the context's back: a payload read before would show the old bytes.
    rawDatabase().exec(
        "UPDATE PBItemRecord SET data = 'changed'; UPDATE PBPasteboardDataRecord SET data = 'changed png'");
    EXPECT_EQ(stored->data(), QByteArray("changed"));
    EXPECT_EQ(representations.first()->data(), QByteArray("changed png"));
}

TEST_F(StoreTest, ARecordIsOneObjectPerContext)
{
    item(QStringLiteral("one"));
    ASSERT_TRUE(context()->save());
    auto first = context()->fetch(PBItemRecord::fetchRequest());
    auto second = context()->fetch(PBItemRecord::fetchRequest());
    ASSERT_TRUE(first && second && first->size() == 1 && second->size() == 1);
    EXPECT_EQ(first->first().get(), second->first().get());
}

TEST_F(StoreTest, ACategoryKnowsItsItemsIncludingUnsavedLinks)
{
    auto group = category(QStringLiteral("c"));
    auto saved = item(QStringLiteral("saved"));
    saved->addCategoriesObject(group);
    ASSERT_TRUE(context()->save());
    auto unsaved = item(QStringLiteral("unsaved"));
    unsaved->addCategoriesObject(group);
    saved->removeCategoriesObject(group);
    EXPECT_EQ(texts(group->records()), QStringList{QStringLiteral("unsaved")});
}

TEST_F(StoreTest, HeadsOfStoredTextsAndPayloadsAreWhatTheQueryWouldGive)
{
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    const QList<QString> texts{QString(),
                               QStringLiteral("short"),
                               QString(2048, QLatin1Char('a')),
                               QString(2049, QLatin1Char('b')),
                               QString(3000, QChar(0x00e9)),
                               emoji.repeated(2100),
                               QStringLiteral("x") + emoji.repeated(600) + QString(5000, QChar(0x4e2d)),
                               QString(300000, QLatin1Char('c'))};
    const QList<QByteArray> payloads{QByteArray(), QByteArray("tiny"), QByteArray(4096, 'p'), QByteArray(4097, 'q'),
                                     QByteArray(500000, 'r')};
    QList<std::shared_ptr<PBItemRecord>> records;
    for (qsizetype i = 0; i < std::max(texts.size(), payloads.size()); ++i) {
        auto record = item(texts.value(i % texts.size()), int(i));
        if (i < payloads.size() && !payloads[i].isNull())
            record->setData(payloads[i]);
        records.append(record);
    }
    ASSERT_TRUE(context()->save());
    reopen();
    SQLite::Database database = rawDatabase();
    auto found = context()->fetch(PBItemRecord::fetchRequest());
    ASSERT_TRUE(found.has_value());
    ASSERT_EQ(found->size(), records.size());
    for (const auto &record : *found) {
        SQLite::Statement query(database,
                                "SELECT CASE WHEN length(text) <= 2048 THEN text ELSE substr(text, 1, 2048) END, "
                                "length(data) <= 4096, data FROM PBItemRecord WHERE uuid = ?");
        query.bind(1, record->uuid().toString(QUuid::WithoutBraces).toStdString());
        ASSERT_TRUE(query.executeStep());
        const QString head = QString::fromUtf8(query.getColumn(0).getText());
        EXPECT_EQ(record->textHead(2048), head);
        const std::optional<QByteArray> data = record->dataUpTo(4096);
        if (query.getColumn(2).isNull()) {
            EXPECT_TRUE(data.value_or(QByteArray("not empty")).isEmpty());
        } else if (query.getColumn(1).getInt() == 0) {
            EXPECT_FALSE(data.has_value()) << "a payload over the limit is not read";
        } else {
            ASSERT_TRUE(data.has_value());
            EXPECT_EQ(*data, QByteArray(static_cast<const char *>(query.getColumn(2).getBlob()),
                                        query.getColumn(2).getBytes()));
        }
    }
}
