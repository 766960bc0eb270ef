#include "core/PBItem.h"
#include "support/TestEnvironment.h"

#include <QCborMap>
#include <QCborValue>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {
PBCategory category(PBDefaultCategory kind)
{
    return PBCategory(std::nullopt, localizedName(kind), defaultBackgroundColor(kind), defaultForegroundColor(kind),
                      kind, false, false);
}

PBItem textItem(QUuid uuid, const QString &text)
{
    const QDateTime now = QDateTime::currentDateTime();
    return PBItem(uuid, QStringLiteral("hash"), {category(PBDefaultCategory::text), PBCategory::all()},
                  PBItemProvider(PBTextItemProvider(text)), now, now, PBAppInfo{QStringLiteral("Notes"), {}, {}}, false,
                  std::nullopt);
}

QByteArray noteArchive(const QCborValue &title, const QCborValue &body)
{
    QCborMap map;
    map.insert(QStringLiteral("title"), title);
    map.insert(QStringLiteral("body"), body);
    return map.toCborValue().toCbor();
}

QVariant favicon(const QString &link) { return PBLinkItemProvider(link).accosicatedData(); }

std::vector<PBItemProvider> oneOfEachKind()
{
    return {PBTextItemProvider(QStringLiteral("Hello")),
            PBFileItemProvider(QUrl(QStringLiteral("https://example.com/Hello.txt"))),
            PBLinkItemProvider(QStringLiteral("https://hello.example")),
            *PBNoteItemProvider::make(QStringLiteral("Hello"), QStringLiteral("Hello")),
            PBOtherItemProvider(QStringLiteral("Hello")),
            PBImageItemProvider(QByteArray("png"), QStringLiteral("Hello")),
            PBEmailItemProvider(QStringLiteral("hello@example.com"))};
}
} // namespace

TEST(PBItem, EqualityIsIdentity)
{
    const QUuid uuid = QUuid::createUuid();
    EXPECT_EQ(textItem(uuid, QStringLiteral("one")), textItem(uuid, QStringLiteral("two")));
    EXPECT_NE(textItem(QUuid::createUuid(), QStringLiteral("same")),
              textItem(QUuid::createUuid(), QStringLiteral("same")));
}

TEST(PBItem, DescriptionListsCategoriesTextAndSource)
{
    EXPECT_EQ(textItem(QUuid::createUuid(), QStringLiteral("Hi")).description(),
              QStringLiteral("[Text,All,]: Hi @ [Notes]"));
    const QDateTime now = QDateTime::currentDateTime();
    const PBItem bare(QUuid::createUuid(), QString(), {}, std::nullopt, now, now, std::nullopt, false, std::nullopt);
    EXPECT_EQ(bare.description(), QStringLiteral("[]:  @ []"));
}

TEST(PBItem, DescriptionCutsAfterThirtyTwoWholeCharacters)
{
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the BMP: two UTF-16 units
    const QString accented = QString::fromUtf8("e\xCC\x81");    // e + combining acute
    const QString family = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9"); // joined emoji
    QString text = QString(31, QLatin1Char('a')) + face + QStringLiteral("tail");
    QString description = textItem(QUuid::createUuid(), text).description();
    EXPECT_TRUE(description.contains(QString(31, QLatin1Char('a')) + face + QStringLiteral(" @ ")));

    text = QString(31, QLatin1Char('b')) + accented + QStringLiteral("x");
    description = textItem(QUuid::createUuid(), text).description();
    EXPECT_TRUE(description.contains(accented + QStringLiteral(" @ ")));

    text = QString(31, QLatin1Char('c')) + family + QStringLiteral("x");
    description = textItem(QUuid::createUuid(), text).description();
    EXPECT_TRUE(description.contains(family + QStringLiteral(" @ ")));
}

TEST(PBItem, PrimaryCategoryIsTheFirstContentKind)
{
    const QDateTime now = QDateTime::currentDateTime();
    const PBCategory work(std::nullopt, QStringLiteral("Work"), Qt::black, Qt::white, PBDefaultCategory::custom, false,
                          false);
    const PBItem item(QUuid::createUuid(), QString(), {PBCategory::all(), work, category(PBDefaultCategory::link)},
                      std::nullopt, now, now, std::nullopt, false, std::nullopt);
    ASSERT_TRUE(item.primaryCategory());
    EXPECT_EQ(item.primaryCategory()->id(), QStringLiteral("2"));
    const PBItem none(QUuid::createUuid(), QString(), {PBCategory::all(), work}, std::nullopt, now, now, std::nullopt,
                      false, std::nullopt);
    EXPECT_FALSE(none.primaryCategory());
}

