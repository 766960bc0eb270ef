#include "capture/PBItemPipeline.h"
#include "core/StringExtensions.h"
#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
PasteboardItem itemOf(std::initializer_list<std::pair<QString, QByteArray>> entries)
{
    PasteboardItem item;
    for (const auto &[type, data] : entries)
        item.setData(type, data);
    return item;
}

PasteboardItem textItem(const QString &text) { return itemOf({{PasteboardType::string, text.toUtf8()}}); }

RunningApplication editor()
{
    RunningApplication app;
    app.localizedName = QStringLiteral("Text Editor");
    app.bundleIdentifier = QStringLiteral("org.gnome.TextEditor");
    app.bundlePath = QStringLiteral("/usr/share/applications/org.gnome.TextEditor.desktop");
    return app;
}

QByteArray pngBytes(int width = 8, int height = 8)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    return pngOf(image);
}

PBCategory userCategory()
{
    return PBCategory(QStringLiteral("C0FFEE"), QStringLiteral("Work"), Qt::blue, Qt::white, PBDefaultCategory::custom,
                      false, false);
}

class PipelineTest : public ::testing::Test {
protected:
    PasteboardProcessResult run(const PasteboardItem &item, std::optional<RunningApplication> app = editor())
    {
        return PBItemPipeline::process(item, app, environment);
    }

    QStringList categoryIds(const PBItem &item)
    {
        QStringList ids;
        for (const PBCategory &category : item.categories())
            ids.append(category.id());
        return ids;
    }

    ScopedXdgHome home;
    std::optional<PBItem> stored;
    std::optional<PBCategory> active;
    QStringList lookedUp;
    PBItemPipeline::Environment environment = [this] {
        PBItemPipeline::Environment made;
        made.findItemByHash = [this](const QString &hash) -> std::optional<PBItem> {
            lookedUp.append(hash);
            if (stored && stored->hash() == hash)
                return stored;
            return std::nullopt;
        };
        made.activeCategory = [this] { return active; };
        made.ownBundleIdentifier = QStringLiteral("tavipaste");
        return made;
    }();
};
} // namespace

TEST_F(PipelineTest, PlainTextBecomesTextItemFiledUnderItsKindAllAndTheActiveCategory)
{
    active = userCategory();
    const auto result = run(textItem(QStringLiteral("hello")));
    ASSERT_EQ(result.kind, PasteboardProcessResult::Kind::New);
    const PBItem &item = *result.item;
    EXPECT_EQ(categoryIds(item), (QStringList{QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("C0FFEE")}));
    EXPECT_EQ(item.hash(), md5(QStringLiteral("hello")));
    EXPECT_EQ(item.dataProvider()->representedText(), QStringLiteral("hello"));
    EXPECT_EQ(item.dataProvider()->pasteboardData().value(PasteboardType::string), QByteArray("hello"));
    EXPECT_EQ(item.sourceApp()->name, QStringLiteral("Text Editor"));
    EXPECT_EQ(item.sourceApp()->bundleId, QStringLiteral("org.gnome.TextEditor"));
    EXPECT_EQ(item.createTime(), item.modifiedTime());
    EXPECT_FALSE(item.isSticky());
}

TEST_F(PipelineTest, ActiveCategoryThatIsAlreadyTheKindIsNotListedTwice)
{
    active = PBCategory::all();
    const auto result = run(textItem(QStringLiteral("hello")));
    ASSERT_EQ(result.kind, PasteboardProcessResult::Kind::New);
    EXPECT_EQ(categoryIds(*result.item), (QStringList{QStringLiteral("1"), QStringLiteral("0")}));
}

TEST_F(PipelineTest, LinksAndEmailAddressesGetTheirOwnKinds)
{
    auto link = run(textItem(QStringLiteral("https://example.org/a")));
    ASSERT_EQ(link.kind, PasteboardProcessResult::Kind::New);
    EXPECT_EQ(categoryIds(*link.item).first(), QStringLiteral("2"));
    EXPECT_TRUE(link.item->dataProvider()->is<PBLinkItemProvider>());

    auto mail = run(textItem(QStringLiteral("someone@example.org")));
    ASSERT_EQ(mail.kind, PasteboardProcessResult::Kind::New);
    EXPECT_TRUE(mail.item->dataProvider()->is<PBEmailItemProvider>());
    EXPECT_EQ(mail.item->primaryCategory()->type(), PBDefaultCategory::email);
}

