#include "core/HtmlReading.h"

#include "platform/Log.h"

#include <QSet>
#include <QTextCursor>

QVariant SafeTextDocument::loadResource(int type, const QUrl &name)
{
    Q_UNUSED(type);
    Q_UNUSED(name);
    return {};
}

namespace {

bool isOneOf(QStringView name, std::initializer_list<QLatin1StringView> names)
{
    return std::any_of(names.begin(), names.end(), [&](QLatin1StringView candidate) { return name == candidate; });
}

bool isVoid(QStringView name)
{
    return isOneOf(name, {QLatin1StringView("br"), QLatin1StringView("img"), QLatin1StringView("hr"),
                          QLatin1StringView("input"), QLatin1StringView("meta"), QLatin1StringView("link"),
                          QLatin1StringView("col"), QLatin1StringView("area"), QLatin1StringView("base"),
                          QLatin1StringView("embed"), QLatin1StringView("param"), QLatin1StringView("source"),
                          QLatin1StringView("track"), QLatin1StringView("wbr")});
}

// Elements whose text the parser takes as it is, up to their end tag.
bool isRawText(QStringView name)
{
    return isOneOf(name, {QLatin1StringView("script"), QLatin1StringView("style"), QLatin1StringView("textarea"),
                          QLatin1StringView("title")});
}

bool isInline(QStringView name)
{
    return isOneOf(name, {QLatin1StringView("a"),     QLatin1StringView("b"),      QLatin1StringView("i"),
                          QLatin1StringView("em"),    QLatin1StringView("strong"), QLatin1StringView("span"),
                          QLatin1StringView("font"),  QLatin1StringView("u"),      QLatin1StringView("s"),
                          QLatin1StringView("small"), QLatin1StringView("big"),    QLatin1StringView("code"),
                          QLatin1StringView("sub"),   QLatin1StringView("sup"),    QLatin1StringView("tt"),
                          QLatin1StringView("abbr"),  QLatin1StringView("cite"),   QLatin1StringView("kbd"),
                          QLatin1StringView("mark"),  QLatin1StringView("q"),      QLatin1StringView("samp"),
                          QLatin1StringView("var"),   QLatin1StringView("label")});
}

// Block elements whose start ends an open paragraph.
bool closesParagraph(QStringView name)
{
    return name == QLatin1StringView("p")
           || isOneOf(name,
                      {QLatin1StringView("div"),        QLatin1StringView("table"),   QLatin1StringView("ul"),
                       QLatin1StringView("ol"),         QLatin1StringView("dl"),      QLatin1StringView("h1"),
                       QLatin1StringView("h2"),         QLatin1StringView("h3"),      QLatin1StringView("h4"),
                       QLatin1StringView("h5"),         QLatin1StringView("h6"),      QLatin1StringView("pre"),
                       QLatin1StringView("blockquote"), QLatin1StringView("form"),    QLatin1StringView("address"),
                       QLatin1StringView("section"),    QLatin1StringView("article"), QLatin1StringView("header"),
                       QLatin1StringView("footer"),     QLatin1StringView("nav"),     QLatin1StringView("aside"),
                       QLatin1StringView("fieldset"),   QLatin1StringView("figure"),  QLatin1StringView("main")});
}

// One element open where the tokenizer is.
struct OpenElement {
    QString name;
    bool kept = true;        // false: its tags were left out
    qsizetype listItems = 0; // for a list, the items kept in it
};

// How far down the open elements a tag looks for the one it closes: each tag costs at most this.
constexpr qsizetype kSearchDepth = 2 * kMaxHtmlNesting;

// The index of the open element a start tag closes without its end tag (<li> after <li>, <td>
// after <td>...), or -1.
qsizetype implicitlyClosed(const QList<OpenElement> &stack, QStringView name)
{
    auto closeTo = [&](std::initializer_list<QLatin1StringView> matches,
                       std::initializer_list<QLatin1StringView> boundaries, bool inlineOnly) -> qsizetype {
        for (qsizetype i = stack.size() - 1; i >= 0 && i >= stack.size() - kSearchDepth; --i) {
            const QString &open = stack.at(i).name;
            if (isOneOf(open, matches))
                return i;
            if (isOneOf(open, boundaries) || (inlineOnly && !isInline(open)))
                return -1;
        }
        return -1;
    };
    if (name == QLatin1StringView("li"))
        return closeTo({QLatin1StringView("li")}, {QLatin1StringView("ul"), QLatin1StringView("ol")}, false);
    if (name == QLatin1StringView("dt") || name == QLatin1StringView("dd"))
        return closeTo({QLatin1StringView("dt"), QLatin1StringView("dd")}, {QLatin1StringView("dl")}, false);
    if (name == QLatin1StringView("option"))
        return closeTo({QLatin1StringView("option")}, {QLatin1StringView("select")}, false);
    if (name == QLatin1StringView("tr"))
        return closeTo({QLatin1StringView("tr")},
                       {QLatin1StringView("table"), QLatin1StringView("tbody"), QLatin1StringView("thead"),
                        QLatin1StringView("tfoot")},
                       false);
    if (name == QLatin1StringView("td") || name == QLatin1StringView("th"))
        return closeTo({QLatin1StringView("td"), QLatin1StringView("th")},
                       {QLatin1StringView("tr"), QLatin1StringView("table")}, false);
    if (closesParagraph(name))
        return closeTo({QLatin1StringView("p")}, {}, true);
    return -1;
}

// The list an item starts in, or -1.
qsizetype enclosingList(const QList<OpenElement> &stack)
{
    for (qsizetype i = stack.size() - 1; i >= 0 && i >= stack.size() - kSearchDepth; --i) {
        if (stack.at(i).name == QLatin1StringView("ul") || stack.at(i).name == QLatin1StringView("ol"))
            return i;
    }
    return -1;
}

// The end of the tag that starts at `from` (the index of its '>'), with quoted attribute values
// skipped; -1 when it never ends.
qsizetype tagEnd(QStringView html, qsizetype from)
{
    bool valueNext = false;
    for (qsizetype i = from; i < html.size(); ++i) {
        const QChar c = html.at(i);
        if (c == u'>')
            return i;
        if (c == u'=') {
            valueNext = true;
        } else if (valueNext && (c == u'"' || c == u'\'')) {
            i = html.indexOf(c, i + 1);
            if (i < 0)
                return -1;
            valueNext = false;
        } else if (!c.isSpace()) {
            valueNext = false;
        }
    }
    return -1;
}

} // namespace

