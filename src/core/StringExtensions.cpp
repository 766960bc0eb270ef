#include "core/StringExtensions.h"

#include "platform/Strings.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <algorithm>

namespace {
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

QString md5(const QString &text)
{
    return md5(text.toUtf8());
}

bool isURL(const QString &text)
{
    return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}

bool isEmail(const QString &text)
{
    // Anchored on the whole text: a bare "$" would also accept a trailing newline.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral(
        "^[\\p{L}0-9!#$%&'*+\\/=?^_`{|}~-][\\p{L}0-9.!#$%&'*+\\/=?^_`{|}~-]{0,63}@[\\p{L}0-9-]+(?:\\.[\\p{L}0-9-]{2,7})*$")));
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