TEST_F(PipelineTest, HashCoversTheWholeText)
{
    const QString prefix(300, QLatin1Char('a'));
    const auto first = run(textItem(prefix + QStringLiteral("one")));
    const auto second = run(textItem(prefix + QStringLiteral("two")));
    ASSERT_EQ(first.kind, PasteboardProcessResult::Kind::New);
    ASSERT_EQ(second.kind, PasteboardProcessResult::Kind::New);
    EXPECT_NE(first.item->hash(), second.item->hash());
}

TEST_F(PipelineTest, HashCoversTheWholeDataOfImagesAndRichText)
{
    QByteArray a = pngBytes(40, 40);
    QByteArray b = a;
    b[40] = char(b[40] ^ 0x5a); // same tail, different start
    EXPECT_NE(PBItemPipeline::contentHash(itemOf({{PasteboardType::png, a}}), PasteboardType::png, a),
              PBItemPipeline::contentHash(itemOf({{PasteboardType::png, b}}), PasteboardType::png, b));

    // Rich text without a plain string never hashes to the empty string's digest.
    const QByteArray rtf("{\\rtf1 hello}");
    const QString hash = PBItemPipeline::contentHash(itemOf({{PasteboardType::rtf, rtf}}), PasteboardType::rtf, rtf);
    EXPECT_EQ(hash, md5(rtf));
    EXPECT_NE(hash, md5(QByteArray()));
}

TEST_F(PipelineTest, RepeatIsReportedAsUpdateWithTheActiveCategoryOnlyWhenMissing)
{
    auto first = run(textItem(QStringLiteral("again")));
    stored = first.item;
    auto repeat = run(textItem(QStringLiteral("again")));
    ASSERT_EQ(repeat.kind, PasteboardProcessResult::Kind::Update);
    EXPECT_EQ(repeat.item->uuid(), stored->uuid());
    EXPECT_FALSE(repeat.category);

    active = userCategory();
    repeat = run(textItem(QStringLiteral("again")));
    ASSERT_EQ(repeat.kind, PasteboardProcessResult::Kind::Update);
    ASSERT_TRUE(repeat.category);
    EXPECT_EQ(repeat.category->id(), QStringLiteral("C0FFEE"));
}

TEST_F(PipelineTest, RepeatIsRecognisedBeforeTheIgnoreRulesButNeverForAConcealedCopy)
{
    stored = run(textItem(QStringLiteral("secret"))).item;
    // A password manager's copy is not even compared with the history.
    auto concealed = itemOf({{PasteboardType::string, "secret"}, {PasteboardType::concealed, ""}});
    EXPECT_EQ(run(concealed).kind, PasteboardProcessResult::Kind::Failure);

    RunningApplication own = editor();
    own.bundleIdentifier = QStringLiteral("tavipaste");
    EXPECT_EQ(run(textItem(QStringLiteral("secret")), own).kind, PasteboardProcessResult::Kind::Update);
}

TEST_F(PipelineTest, TransientConcealedAndOwnContentIsDroppedNamingTheType)
{
    for (const QString &marker : PBItemPipeline::markerTypes() + PBItemPipeline::transientTypes()) {
        auto result = run(itemOf({{PasteboardType::string, "pw"}, {marker, "1"}}));
        ASSERT_EQ(result.kind, PasteboardProcessResult::Kind::Failure) << marker.toStdString();
        EXPECT_TRUE(result.reason.contains(marker));
    }
    RunningApplication own = editor();
    own.bundleIdentifier = QStringLiteral("tavipaste");
    auto result = run(textItem(QStringLiteral("mine")), own);
    ASSERT_EQ(result.kind, PasteboardProcessResult::Kind::Failure);
    EXPECT_TRUE(result.reason.contains(PasteboardType::string));
}

TEST_F(PipelineTest, HandoffContentIsDroppedOnlyWhenSoSet)
{
    auto item = itemOf({{PasteboardType::string, "x"}, {QStringLiteral("com.apple.is-remote-clipboard"), "1"}});
    EXPECT_EQ(run(item).kind, PasteboardProcessResult::Kind::New);
    TaviSettings::shared().setIgnoreDataFromOtherDevices(true);
    EXPECT_EQ(run(item).kind, PasteboardProcessResult::Kind::Failure);
}

TEST_F(PipelineTest, SizeLimitLetsTheLimitItselfPass)
{
    TaviSettings &settings = TaviSettings::shared();
    settings.setIgnoreDataSizeMoreThan(true);
    settings.setIgnoreDataSize(1);
    settings.setIgnoreDataSizeType(IgnoreDataSizeType::kb);
    EXPECT_EQ(run(textItem(QString(1024, QLatin1Char('x')))).kind, PasteboardProcessResult::Kind::New);
    auto big = run(textItem(QString(1025, QLatin1Char('x'))));
    EXPECT_EQ(big.kind, PasteboardProcessResult::Kind::Failure);
    EXPECT_FALSE(big.reason.isEmpty());
}