QString htmlWithBoundedNesting(QStringView html)
{
    QString result;
    result.reserve(html.size());
    QList<OpenElement> open;
    qsizetype kept = 0; // the open elements whose tags are kept
    // Takes the open elements from `index` up off the stack.
    const auto closeFrom = [&](qsizetype index) {
        for (qsizetype k = index; k < open.size(); ++k)
            kept -= open.at(k).kept ? 1 : 0;
        open.resize(index);
    };
    qsizetype i = 0;
    while (i < html.size()) {
        const qsizetype lt = html.indexOf(u'<', i);
        if (lt < 0) {
            result += html.mid(i);
            break;
        }
        result += html.mid(i, lt - i);
        if (html.mid(lt, 4) == QLatin1StringView("<!--")) {
            const qsizetype end = html.indexOf(QLatin1StringView("-->"), lt + 4);
            const qsizetype next = end < 0 ? html.size() : end + 3;
            result += html.mid(lt, next - lt);
            i = next;
            continue;
        }
        qsizetype j = lt + 1;
        const bool closing = j < html.size() && html.at(j) == u'/';
        if (closing)
            ++j;
        if (j >= html.size() || !html.at(j).isLetter()) {
            result += u'<'; // a declaration, or a '<' that starts no tag
            i = lt + 1;
            continue;
        }
        const qsizetype nameStart = j;
        while (j < html.size() && (html.at(j).isLetterOrNumber() || html.at(j) == u'-' || html.at(j) == u':'))
            ++j;
        const QString name = html.mid(nameStart, j - nameStart).toString().toLower();
        const qsizetype end = tagEnd(html, j);
        if (end < 0) {
            result += html.mid(lt);
            break;
        }
        const QStringView tag = html.mid(lt, end + 1 - lt);
        i = end + 1;
        if (closing) {
            qsizetype found = -1;
            for (qsizetype k = open.size() - 1; k >= 0 && k >= open.size() - kSearchDepth; --k) {
                if (open.at(k).name == name) {
                    found = k;
                    break;
                }
            }
            if (found < 0) {
                result += tag; // closes nothing open: the document's reader decides
                continue;
            }
            const bool wasKept = open.at(found).kept;
            closeFrom(found);
            if (wasKept)
                result += tag;
            continue;
        }
        if (isRawText(name)) {
            // Taken as it is up to its end tag, which closes it.
            const QString endTag = QStringLiteral("</") + name;
            const qsizetype close = html.indexOf(endTag, i, Qt::CaseInsensitive);
            const qsizetype next = close < 0 ? html.size() : close;
            result += tag;
            result += html.mid(i, next - i);
            i = next;
            continue;
        }
        if (isVoid(name) || html.at(end - 1) == u'/') {
            result += tag;
            continue;
        }
        if (const qsizetype closed = implicitlyClosed(open, name); closed >= 0)
            closeFrom(closed);
        bool keep = kept < kMaxHtmlNesting;
        if (keep && name == QLatin1StringView("li")) {
            if (const qsizetype list = enclosingList(open); list >= 0)
                keep = open[list].listItems++ < kMaxHtmlListItems;
        }
        open.append({name, keep, 0});
        if (keep) {
            ++kept;
            result += tag;
        } else if (!isInline(name)) {
            result += QLatin1StringView("<br>"); // left out, its text on a line of its own
        }
    }
    return result;
}

std::optional<QTextDocumentFragment> htmlAttributedString(const QByteArray &html)
{
    if (html.isEmpty()) {
        LOG_DEBUG("htmlAttributedString(_:)", QStringLiteral("No HTML data"));
        return std::nullopt;
    }
    SafeTextDocument document;
    document.setHtml(htmlWithBoundedNesting(QString::fromUtf8(html)));

    // The last character of a document is its final paragraph separator, never part of the text.
    const int end = document.characterCount() - 1;
    int first = 0;
    while (first < end && document.characterAt(first).isSpace())
        ++first;
    int last = end - 1;
    while (last >= first && document.characterAt(last).isSpace())
        --last;
    if (first >= end || last < first)
        return QTextDocumentFragment(&document);

    QTextCursor cursor(&document);
    cursor.setPosition(first);
    cursor.setPosition(last + 1, QTextCursor::KeepAnchor);
    return cursor.selection();
}

QString htmlString(const QByteArray &html)
{
    const auto fragment = htmlAttributedString(html);
    return fragment ? fragment->toPlainText() : QString();
}
