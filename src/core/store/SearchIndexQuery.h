#pragma once
// How the search index is asked for a keyword: the FTS5 MATCH expressions of the folded keyword.
// Any thread.

#include <QString>

#include <optional>

// A MATCH expression of one quoted phrase (so no character of the keyword is query syntax), and
// whether its matches are exactly the keyword's or only candidates that the scan must then check.
struct IndexQuery {
    QString match;
    bool exact = false;
    // Each word of the keyword long enough for a trigram as a phrase of its own, in any order:
    // the index finds these items far quicker than the whole phrase's (the markers between words
    // are in nearly every item), as candidates for the scan unless the keyword is one word.
    QString words;
    bool wordsExact = false;
};

// A keyword is one phrase: its words' trigrams and the markers between them. It is exact when the
// phrase pins down every character: each word at least a trigram long, no white space at either
// end, every space between words short enough for its marker to name it, and at most 32
// characters; otherwise the index's matches are candidates for the scan. Absent when no word is
// long enough to hold a trigram.
std::optional<IndexQuery> indexQuery(const QString &keyword);