TEST_F(PipelineTest, SizeLimitOfBadSettingsIsClamped)
{
    EXPECT_EQ(PBItemPipeline::sizeLimitBytes(1.5, false), 1536);
    EXPECT_EQ(PBItemPipeline::sizeLimitBytes(2, true), 2 * 1024 * 1024);
    EXPECT_EQ(PBItemPipeline::sizeLimitBytes(-3, true), 0);
    EXPECT_EQ(PBItemPipeline::sizeLimitBytes(std::nan(""), true), 1024 * 1024);
    const qint64 huge = PBItemPipeline::sizeLimitBytes(1e300, true);
    EXPECT_EQ(huge, PBItemPipeline::sizeLimitBytes(std::numeric_limits<double>::infinity(), true));
    EXPECT_GT(huge, qint64(1) << 50);
}

TEST_F(PipelineTest, ASizeLimitOutsideWhatPreferencesCanSetDropsNothing)
{
    TaviSettings &settings = TaviSettings::shared();
    Defaults &defaults = Defaults::standard();
    settings.setIgnoreDataSizeMoreThan(true);
    const auto recorded = [&](qsizetype length) {
        return run(textItem(QString(length, QLatin1Char('x')))).kind == PasteboardProcessResult::Kind::New;
    };
    // At the bounds the limit is the user's: nothing at all, or more than any copy.
    settings.setIgnoreDataSizeType(IgnoreDataSizeType::kb);
    settings.setIgnoreDataSize(0);
    EXPECT_FALSE(recorded(1));
    settings.setIgnoreDataSizeType(IgnoreDataSizeType::mb);
    settings.setIgnoreDataSize(1024.0 * 1024.0);
    EXPECT_TRUE(recorded(3 * 1024 * 1024));

    // Beyond them, or of another type, the limit cannot be read and no copy is dropped for it
    // (read as its initial value or clamped, each once dropped copies of 1 MB or of any size).
    for (const QVariant &size : {QVariant(-1.0), QVariant(-0.001), QVariant(qint64(-3)), QVariant(1048576.5),
                                 QVariant(1e300), QVariant(QStringLiteral("big"))}) {
        defaults.setValue(QStringLiteral("ignoreDataSize"), size);
        EXPECT_TRUE(recorded(1)) << size.toString().toStdString();
        EXPECT_TRUE(recorded(2 * 1024 * 1024)) << size.toString().toStdString();
    }
    settings.setIgnoreDataSize(1);
    EXPECT_FALSE(recorded(2 * 1024 * 1024));
    for (const qint64 unit : {qint64(2), qint64(-1)}) {
        defaults.setValue(QStringLiteral("ignoreDataSizeType"), unit);
        EXPECT_TRUE(recorded(2 * 1024 * 1024)) << unit;
    }
}

TEST_F(PipelineTest, WhiteSpaceIsDroppedOnlyWhenSoSet)
{
    const auto blank = textItem(QStringLiteral("  \n\t \r\n"));
    // A blank part of a web page: its text is only white space.
    const auto blankHtml = itemOf({{PasteboardType::html, "<p>&nbsp; </p>\n<br>"}, {PasteboardType::string, " \n"}});
    const auto blankRtf = itemOf({{PasteboardType::rtf, "{\\rtf1\\ansi \\par \\tab }"}});
    for (const auto &item : {blank, blankHtml, blankRtf})
        EXPECT_EQ(run(item).kind, PasteboardProcessResult::Kind::New);
    TaviSettings::shared().setIgnoreWhiteSpace(true);
    for (const auto &item : {blank, blankHtml, blankRtf})
        EXPECT_EQ(run(item).kind, PasteboardProcessResult::Kind::Failure);
    EXPECT_EQ(run(textItem(QStringLiteral(" a "))).kind, PasteboardProcessResult::Kind::New);
    // An invisible character that is no white space is not the rule's to drop.
    EXPECT_EQ(run(textItem(QStringLiteral(" \u200B "))).kind, PasteboardProcessResult::Kind::New);
}

