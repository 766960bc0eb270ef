// Copied HTML is read for its text in time in proportion to its length, whatever its nesting,
// and ordinary HTML reads exactly as the text document reads it unbounded.

#include "core/HtmlReading.h"

#include <QElapsedTimer>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {
QString documentText(const QString &html)
{
    SafeTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

QByteArray repeated(const QByteArray &head, const QByteArray &unit, int count, const QByteArray &tail)
{
    QByteArray html = head;
    for (int i = 0; i < count; ++i)
        html += QByteArray(unit).replace("#", QByteArray::number(i));
    return html + tail;
}

qint64 millisecondsToRead(const QByteArray &html)
{
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(htmlString(html).isEmpty());
    return std::max<qint64>(1, timer.elapsed());
}
} // namespace

TEST(HtmlReading, OrdinaryHtmlReadsAsTheDocumentReadsItUnbounded)
{
    const QStringList samples{
        QStringLiteral("<p>Some <b>bold</b> words</p><table><tr><td>a<td>b</table><ul><li>one<li>two</ul>"),
        QStringLiteral("<script>if (a<b) x='</b>';</script><a title='x>y' href=\"q?a=1&amp;b=2\">link</a> after"),
        QStringLiteral("<!-- a <b> comment --><p>x &amp; y</p><br/>z <img src=x.png alt=\"pic\"> end"),
        QStringLiteral("a < b and c > d <3"),
        QStringLiteral("<div><p>one<p>two</div><ol><li>x</li><li>y</li></ol><dl><dt>term<dd>meaning<dt>next</dl>"),
        QStringLiteral("<TABLE><TR><TD>1</TD><TD>2<TR><TD>3<TD>4</TABLE><P CLASS=\"x\">Upper</P><BR>case"),
        QStringLiteral("<style>p { color: red }</style><p>styled</p><select><option>a<option>b</select>"),
        QStringLiteral(
            "<html><head><title>T</title></head><body><h1>Head</h1><pre>  kept\n  as is</pre></body></html>"),
    };
    for (const QString &html : samples)
        EXPECT_EQ(documentText(htmlWithBoundedNesting(html)), documentText(html)) << html.toStdString();
}

TEST(HtmlReading, DeepNestingAndLongListsKeepEveryWordAndTakeTimeInProportionToTheirLength)
{
    const QByteArray nested = repeated("<html><body>", "<table><tr><td>cell #", 8000, "")
                              + repeated("", "</td></tr></table>", 8000, "</body></html>");
    const QByteArray flat = repeated("<html><body>", "<table><tr><td>cell #</td></tr></table>", 8000, "</body></html>");
    const QByteArray list = repeated("<ul>", "<li>item #<p>more", 8000, "</ul>");
    const QByteArray spans = repeated("", "<span><b>word #", 8000, "");

    const QString nestedText = htmlString(nested);
    const QString listText = htmlString(list);
    for (int i : {0, 99, 100, 4000, 7999}) {
        EXPECT_TRUE(nestedText.contains(QStringLiteral("cell %1\n").arg(i))
                    || nestedText.endsWith(QStringLiteral("cell %1").arg(i)))
            << i;
        EXPECT_TRUE(listText.contains(QStringLiteral("item %1").arg(i))) << i;
    }
    EXPECT_TRUE(htmlString(spans).contains(QStringLiteral("word 7999")));

    // Unbounded, each of these costs time in proportion to its depth or its list's length at
    // every element: many times the flat document's.
    const qint64 flatMs = millisecondsToRead(flat);
    EXPECT_LT(millisecondsToRead(nested), 5 * flatMs);
    EXPECT_LT(millisecondsToRead(list), 5 * flatMs);
    EXPECT_LT(millisecondsToRead(spans), 5 * flatMs);
}
