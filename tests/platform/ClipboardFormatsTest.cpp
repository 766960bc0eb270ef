#include "platform/x11/ClipboardFormats.h"

#include <QMimeData>

#include <gtest/gtest.h>

using namespace ClipboardFormats;

TEST(ClipboardFormats, ReadsOneTargetOfEachKindInTheOwnersOrder)
{
    // What a Qt program offers for an image with a text: many conversions of each.
    const QList<QByteArray> offered = {"TIMESTAMP",     "TARGETS",      "MULTIPLE",
                                       "image/bmp",     "image/png",    "image/jpeg",
                                       "image/tiff",    "image/x-xpm",  "image/webp",
                                       "text/html",     "STRING",       "TEXT",
                                       "COMPOUND_TEXT", "UTF8_STRING",  "text/plain;charset=utf-8",
                                       "text/plain",    "SAVE_TARGETS", "application/x-qt-image"};
    EXPECT_EQ(targetsToRead(offered), (QList<QByteArray>{"image/png", "text/html", "text/plain;charset=utf-8"}));
    EXPECT_TRUE(targetsToRead({"TARGETS", "application/x-foo", "COMPOUND_TEXT"}).isEmpty());
    EXPECT_EQ(targetsToRead({"text/uri-list", "x-special/gnome-copied-files", "x-kde-passwordManagerHint"}),
              (QList<QByteArray>{"x-kde-passwordManagerHint", "text/uri-list"}));
    EXPECT_TRUE(marksConcealed("x-kde-passwordManagerHint", QByteArray("secret\0", 7)));
    EXPECT_FALSE(marksConcealed("x-kde-passwordManagerHint", "public"));
    EXPECT_FALSE(marksConcealed("text/plain", "secret"));
}

TEST(ClipboardFormats, InvalidUtf8AndNulsAreReplacedNeverReadAsLatin1)
{
    const QString replaced = QStringLiteral("na\uFFFDve");
    const auto plain = itemsFromTargets({"text/plain"}, {{"text/plain", QByteArray("na\xefve")}});
    ASSERT_EQ(plain.size(), 1);
    EXPECT_EQ(plain[0].string(PasteboardType::string), replaced);
    const auto utf8 = itemsFromTargets({"UTF8_STRING"}, {{"UTF8_STRING", QByteArray("na\xefve")}});
    ASSERT_EQ(utf8.size(), 1);
    EXPECT_EQ(utf8[0].string(PasteboardType::string), replaced);
    const auto withNul = itemsFromTargets({"UTF8_STRING"}, {{"UTF8_STRING", QByteArray("one\0two", 7)}});
    ASSERT_EQ(withNul.size(), 1);
    EXPECT_EQ(withNul[0].string(PasteboardType::string), QStringLiteral("one\uFFFDtwo"));
}

TEST(ClipboardFormats, TextOfEveryEncodingBecomesUtf8)
{
    const auto latin1 = itemsFromTargets({"STRING"}, {{"STRING", QByteArray("caf\xe9")}});
    ASSERT_EQ(latin1.size(), 1);
    EXPECT_EQ(latin1[0].string(PasteboardType::string), QStringLiteral("café"));

    const auto utf8 = itemsFromTargets({"UTF8_STRING"}, {{"UTF8_STRING", QByteArray("✓ done\0", 9)}});
    EXPECT_EQ(utf8[0].data(PasteboardType::string), QByteArray("✓ done"));

    const QString html = QStringLiteral("<b>ü</b>");
    QByteArray utf16("\xff\xfe");
    utf16.append(reinterpret_cast<const char *>(html.utf16()), html.size() * 2);
    const auto fromUtf16 = itemsFromTargets({"text/html"}, {{"text/html", utf16}});
    EXPECT_EQ(fromUtf16[0].data(PasteboardType::html), html.toUtf8());
}

