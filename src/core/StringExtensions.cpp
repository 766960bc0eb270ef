#include "core/StringExtensions.h"

#include "platform/Strings.h"

#include <QCryptographicHash>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {
// The start of the text up to `cut`, or to the last word boundary between `nearest` and `cut`,
// without its trailing spaces, and "…".
QString cutAtWordBoundary(const QString &text, qsizetype cut, qsizetype nearest)
{
    // A cut just before a space ends a word too.
    qsizetype word = cut < text.size() && text.at(cut).isSpace() ? cut : -1;
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    for (qsizetype at = lines.toNextBoundary(); at > 0 && at <= cut; at = lines.toNextBoundary()) {
        if (at >= nearest)
            word = std::max(word, at);
    }
    QString title = text.left(word > 0 ? word : cut);
    while (!title.isEmpty() && title.back().isSpace())
        title.chop(1);
    if (title.isEmpty())
        title = text.left(cut);
    return title + QChar(0x2026);
}

// The code point at `at` and where the next one starts; a lone surrogate is read as it is.
std::pair<char32_t, qsizetype> codePointAt(const QString &text, qsizetype at)
{
    const QChar c = text.at(at);
    if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text.at(at + 1)), at + 2};
    return {c.unicode(), at + 1};
}

bool isLineBreak(char32_t c)
{
    return c == U'\n' || c == U'\r' || c == U'\v' || c == U'\f' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Whether the character leaves nothing to see: white space, a control or a format character
// (zero-width space, joiners, direction marks, byte-order mark).
bool isInvisible(char32_t c)
{
    if (QChar::isSpace(c))
        return true;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

QString counted(const char *singular, const char *plural, qsizetype count)
{
    return count == 1 ? L(singular) : L(plural).arg(count);
}

// The words for a text that is all invisible characters.
QString invisibleTextTitle(const QString &text, TextExtent extent)
{
    qsizetype characters = 0, spaces = 0, tabs = 0, breakCharacters = 0, lineBreaks = 0, whiteSpace = 0;
    char32_t previous = 0;
    for (qsizetype at = 0; at < text.size();) {
        const auto [c, next] = codePointAt(text, at);
        at = next;
        ++characters;
        if (QChar::isSpace(c))
            ++whiteSpace;
        if (isLineBreak(c)) {
            ++breakCharacters;
            if (c != U'\n' || previous != U'\r') // CR LF is one break
                ++lineBreaks;
        } else if (c == U'\t') {
            ++tabs;
        } else if (QChar::category(c) == QChar::Separator_Space) {
            ++spaces;
        }
        previous = c;
    }
    if (extent == TextExtent::start)
        return L("Item.Invisible.Start").arg(characters);
    if (whiteSpace < characters)
        return counted("Item.Invisible.Characters.singular", "Item.Invisible.Characters.plural", characters);
    if (spaces == characters)
        return counted("Item.Invisible.Spaces.singular", "Item.Invisible.Spaces.plural", spaces);
    if (tabs == characters)
        return counted("Item.Invisible.Tabs.singular", "Item.Invisible.Tabs.plural", tabs);
    if (breakCharacters == characters)
        return counted("Item.Invisible.LineBreaks.singular", "Item.Invisible.LineBreaks.plural", lineBreaks);
    if (lineBreaks > 0)
        return L("Item.Invisible.WhiteSpaceLines").arg(lineBreaks + 1);
    return L("Item.Invisible.WhiteSpaceCharacters").arg(characters);
}
} // namespace

QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

QString md5(const QString &text) { return md5(text.toUtf8()); }

bool isURL(const QString &text)
{
    return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}

bool isEmail(const QString &text)
{
    // Anchored on the whole text: a bare "$" would also accept a trailing newline.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("^[\\p{L}0-9!#$%&'*+\\/=?^_`{|}~-][\\p{L}0-9.!#$%&'*+\\/"
                       "=?^_`{|}~-]{0,63}@[\\p{L}0-9-]+(?:\\.[\\p{L}0-9-]{2,7})*$")));
    return pattern.match(text).hasMatch();
}

bool isWhiteSpaceOnly(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
}

QString titleText(const QString &text, TextExtent extent)
{
    for (qsizetype at = 0; at < text.size();) {
        const auto [c, next] = codePointAt(text, at);
        if (!isInvisible(c))
            return at == 0 ? text : text.mid(at);
        at = next;
    }
    return text.isEmpty() ? text : invisibleTextTitle(text, extent);
}

namespace {
bool breaksLine(QChar c)
{
    switch (c.unicode()) {
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case 0x85:
    case 0x2028:
    case 0x2029: return true;
    default: return false;
    }
}
} // namespace

QString oneLineTitle(const QString &text, int length)
{
    if (length <= 0)
        return {};
    // A character seldom takes more than a few code units: this start holds `length` of them
    // unless they are unusually long, and then the title is cut within it.
    QString head = text.left(qsizetype(length) * 16 + 64);
    const bool partial = head.size() < text.size();
    for (QChar &c : head) {
        if (breaksLine(c))
            c = QLatin1Char(' ');
    }
    // ends[i]: where character i ends; one more than `length` tells that the text goes on. The end
    // of a partial start is no boundary of the text.
    QList<qsizetype> ends;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, head);
    for (qsizetype at = characters.toNextBoundary(); at > 0 && ends.size() <= length;
         at = characters.toNextBoundary()) {
        if (partial && at == head.size())
            break;
        ends.append(at);
    }
    if (!partial && ends.size() <= length)
        return head;
    // One absurdly long character (a letter under thousands of marks) is cut where the start ends.
    if (ends.isEmpty())
        ends.append(head.size());
    const qsizetype kept = std::min<qsizetype>(ends.size(), length);
    const qsizetype cut = ends.at(kept - 1);
    // A word boundary in the last fifth of the kept characters; else the cut falls between two.
    const qsizetype nearest = ends.at(std::max<qsizetype>(0, kept - 1 - std::max(1, length / 5)));
    return cutAtWordBoundary(head, cut, nearest);
}

QString elideAtWordBoundary(const QString &text, const QFontMetrics &metrics, int width)
{
    const QString elided = metrics.elidedText(text, Qt::ElideRight, width);
    const qsizetype cut = elided.size() - 1;
    // It fits, nothing but "…" fits, or the cut is not a plain start of the text.
    if (elided == text || cut <= 0 || !elided.endsWith(QChar(0x2026))
        || !text.startsWith(QStringView(elided).left(cut)))
        return elided;
    return cutAtWordBoundary(text, cut, cut - std::max<qsizetype>(1, cut / 5));
}
