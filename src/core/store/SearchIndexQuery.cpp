#include "core/store/SearchIndexQuery.h"

#include "core/store/EntityDescription.h"
#include "core/store/SearchIndex.h"
#include "core/store/SearchTokenizer.h"

#include <QStringList>

#include <algorithm>

namespace {
// Words of a keyword are matched in the index by at most this many characters; longer ones are
// then checked by scan among the items the index finds.
constexpr int kLongestPhrase = 32;

QString quotedPhrase(const QString &text)
{
    QList<uint> characters = text.toUcs4();
    characters.resize(std::min<qsizetype>(characters.size(), kLongestPhrase));
    QString phrase = QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()), characters.size());
    phrase.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + phrase + QLatin1Char('"');
}
} // namespace

std::optional<IndexQuery> indexQuery(const QString &keyword)
{
    const QString folded = StoreValues::fold(keyword, true, true);
    if (folded.contains(QChar(0)))
        return std::nullopt;
    const QList<QString> words = SearchTokenizer::words(folded);
    const auto isLong = [](const QString &word) { return word.toUcs4().size() >= SearchIndex::kShortestKeyword; };
    if (std::none_of(words.cbegin(), words.cend(), isLong))
        return std::nullopt;
    const QList<uint> characters = folded.toUcs4();
    bool exact = characters.size() <= kLongestPhrase && std::all_of(words.cbegin(), words.cend(), isLong)
                 && !SearchTokenizer::isSeparator(characters.first())
                 && !SearchTokenizer::isSeparator(characters.last());
    qsizetype space = 0;
    for (const uint character : characters) {
        if (SearchTokenizer::isSeparator(character)) {
            const char32_t c = character;
            space += QString::fromUcs4(&c, 1).toUtf8().size();
        } else {
            exact = exact && space <= SearchTokenizer::kLongestSpace;
            space = 0;
        }
    }
    QStringList phrases;
    for (const QString &word : words) {
        if (isLong(word))
            phrases << quotedPhrase(word);
    }
    return IndexQuery{quotedPhrase(folded), exact, phrases.join(QLatin1Char(' ')), exact && words.size() == 1};
}