TEST(ClipboardFormats, FilesBecomeOneItemEachWithTheOtherTypesOnTheFirst)
{
    const QList<QByteArray> offered = {"UTF8_STRING", "text/uri-list"};
    const auto items = itemsFromTargets(
        offered,
        {{"UTF8_STRING", "/home/u/a b.txt\n/home/u/c"},
         {"text/uri-list", "# a comment\r\nfile:///home/u/a%20b.txt\r\nhttps://example.org/\r\nfile:///home/u/c\r\n"}});
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].types(), (QStringList{PasteboardType::fileURL, PasteboardType::string}));
    EXPECT_EQ(items[0].data(PasteboardType::fileURL), QByteArray("file:///home/u/a%20b.txt"));
    EXPECT_EQ(items[1].types(), QStringList{PasteboardType::fileURL});
    EXPECT_EQ(items[1].data(PasteboardType::fileURL), QByteArray("file:///home/u/c"));

    const auto gnome = itemsFromTargets({"x-special/gnome-copied-files"},
                                        {{"x-special/gnome-copied-files", "cut\nfile:///tmp/x\nfile:///tmp/y"}});
    ASSERT_EQ(gnome.size(), 2);
    EXPECT_EQ(gnome[1].data(PasteboardType::fileURL), QByteArray("file:///tmp/y"));
}

TEST(ClipboardFormats, OnlyLinksToWebPagesGiveNoFileItems)
{
    const auto items =
        itemsFromTargets({"text/uri-list", "UTF8_STRING"},
                         {{"text/uri-list", "https://example.org/\r\n"}, {"UTF8_STRING", "https://example.org/"}});
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].types(), QStringList{PasteboardType::string});
}

TEST(ClipboardFormats, ThePasswordHintMarksTheItemConcealedAndOnlyWhenSecret)
{
    const QList<QByteArray> offered = {"x-kde-passwordManagerHint", "UTF8_STRING"};
    const auto secret = itemsFromTargets(offered, {{"x-kde-passwordManagerHint", "secret"}, {"UTF8_STRING", "pw"}});
    ASSERT_EQ(secret.size(), 1);
    EXPECT_EQ(secret[0].types(), (QStringList{PasteboardType::string, PasteboardType::concealed}));

    const auto other = itemsFromTargets(offered, {{"x-kde-passwordManagerHint", "public"}, {"UTF8_STRING", "pw"}});
    EXPECT_FALSE(other[0].hasType(PasteboardType::concealed));
}

TEST(ClipboardFormats, UnreadTargetsAndEmptyOffersGiveNothing)
{
    EXPECT_TRUE(itemsFromTargets({"UTF8_STRING"}, {}).isEmpty());
    EXPECT_TRUE(itemsFromTargets({}, {}).isEmpty());
    // Data for a target the owner did not offer is not trusted.
    EXPECT_TRUE(itemsFromTargets({"TARGETS"}, {{"UTF8_STRING", "x"}}).isEmpty());
}

TEST(ClipboardFormats, OurItemsAreOfferedUnderTheirMimeTypes)
{
    PasteboardItem rich;
    rich.setString(PasteboardType::string, QStringLiteral("one"));
    rich.setData(PasteboardType::html, "<b>one</b>");
    rich.setData(PasteboardType::png, "PNGDATA");
    rich.setData(PasteboardType::concealed, "");
    rich.setData(QStringLiteral("org.nspasteboard.source"), "app");
    PasteboardItem second;
    second.setString(PasteboardType::string, QStringLiteral("two"));
    second.setData(PasteboardType::html, "<b>two</b>");

    const auto mime = mimeDataForItems({rich, second});
    EXPECT_EQ(mime->text(), QStringLiteral("one\ntwo"));
    EXPECT_EQ(mime->data(QStringLiteral("text/html")), QByteArray("<b>one</b>"));
    EXPECT_EQ(mime->data(QStringLiteral("image/png")), QByteArray("PNGDATA"));
    EXPECT_EQ(mime->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    EXPECT_EQ(mime->data(QStringLiteral("org.nspasteboard.source")), QByteArray("app"));
    EXPECT_FALSE(mime->hasFormat(QStringLiteral("text/uri-list")));

    EXPECT_TRUE(mimeDataForItems({})->formats().isEmpty());
}

TEST(ClipboardFormats, WhatWeOfferReadsBackAsTheSameItem)
{
    PasteboardItem item;
    item.setString(PasteboardType::string, QStringLiteral("Grüße"));
    item.setData(PasteboardType::html, "<p>Grüße</p>");
    item.setData(PasteboardType::rtf, "{\\rtf1 x}");
    const auto mime = mimeDataForItems({item});
    QList<QByteArray> offered;
    QHash<QByteArray, QByteArray> read;
    for (const QString &format : mime->formats()) {
        offered.append(format.toLatin1());
        read.insert(format.toLatin1(), mime->data(format));
    }
    const auto back = itemsFromTargets(offered, read);
    ASSERT_EQ(back.size(), 1);
    for (const QString &type : item.types())
        EXPECT_EQ(back[0].data(type), item.data(type)) << type.toStdString();
}