TEST_F(PipelineTest, HtmlIsReadAsTextOrLink)
{
    auto html = run(itemOf({{PasteboardType::html, "<p>Hello <b>world</b></p>"}}));
    ASSERT_EQ(html.kind, PasteboardProcessResult::Kind::New);
    EXPECT_EQ(html.item->dataProvider()->representedText(), QStringLiteral("Hello world"));
    EXPECT_TRUE(html.item->dataProvider()->is<PBTextItemProvider>());

    auto link = run(itemOf({{PasteboardType::html, "<a href='x'>https://example.org</a>"}}));
    ASSERT_EQ(link.kind, PasteboardProcessResult::Kind::New);
    EXPECT_TRUE(link.item->dataProvider()->is<PBLinkItemProvider>());
}

TEST_F(PipelineTest, RichTextIsReadWithoutAPlainString)
{
    auto rtf = run(itemOf({{PasteboardType::rtf, "{\\rtf1\\ansi {\\b Bold} text}"}}));
    ASSERT_EQ(rtf.kind, PasteboardProcessResult::Kind::New);
    EXPECT_TRUE(rtf.item->dataProvider()->representedText().contains(QStringLiteral("Bold")));
    EXPECT_NE(rtf.item->hash(), md5(QByteArray()));
}

TEST_F(PipelineTest, FilesFoldersAndImageFiles)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder"));
    QDir().mkpath(folder);
    const QString picture = dir.filePath(QStringLiteral("picture.png"));
    const QByteArray png = pngBytes();
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png);
    file.close();

    auto folderResult = run(itemOf({{PasteboardType::fileURL, QUrl::fromLocalFile(folder).toEncoded()}}));
    ASSERT_EQ(folderResult.kind, PasteboardProcessResult::Kind::New);
    EXPECT_TRUE(folderResult.item->dataProvider()->is<PBFileItemProvider>());
    EXPECT_EQ(folderResult.item->primaryCategory()->type(), PBDefaultCategory::file);

    auto image = run(itemOf({{PasteboardType::fileURL, QUrl::fromLocalFile(picture).toEncoded()}}));
    ASSERT_EQ(image.kind, PasteboardProcessResult::Kind::New);
    ASSERT_TRUE(image.item->dataProvider()->is<PBImageItemProvider>());
    EXPECT_EQ(image.item->dataProvider()->accosicatedData().toByteArray(), png);
    EXPECT_EQ(image.item->hash(), md5(QUrl::fromLocalFile(picture).toEncoded()));
}

TEST_F(PipelineTest, ImageFileOverTheSizeLimitOrUnreadableStaysAFile)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("big.png"));
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pngBytes(300, 300));
    file.write(QByteArray(4096, '\0'));
    file.close();
    TaviSettings &settings = TaviSettings::shared();
    settings.setIgnoreDataSizeMoreThan(true);
    settings.setIgnoreDataSize(2);
    settings.setIgnoreDataSizeType(IgnoreDataSizeType::kb);

    auto big = run(itemOf({{PasteboardType::fileURL, QUrl::fromLocalFile(picture).toEncoded()}}));
    ASSERT_EQ(big.kind, PasteboardProcessResult::Kind::New);
    EXPECT_TRUE(big.item->dataProvider()->is<PBFileItemProvider>());

    settings.setIgnoreDataSizeMoreThan(false);
    auto missing = run(itemOf({{PasteboardType::fileURL, QUrl::fromLocalFile(dir.filePath("gone.png")).toEncoded()}}));
    ASSERT_EQ(missing.kind, PasteboardProcessResult::Kind::New);
    EXPECT_TRUE(missing.item->dataProvider()->is<PBFileItemProvider>());
}

TEST_F(PipelineTest, ACopyOfManyImageFilesReadsNoMoreOfThemThanItsShare)
{
    QTemporaryDir dir;
    const QByteArray png = pngBytes(40, 40);
    QList<QString> pictures;
    for (int i = 0; i < 3; ++i) {
        pictures.append(dir.filePath(QStringLiteral("picture %1.png").arg(i)));
        QFile file(pictures.last());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(png);
    }
    // Room for two of the three: the third stays a file, and nothing is read for it.
    qint64 left = 2 * png.size() + png.size() / 2;
    environment.imageFileBytesLeft = &left;
    QList<bool> images;
    for (const QString &picture : pictures) {
        const auto result = run(itemOf({{PasteboardType::fileURL, QUrl::fromLocalFile(picture).toEncoded()}}));
        ASSERT_EQ(result.kind, PasteboardProcessResult::Kind::New);
        images.append(result.item->dataProvider()->is<PBImageItemProvider>());
    }
    EXPECT_EQ(images, (QList<bool>{true, true, false}));
    EXPECT_EQ(left, png.size() / 2);
    environment.imageFileBytesLeft = nullptr;
}

