#include "platform/Pasteboard.h"
#include "platform/memory/MemoryPasteboard.h"

#include <gtest/gtest.h>

namespace {
PasteboardItem textItem(const QString &text)
{
    PasteboardItem item;
    item.setString(PasteboardType::string, text);
    return item;
}
} // namespace

TEST(PasteboardItem, KeepsTypesInTheOrderTheyWereSetAndReplacesInPlace)
{
    PasteboardItem item;
    item.setData(PasteboardType::html, "<b>a</b>");
    item.setData(PasteboardType::string, "a");
    item.setData(PasteboardType::html, "<i>b</i>");
    EXPECT_EQ(item.types(), (QStringList{PasteboardType::html, PasteboardType::string}));
    EXPECT_EQ(item.data(PasteboardType::html), QByteArray("<i>b</i>"));
    EXPECT_FALSE(item.data(PasteboardType::png).has_value());
}

TEST(PasteboardItem, ReadsTextOnlyWhereTheDataIsText)
{
    PasteboardItem item;
    item.setString(PasteboardType::string, QStringLiteral("Grüße ✓"));
    item.setData(PasteboardType::png, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18));
    item.setData(PasteboardType::html, QByteArray("\xff\xfe<\0b\0>\0", 8)); // UTF-16 with BOM
    item.setData(QStringLiteral("public.data"), QByteArray("a\0b", 3));
    item.setData(QStringLiteral("empty"), QByteArray());

    EXPECT_EQ(item.string(PasteboardType::string), QStringLiteral("Grüße ✓"));
    EXPECT_FALSE(item.string(PasteboardType::png).has_value());
    EXPECT_EQ(item.string(PasteboardType::html), QStringLiteral("<b>"));
    EXPECT_FALSE(item.string(QStringLiteral("public.data")).has_value());
    EXPECT_EQ(item.string(QStringLiteral("empty")), QString());
    EXPECT_FALSE(item.string(QStringLiteral("missing")).has_value());
}

TEST(MemoryPasteboard, OwnsWhatItWroteUntilAnotherProgramCopies)
{
    MemoryPasteboard pasteboard;
    const qint64 start = pasteboard.changeCount();
    EXPECT_FALSE(pasteboard.ownsContents());

    const qint64 afterWrite = pasteboard.write({textItem(QStringLiteral("ours")), textItem(QStringLiteral("two"))});
    EXPECT_EQ(afterWrite, start + 1);
    EXPECT_TRUE(pasteboard.ownsContents());
    ASSERT_TRUE(pasteboard.items().has_value());
    EXPECT_EQ(pasteboard.items()->size(), 2);

    pasteboard.simulateCopy({textItem(QStringLiteral("theirs"))});
    EXPECT_EQ(pasteboard.changeCount(), start + 2);
    EXPECT_FALSE(pasteboard.ownsContents());
    EXPECT_EQ(pasteboard.items()->first().string(PasteboardType::string), QStringLiteral("theirs"));
}

TEST(MemoryPasteboard, AnUnreadableCopyGivesNoItemsAndTheNextCopyReadsAgain)
{
    MemoryPasteboard pasteboard;
    pasteboard.simulateUnreadableCopy();
    EXPECT_FALSE(pasteboard.items().has_value());
    pasteboard.simulateCopy({textItem(QStringLiteral("next"))});
    ASSERT_TRUE(pasteboard.items().has_value());
    EXPECT_EQ(pasteboard.items()->size(), 1);
}

TEST(MemoryPasteboard, ClearEmptiesAndMovesTheCount)
{
    MemoryPasteboard pasteboard;
    pasteboard.write({textItem(QStringLiteral("x"))});
    const qint64 before = pasteboard.changeCount();
    pasteboard.clear();
    EXPECT_EQ(pasteboard.changeCount(), before + 1);
    EXPECT_TRUE(pasteboard.items()->isEmpty());
    EXPECT_EQ(pasteboard.clearCount(), 1);
    EXPECT_EQ(pasteboard.writeCount(), 1);
}