TEST(PBItem, TravelsInNotificationPayloads)
{
    const PBItem item = textItem(QUuid::createUuid(), QStringLiteral("x"));
    const QVariant wrapped = QVariant::fromValue(QList<PBItem>{item});
    ASSERT_EQ(wrapped.value<QList<PBItem>>().size(), 1);
    EXPECT_EQ(wrapped.value<QList<PBItem>>().first().uuid(), item.uuid());
}

TEST(RichPayload, PrefersRtfThenHtmlThenPlainText)
{
    const PasteboardDataMap both = {{QStringLiteral("public.html"), "<b>x</b>"},
                                    {QStringLiteral("public.rtf"), "{\\rtf1 x}"}};
    EXPECT_EQ(PBTextItemProvider(QStringLiteral("x"), both).accosicatedData().toByteArray(), QByteArray("{\\rtf1 x}"));
    const PasteboardDataMap html = {{QStringLiteral("public.html"), "<b>x</b>"},
                                    {QStringLiteral("public.utf8-plain-text"), "x"}};
    EXPECT_EQ(PBEmailItemProvider(QStringLiteral("x"), html).accosicatedData().toByteArray(), QByteArray("<b>x</b>"));
    EXPECT_EQ(PBTextItemProvider(QString::fromUtf8("Grüße")).accosicatedData().toByteArray(),
              QByteArray("Gr\xC3\xBC\xC3\x9F"
                         "e"));
    EXPECT_FALSE(PBTextItemProvider(QString(QChar(0xD800))).accosicatedData().isValid()); // lone surrogate
}

TEST(LinkFavicon, IsAskedOverHttpsAtTheHostsRoot)
{
    EXPECT_EQ(favicon(QStringLiteral("http://user@Example.com:8080/a/b?q=1#f")).toUrl(),
              QUrl(QStringLiteral("https://example.com/favicon.ico")));
    EXPECT_FALSE(favicon(QStringLiteral("word")).isValid());
    EXPECT_FALSE(favicon(QStringLiteral("mailto:someone@example.com")).isValid());
    EXPECT_FALSE(favicon(QStringLiteral("not a url at all")).isValid());
    EXPECT_FALSE(favicon(QString()).isValid());
}

TEST(LinkFavicon, AnIpv6HostKeepsItsBrackets)
{
    const QUrl url = favicon(QStringLiteral("http://[2001:db8::1]:8080/index.html")).toUrl();
    EXPECT_EQ(url.toString(), QStringLiteral("https://[2001:db8::1]/favicon.ico"));
    EXPECT_EQ(url.host(), QStringLiteral("2001:db8::1"));
}

TEST(LinkFavicon, IsNeverAskedOfThisComputerOrTheLocalNetwork)
{
    for (const char *link :
         {"http://127.0.0.1:8080/reboot", "http://192.168.1.1/cgi-bin/reboot", "http://localhost/", "http://router/",
          "http://nas.local/", "http://[::1]:631/", "http://[fe80::1]/", "http://2130706433/", "http://10.0.0.1./"})
        EXPECT_FALSE(favicon(QString::fromLatin1(link)).isValid()) << link;
    EXPECT_TRUE(favicon(QStringLiteral("http://93.184.216.34/")).isValid());
}

TEST(KeywordMatching, EmptyKeywordsNeverMatch)
{
    for (const PBItemProvider &provider : oneOfEachKind()) {
        EXPECT_FALSE(provider.matches({})) << provider.representedText().toStdString();
        EXPECT_FALSE(provider.matches({QString()})) << provider.representedText().toStdString();
        EXPECT_TRUE(provider.matches({QString(), QStringLiteral("hello")}) || provider.is<PBNoteItemProvider>());
    }
}

