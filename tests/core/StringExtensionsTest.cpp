#include "core/HtmlReading.h"
#include "core/StringExtensions.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

TEST(Digests, StringAndBytesOfTheSameTextAgree)
{
    const QString text = QStringLiteral("Grüße, 世界");
    EXPECT_EQ(md5(text), md5(text.toUtf8()));
    EXPECT_EQ(md5(QByteArray()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(md5(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
}

TEST(Digests, AreAlways32LowerCaseHexDigits)
{
    for (const QByteArray &data : {QByteArray(), QByteArray(1, '\0'), QByteArray(100000, '\xff')}) {
        const QString digest = md5(data);
        ASSERT_EQ(digest.size(), 32);
        for (QChar c : digest)
            EXPECT_TRUE((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                        || (c >= QLatin1Char('a') && c <= QLatin1Char('f')));
    }
}

TEST(LinkTest, AcceptsOnlyTheTwoWebPrefixesAsWritten)
{
    EXPECT_TRUE(isURL(QStringLiteral("https://")));
    EXPECT_TRUE(isURL(QStringLiteral("http://example.org/a b")));
    EXPECT_FALSE(isURL(QStringLiteral("HTTPS://example.org")));
    EXPECT_FALSE(isURL(QStringLiteral("Http://example.org")));
    EXPECT_FALSE(isURL(QStringLiteral(" http://example.org")));
    EXPECT_FALSE(isURL(QStringLiteral("ftp://example.org")));
    EXPECT_FALSE(isURL(QStringLiteral("https:/example.org")));
    EXPECT_FALSE(isURL(QString()));
}

TEST(EmailTest, LocalPartRules)
{
    EXPECT_TRUE(isEmail(QStringLiteral("a@example.com")));
    EXPECT_TRUE(isEmail(QStringLiteral("first.last+tag@example.com")));
    EXPECT_FALSE(isEmail(QStringLiteral(".first@example.com")));
    EXPECT_TRUE(isEmail(QString(64, QLatin1Char('x')) + QStringLiteral("@example.com")));
    EXPECT_FALSE(isEmail(QString(65, QLatin1Char('x')) + QStringLiteral("@example.com")));
    EXPECT_FALSE(isEmail(QStringLiteral("@example.com")));
    EXPECT_FALSE(isEmail(QStringLiteral("a b@example.com")));
}

TEST(EmailTest, DomainRules)
{
    EXPECT_TRUE(isEmail(QStringLiteral("root@localhost")));
    EXPECT_TRUE(isEmail(QStringLiteral("a@example.de")));
    EXPECT_FALSE(isEmail(QStringLiteral("a@example.x")));
    EXPECT_TRUE(isEmail(QStringLiteral("a@example.abcdefg")));
    EXPECT_FALSE(isEmail(QStringLiteral("a@example.abcdefgh")));
    EXPECT_FALSE(isEmail(QStringLiteral("a@")));
    EXPECT_FALSE(isEmail(QStringLiteral("a@b@c")));
}

TEST(EmailTest, LettersOfAnyScriptAreAccepted)
{
    EXPECT_TRUE(isEmail(QStringLiteral("用户@例子.广告")));
    EXPECT_TRUE(isEmail(QStringLiteral("jörg@müller.de")));
    EXPECT_TRUE(isEmail(QStringLiteral("почта@пример.рф")));
}

TEST(EmailTest, NoLineBreakOrBlankAroundTheAddress)
{
    EXPECT_FALSE(isEmail(QStringLiteral("a@example.com\n")));
    EXPECT_FALSE(isEmail(QStringLiteral("a@example.com\r\n")));
    EXPECT_FALSE(isEmail(QStringLiteral("\na@example.com")));
    EXPECT_FALSE(isEmail(QStringLiteral("a@example.com ")));
    EXPECT_FALSE(isEmail(QStringLiteral("a@example.com\nb@example.com")));
}

TEST(Titles, ATextNoOneCanSeeIsNamedInWords)
{
    EXPECT_EQ(titleText(QStringLiteral(" ")), QStringLiteral("1 space"));
    EXPECT_EQ(titleText(QStringLiteral("   ")), QStringLiteral("3 spaces"));
    EXPECT_EQ(titleText(QStringLiteral("\u00A0\u3000")), QStringLiteral("2 spaces"));
    EXPECT_EQ(titleText(QStringLiteral("\t\t")), QStringLiteral("2 tabs"));
    EXPECT_EQ(titleText(QStringLiteral("\n")), QStringLiteral("1 line break"));
    EXPECT_EQ(titleText(QStringLiteral("\r\n\r\n\u2029")), QStringLiteral("3 line breaks"));
    EXPECT_EQ(titleText(QStringLiteral("  \n\t")), QStringLiteral("Whitespace (2 lines)"));
    EXPECT_EQ(titleText(QStringLiteral(" \t ")), QStringLiteral("Whitespace (3 characters)"));
    // Zero-width space, joiner, byte-order mark, a control character: nothing shows either.
    EXPECT_EQ(titleText(QStringLiteral("\u200B")), QStringLiteral("1 invisible character"));
    EXPECT_EQ(titleText(QStringLiteral(" \u200D\uFEFF\u0007")), QStringLiteral("4 invisible characters"));
    // A supplementary format character (a tag) is one character.
    EXPECT_EQ(titleText(QStringLiteral("\U000E0041\U000E0042")), QStringLiteral("2 invisible characters"));
    // Only the start of a longer text is held: nothing is claimed about the rest.
    EXPECT_EQ(titleText(QString(2048, QLatin1Char(' ')), TextExtent::start),
              QStringLiteral("Starts with 2048 invisible characters"));
}

TEST(Titles, AVisibleTextIsShownFromItsFirstVisibleCharacter)
{
    EXPECT_EQ(titleText(QStringLiteral("a b")), QStringLiteral("a b"));
    EXPECT_EQ(titleText(QString(300, QLatin1Char('\n')) + QStringLiteral("hello ")), QStringLiteral("hello "));
    EXPECT_EQ(titleText(QStringLiteral("\u200B\t\U0001F600!")), QStringLiteral("\U0001F600!"));
    EXPECT_EQ(titleText(QStringLiteral("\u00AD")), QStringLiteral("1 invisible character")); // soft hyphen alone
    EXPECT_EQ(titleText(QString()), QString());
    // The ignore rule takes white space only; an invisible format character is kept.
    EXPECT_TRUE(isWhiteSpaceOnly(QStringLiteral(" \t\r\n\u00A0\u2028")));
    EXPECT_FALSE(isWhiteSpaceOnly(QStringLiteral(" \u200B")));
    EXPECT_FALSE(isWhiteSpaceOnly(QStringLiteral(" . ")));
}

TEST(Titles, ALongTitleIsCutAtAWordWithAnEllipsis)
{
    const QString ellipsis = QStringLiteral("\u2026");
    const QString report =
        QStringLiteral("The quarterly report for the northern region shows a steady increase in revenue");
    const QString cut = oneLineTitle(report, 64);
    EXPECT_EQ(cut, QStringLiteral("The quarterly report for the northern region shows a steady") + ellipsis);
    // Exactly the limit is no cut; one character more is.
    EXPECT_EQ(oneLineTitle(QString(20, QLatin1Char('x')), 20), QString(20, QLatin1Char('x')));
    EXPECT_EQ(oneLineTitle(QString(21, QLatin1Char('x')), 20), QString(20, QLatin1Char('x')) + ellipsis);
    // A word that fills most of the span is cut between characters rather than dropped whole.
    EXPECT_EQ(oneLineTitle(QStringLiteral("ab ") + QString(30, QLatin1Char('y')), 20),
              QStringLiteral("ab ") + QString(17, QLatin1Char('y')) + ellipsis);
    // A hyphen is a boundary too; the space before a cut is not kept.
    EXPECT_EQ(oneLineTitle(QStringLiteral("well-known  neighbourhoods"), 14), QStringLiteral("well-known") + ellipsis);
}

TEST(Titles, ATitleIsOneLineCountedInCharacters)
{
    EXPECT_EQ(oneLineTitle(QStringLiteral("Tom & Jerry\tshow\nnow\r\n\u2029end"), 64),
              QStringLiteral("Tom & Jerry show now   end"));
    // A flag and an accented letter made of two code points count as one character each.
    const QString flag = QStringLiteral("\U0001F1E9\U0001F1EA");
    const QString twenty = flag + QStringLiteral("e\u0301") + QStringLiteral("123456789012345678");
    EXPECT_EQ(oneLineTitle(twenty, 20), twenty);
    EXPECT_EQ(oneLineTitle(twenty + flag, 20), twenty + QStringLiteral("\u2026"));
    // Only the start of a huge text is read, and a cut inside it still ends on a character.
    const QString marks = QStringLiteral("a") + QString(5000, QChar(0x0301));
    EXPECT_EQ(oneLineTitle(marks + marks, 2).back(), QChar(0x2026));
    EXPECT_EQ(oneLineTitle(QString(1'000'000, QLatin1Char('z')), 64).size(), 65);
    EXPECT_EQ(oneLineTitle(QStringLiteral("anything"), 0), QString());
}

TEST(HtmlReading, TrimsBlanksAroundTheTextAndKeepsItsFormat)
{
    const auto fragment = htmlAttributedString(QByteArray("<p>  \n <b>word</b> \n\n </p>"));
    ASSERT_TRUE(fragment.has_value());
    EXPECT_EQ(fragment->toPlainText(), QStringLiteral("word"));
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertFragment(*fragment);
    cursor.setPosition(1);
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
}

TEST(HtmlReading, TrimsAcrossParagraphsAndKeepsInnerLineBreaks)
{
    EXPECT_EQ(htmlString(QByteArray("<html><body><p>&nbsp;</p><p>one</p><p>two</p><br><br></body></html>")),
              QStringLiteral("one\ntwo"));
    EXPECT_EQ(htmlString(QByteArray("<p>caf\xc3\xa9 \xf0\x9f\x98\x80</p>")), QString::fromUtf8("café 😀"));
}

TEST(HtmlReading, AnAllBlankDocumentStaysUntrimmed)
{
    const auto fragment = htmlAttributedString(QByteArray("<pre>   </pre>"));
    ASSERT_TRUE(fragment.has_value());
    EXPECT_EQ(fragment->toPlainText(), QStringLiteral("   "));
    EXPECT_EQ(htmlString(QByteArray()), QString());
}

TEST(HtmlReading, NeverLoadsResourcesTheHtmlNames)
{
    QTemporaryDir dir;
    const QString imagePath = dir.filePath(QStringLiteral("secret.png"));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(imagePath));
    const QUrl url = QUrl::fromLocalFile(imagePath);

    // The stock document does read the file: that is what must not happen.
    QTextDocument plain;
    plain.setHtml(QStringLiteral("<img src=\"%1\">").arg(url.toString()));
    ASSERT_TRUE(plain.resource(QTextDocument::ImageResource, url).isValid());

    SafeTextDocument safe;
    safe.setHtml(QStringLiteral("<img src=\"%1\"><img src=\"%2\">").arg(url.toString(), imagePath));
    EXPECT_FALSE(safe.resource(QTextDocument::ImageResource, url).isValid());
    EXPECT_FALSE(safe.resource(QTextDocument::ImageResource, QUrl(imagePath)).isValid());
    EXPECT_EQ(htmlString(QStringLiteral("<p>x<img src=\"%1\"></p>").arg(url.toString()).toUtf8()).trimmed().left(1),
              QStringLiteral("x"));
}
