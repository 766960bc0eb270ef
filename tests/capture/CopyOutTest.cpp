#include "CaptureTestSupport.h"

#include "core/TaviSettings.h"

#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {
PBCategory kind(PBDefaultCategory type) { return PBCategory(std::nullopt, QString(), {}, {}, type, false, false); }

// Another program's copy of a small image with more representations beside its PNG; returns the PNG.
QByteArray copyImage(CaptureHarness &h, const QColor &color, const QList<std::pair<QString, QByteArray>> &more)
{
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(color);
    const QByteArray png = pngOf(image);
    PasteboardItem copied;
    copied.setData(PasteboardType::png, png);
    for (const auto &[type, data] : more)
        copied.setData(type, data);
    h.copyFromOutside({copied});
    return png;
}
} // namespace

TEST(CopyOut, TextIsWrittenAsPlainStringUnlessSetOtherwise)
{
    CaptureHarness h;
    PasteboardItem rich;
    rich.setData(PasteboardType::html, "<i>hi</i>");
    rich.setString(PasteboardType::string, QStringLiteral("hi"));
    rich.setData(QStringLiteral("com.example.binary"), QByteArray("\xc3\x28\xa0", 3));
    h.copyFromOutside({rich});
    const PBItem item = h.item(QStringLiteral("hi"));

    const int before = TaviSettings::shared().copyOutTimes();
    h.manager->copy({item}, kind(PBDefaultCategory::all));
    QList<PasteboardItem> written = h.pasteboard.contents();
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written.first().types(), QStringList{PasteboardType::string});
    EXPECT_EQ(TaviSettings::shared().copyOutTimes(), before + 1);
    EXPECT_TRUE(h.pasteboard.ownsContents());

    TaviSettings::shared().setAlwaysCopyPlainText(false);
    h.manager->copy({item}, kind(PBDefaultCategory::text));
    written = h.pasteboard.contents();
    ASSERT_EQ(written.size(), 1);
    QStringList types = written.first().types();
    types.sort();
    EXPECT_EQ(types, (QStringList{PasteboardType::html, PasteboardType::string}));
}

TEST(CopyOut, SeveralItemsAreWrittenInReverseOrderAndEmptyListClears)
{
    CaptureHarness h;
    for (const char *text : {"A", "B", "C"})
        h.copyText(QString::fromLatin1(text));
    QList<PBItem> items{h.item(QStringLiteral("A")), h.item(QStringLiteral("B")), h.item(QStringLiteral("C"))};
    items.insert(1, PBItem()); // no provider: left out
    h.manager->copy(items, std::nullopt);
    const QList<PasteboardItem> written = h.pasteboard.contents();
    ASSERT_EQ(written.size(), 3);
    EXPECT_EQ(written.first().string(PasteboardType::string), QStringLiteral("C"));
    EXPECT_EQ(written.last().string(PasteboardType::string), QStringLiteral("A"));

    const int before = TaviSettings::shared().copyOutTimes();
    h.manager->copy({}, std::nullopt);
    EXPECT_TRUE(h.pasteboard.contents().isEmpty());
    EXPECT_TRUE(h.manager->needIgnoreFromSelfCopy());
    EXPECT_EQ(TaviSettings::shared().copyOutTimes(), before + 1);
}

TEST(CopyOut, NoteGivesItsBodyFromTheNoteListAndItsTitleElsewhere)
{
    CaptureHarness h;
    const PBItem note = h.manager->addNote(QStringLiteral("Title"), QStringLiteral("Body text"));
    const PBItem listed = h.manager->getAllItems().first();
    h.manager->copy({listed}, kind(PBDefaultCategory::note));
    EXPECT_EQ(h.pasteboard.contents().first().string(PasteboardType::string), QStringLiteral("Body text"));
    h.manager->copy({listed},
                    PBCategory(std::nullopt, QStringLiteral("Mine"), {}, {}, PBDefaultCategory::custom, false, false));
    EXPECT_EQ(h.pasteboard.contents().first().string(PasteboardType::string), QStringLiteral("Body text"));
    h.manager->copy({listed}, PBCategory::all());
    EXPECT_EQ(h.pasteboard.contents().first().string(PasteboardType::string), QStringLiteral("Title"));
}

TEST(CopyOut, ImagesAndFilesKeepEveryStoredType)
{
    CaptureHarness h;
    const QByteArray png = copyImage(h, Qt::blue, {{QStringLiteral("com.example.meta"), "meta"}});
    const PBItem item = h.manager->getAllItems().first();
    h.manager->copy({item}, PBCategory::all());
    const PasteboardItem written = h.pasteboard.contents().first();
    EXPECT_EQ(written.data(PasteboardType::png), png);
    EXPECT_EQ(written.data(QStringLiteral("com.example.meta")), QByteArray("meta"));

    // What we wrote is not recorded again.
    h.manager->retreivePasteboardInfo();
    h.settle();
    EXPECT_EQ(h.manager->itemCount(), 1);
}

TEST(CopyOut, ADragCarriesWhatTheClipboardWouldOfferForEveryStoredType)
{
    CaptureHarness h;
    const QByteArray png =
        copyImage(h, Qt::red, {{PasteboardType::tiff, "tiff bytes"}, {QStringLiteral("com.example.meta"), "meta"}});
    const PBItem listed = h.manager->getAllItems().first();
    const int copiesBefore = TaviSettings::shared().copyOutTimes();

    const std::unique_ptr<QMimeData> drag = h.manager->mimeDataForDrag({listed}, listed.primaryCategory());
    ASSERT_NE(drag, nullptr);
    EXPECT_EQ(TaviSettings::shared().copyOutTimes(), copiesBefore);
    EXPECT_TRUE(h.pasteboard.contents().isEmpty() || !h.pasteboard.ownsContents());
    EXPECT_EQ(drag->data(QStringLiteral("image/png")), png);
    EXPECT_EQ(drag->data(QStringLiteral("image/tiff")), QByteArray("tiff bytes"));
    EXPECT_EQ(drag->data(QStringLiteral("com.example.meta")), QByteArray("meta"));

    h.manager->copy({listed}, listed.primaryCategory());
    const std::unique_ptr<QMimeData> offered = Pasteboard::mimeDataForItems(h.pasteboard.contents());
    QStringList dragged = drag->formats();
    QStringList onClipboard = offered->formats();
    dragged.sort();
    onClipboard.sort();
    EXPECT_EQ(dragged, onClipboard);
    for (const QString &format : std::as_const(dragged))
        EXPECT_EQ(drag->data(format), offered->data(format)) << format.toStdString();
}