TEST_F(PipelineTest, ImageDataBecomesImageItemAndFakeImageDataIsDropped)
{
    auto image = run(itemOf({{PasteboardType::png, pngBytes()}}));
    ASSERT_EQ(image.kind, PasteboardProcessResult::Kind::New);
    EXPECT_EQ(image.item->primaryCategory()->type(), PBDefaultCategory::image);

    auto fake = run(itemOf({{PasteboardType::png, "definitely not an image"}}));
    EXPECT_EQ(fake.kind, PasteboardProcessResult::Kind::Failure);
    EXPECT_FALSE(fake.reason.isEmpty());
}

TEST_F(PipelineTest, UnknownContentIsOtherAndUnknownWithImageKeepsAThumbnail)
{
    auto other = run(itemOf({{QStringLiteral("com.example.private"), QByteArray("\x01\x02\x03", 3)}}));
    ASSERT_EQ(other.kind, PasteboardProcessResult::Kind::New);
    EXPECT_EQ(other.item->primaryCategory()->type(), PBDefaultCategory::other);

    const QByteArray png = pngBytes(800, 400);
    auto withImage = run(itemOf({{QStringLiteral("com.example.doc"), "doc"}, {PasteboardType::png, png}}));
    ASSERT_EQ(withImage.kind, PasteboardProcessResult::Kind::New);
    EXPECT_EQ(withImage.item->primaryCategory()->type(), PBDefaultCategory::image);
    const QImage thumbnail = QImage::fromData(withImage.item->dataProvider()->accosicatedData().toByteArray());
    EXPECT_LE(thumbnail.width(), 200);
    EXPECT_EQ(withImage.item->dataProvider()->pasteboardData().value(PasteboardType::png), png);
}

TEST_F(PipelineTest, ItemsWithoutTypesOrDataAreDropped)
{
    EXPECT_EQ(run(PasteboardItem()).kind, PasteboardProcessResult::Kind::Failure);
    auto empty = run(itemOf({{QStringLiteral("com.example.x"), QByteArray()}}));
    EXPECT_EQ(empty.kind, PasteboardProcessResult::Kind::Failure);
    EXPECT_TRUE(empty.reason.startsWith(QStringLiteral("No valid data found")));
}

TEST_F(PipelineTest, RandomTypesAndDataNeverCrashAndEveryDropHasAReason)
{
    QStringList logged;
    Log::setObserver(
        [&](LogLevel, const QString &message, const char *, const char *, int) { logged.append(message); });
    const QStringList types{PasteboardType::string,
                            PasteboardType::html,
                            PasteboardType::rtf,
                            PasteboardType::fileURL,
                            PasteboardType::png,
                            PasteboardType::jpeg,
                            PasteboardType::tiff,
                            QStringLiteral("public.text"),
                            QStringLiteral("com.apple.webarchive"),
                            QStringLiteral("com.apple.notes.richtext"),
                            QStringLiteral("dyn.ah62d4rv4gu8y"),
                            QStringLiteral(""),
                            QStringLiteral("public.image"),
                            QStringLiteral("com.apple.flat-rtfd"),
                            PasteboardType::concealed};
    QRandomGenerator random(20261209);
    int made = 0;
    for (int round = 0; round < 400; ++round) {
        PasteboardItem item;
        const int count = int(random.bounded(4));
        for (int i = 0; i < count; ++i) {
            QByteArray data;
            switch (random.bounded(6)) {
            case 0: break;                                                   // empty
            case 1: data = QByteArray("\xff\xfe\xc3\x28\xa0\xa1", 6); break; // invalid UTF-8
            case 2: data = pngBytes(int(random.bounded(1, 50)), int(random.bounded(1, 50))); break;
            case 3: data = QByteArray(int(random.bounded(200000)), char(random.bounded(256))); break;
            case 4: data = "file:///nonexistent/" + QByteArray::number(random.generate()) + ".png"; break;
            default:
                data.resize(int(random.bounded(2000)));
                for (char &c : data)
                    c = char(random.bounded(256));
            }
            item.setData(types.at(int(random.bounded(types.size()))), data);
        }
        logged.clear();
        const auto result = run(item);
        if (result.kind == PasteboardProcessResult::Kind::Failure) {
            EXPECT_FALSE(result.reason.isEmpty());
            EXPECT_TRUE(logged.contains(result.reason));
        } else {
            ASSERT_TRUE(result.item);
            EXPECT_TRUE(result.item->dataProvider().has_value());
            ++made;
        }
    }
    Log::setObserver({});
    EXPECT_GT(made, 0);
}
