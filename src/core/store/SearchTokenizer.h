#pragma once
// The search index's FTS5 tokenizer. A folded text is split into words at white space; each word
// gives its trigrams (three characters each, one per character position), and a marker token
// stands between two words, naming the white space between them when it is at most
// kLongestSpace bytes. A phrase of trigrams thus matches exactly the words that hold its
// characters in a row, and never joins the end of one word to the start of the next; trigrams
// across white space, which make up close to half of a prose text's, are not stored.

#include <QString>

struct sqlite3;

namespace SearchTokenizer {
inline constexpr char kName[] = "tavi_words";
inline constexpr int kLongestSpace = 16;

// Registers the tokenizer on a connection; false when its SQLite has no FTS5.
bool registerWith(sqlite3 *database);

// Whether a character separates words, as the tokenizer decides it.
bool isSeparator(char32_t character);

// The words of a folded text, as the tokenizer splits it.
QList<QString> words(const QString &folded);
} // namespace SearchTokenizer