TEST(KeywordMatching, TextIgnoresCaseNotesDoNot)
{
    EXPECT_TRUE(PBTextItemProvider(QStringLiteral("Hello World")).matches({QStringLiteral("world")}));
    EXPECT_TRUE(PBTextItemProvider(QString::fromUtf8("STRASSE ÄRGER")).matches({QString::fromUtf8("ärger")}));
    EXPECT_FALSE(PBTextItemProvider(QStringLiteral("Hello World")).matches({QStringLiteral("planet")}));

    const auto note = PBNoteItemProvider::make(QStringLiteral("Hello"), QStringLiteral("groceries"));
    ASSERT_TRUE(note);
    EXPECT_FALSE(note->matches({QStringLiteral("hello")}));
    EXPECT_TRUE(note->matches({QStringLiteral("Hell")}));
    EXPECT_TRUE(note->matches({QStringLiteral("x"), QStringLiteral("ocer")}));
    EXPECT_FALSE(
        PBNoteItemProvider(QStringLiteral("t"), QStringLiteral("ocer as a string")).matches({QStringLiteral("ocer")}));
}

TEST(Restore, TextKindsNeedValidUtf8)
{
    EXPECT_EQ(PBTextItemProvider::restore(QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                     "e"))
                  ->representedText(),
              QString::fromUtf8("Grüße"));
    EXPECT_TRUE(PBLinkItemProvider::restore(QByteArray("https://x.org"))->pasteboardData().isEmpty());
    EXPECT_FALSE(PBTextItemProvider::restore(std::nullopt));
    EXPECT_FALSE(PBTextItemProvider::restore(QByteArray("\xC3"))); // truncated sequence
    EXPECT_FALSE(PBEmailItemProvider::restore(QByteArray("a\xFF"
                                                         "b")));
    EXPECT_EQ(PBEmailItemProvider::restore(QByteArray(""))->representedText(), QString());
}

TEST(Restore, OtherNeverAndImageAlways)
{
    EXPECT_FALSE(PBOtherItemProvider::restore(QByteArray("anything")));
    EXPECT_FALSE(PBOtherItemProvider::restore(std::nullopt));
    const auto first = PBImageItemProvider::restore(std::nullopt);
    const auto second = PBImageItemProvider::restore(QByteArray("png"));
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(first->accosicatedData().isValid());
    EXPECT_EQ(second->accosicatedData().toByteArray(), QByteArray("png"));
    // An image has no name of its own: no internal id stands in for one.
    EXPECT_TRUE(first->representedText().isEmpty());
    EXPECT_TRUE(second->representedText().isEmpty());
}

TEST(Restore, NotesComeFromAnArchiveWithTextTitleAndDataBody)
{
    const auto note = PBNoteItemProvider::restore(noteArchive(QStringLiteral("Title"), QByteArray("Body")));
    ASSERT_TRUE(note);
    EXPECT_EQ(note->representedText(), QStringLiteral("Title"));
    EXPECT_EQ(note->body(), QStringLiteral("Body"));
    EXPECT_FALSE(PBNoteItemProvider::restore(noteArchive(QStringLiteral("Title"), QStringLiteral("Body"))));
    EXPECT_FALSE(PBNoteItemProvider::restore(noteArchive(QByteArray("Title"), QByteArray("Body"))));
    EXPECT_FALSE(PBNoteItemProvider::restore(QCborValue(QStringLiteral("just text")).toCbor()));
    EXPECT_FALSE(PBNoteItemProvider::restore(QByteArray("\xFF\x00")));
    EXPECT_FALSE(PBNoteItemProvider::restore(std::nullopt));
}

TEST(NoteBody, IsReadOnlyFromUtf8Bytes)
{
    EXPECT_EQ(PBNoteItemProvider::make(QStringLiteral("t"), QString::fromUtf8("Straße"))->body(),
              QString::fromUtf8("Straße"));
    EXPECT_FALSE(PBNoteItemProvider(QStringLiteral("t"), QVariant()).body());
    EXPECT_FALSE(PBNoteItemProvider(QStringLiteral("t"), QByteArray("\xFF")).body());
    EXPECT_FALSE(PBNoteItemProvider::make(QStringLiteral("t"), QString(QChar(0xDC00))));
}

TEST(FileProvider, ShowsTheFileNameAndRestoresFromItsUrl)
{
    EXPECT_EQ(PBFileItemProvider(QUrl::fromLocalFile(QStringLiteral("/tmp/My Report.pdf"))).representedText(),
              QStringLiteral("My Report.pdf"));
    EXPECT_EQ(PBFileItemProvider(QUrl::fromLocalFile(QStringLiteral("/tmp/folder/"))).representedText(),
              QStringLiteral("folder"));
    EXPECT_TRUE(PBFileItemProvider(QUrl::fromLocalFile(QStringLiteral("/tmp/My Report.pdf")))
                    .matches({QStringLiteral("report")}));
    EXPECT_FALSE(
        PBFileItemProvider(QUrl::fromLocalFile(QStringLiteral("/tmp/My Report.pdf"))).matches({QStringLiteral("tmp")}));

    const PBFileItemProvider original(QUrl::fromLocalFile(QStringLiteral("/tmp/a b/ü.txt")));
    const auto restored = PBFileItemProvider::restore(original.accosicatedData().toByteArray());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->url(), original.url());
    EXPECT_FALSE(PBFileItemProvider::restore(QByteArray("not a url with spaces")));
    EXPECT_FALSE(PBFileItemProvider::restore(QByteArray()));
    EXPECT_FALSE(PBFileItemProvider::restore(QByteArray("\xFF")));
}

TEST(AttributedString, ReadsRtfWithItsStyles)
{
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl\\f0\\fswiss Helvetica;}{\\colortbl;\\red255\\green0\\blue0;}"
        "\\f0 Plain {\\b bold} caf\\'e9 \\u8364?\\par next}";
    const PBTextItemProvider provider(QStringLiteral("fallback"), {{QStringLiteral("public.rtf"), rtf}});
    const auto fragment = provider.attributedString();
    ASSERT_TRUE(fragment);
    EXPECT_EQ(fragment->toPlainText(), QString::fromUtf8("Plain bold café €\nnext"));
    QTextDocument document;
    QTextCursor(&document).insertFragment(*fragment);
    const QTextBlock block = document.firstBlock();
    bool sawBold = false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (it.fragment().text().contains(QStringLiteral("bold")))
            sawBold = it.fragment().charFormat().fontWeight() == QFont::Bold;
    }
    EXPECT_TRUE(sawBold);
    EXPECT_FALSE(PBTextItemProvider(QString(), {{QStringLiteral("public.rtf"), "plain, not rtf"}}).attributedString());
}

TEST(AttributedString, ReadsRtfBytesInTheDocumentsCodePageAndSkipsBinaryData)
{
    auto plain = [](const QByteArray &rtf) {
        const auto fragment = PBTextItemProvider(QString(), {{QStringLiteral("public.rtf"), rtf}}).attributedString();
        return fragment ? fragment->toPlainText() : QStringLiteral("(unreadable)");
    };
    EXPECT_EQ(plain("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2, {\\b \\'ec\\'e8\\'f0}}"),
              QString::fromUtf8("Привет, мир"));
    EXPECT_EQ(plain("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'82\\'a2 ok}"), QString::fromUtf8("あい ok"));
    EXPECT_EQ(plain("{\\rtf1\\ansi\\ansicpg99999 caf\\'e9}"), QString::fromUtf8("café")); // unknown: Western
    // A font's character set decides for the text in that font.
    EXPECT_EQ(plain("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 "
                    "Arial;}{\\f1\\fnil\\fcharset204 Arial;}}"
                    "caf\\'e9 {\\f1 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2} caf\\'e9}"),
              QString::fromUtf8("café Привет café"));
    EXPECT_EQ(plain("{\\rtf1 a{\\pict\\bin2 {{}b}"), QStringLiteral("ab")); // binary picture data holds braces
}

TEST(AttributedString, ReadsHtmlElsePlainText)
{
    const QByteArray html = "<html><body><p>Hello <i>there</i></p></body></html>";
    const auto fragment = PBTextItemProvider(QString(), {{QStringLiteral("public.html"), html}}).attributedString();
    ASSERT_TRUE(fragment);
    EXPECT_EQ(fragment->toPlainText(), QStringLiteral("Hello there"));
    EXPECT_FALSE(PBTextItemProvider(QString(), {{QStringLiteral("public.html"), "\xFF\xFE"}}).attributedString());
    EXPECT_FALSE(PBTextItemProvider(QString(), {{QStringLiteral("com.apple.flat-rtfd"), "rtfd"}}).attributedString());
    EXPECT_EQ(PBTextItemProvider(QStringLiteral("plain")).attributedString()->toPlainText(), QStringLiteral("plain"));
}
