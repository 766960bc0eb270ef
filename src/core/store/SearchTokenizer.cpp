#include "core/store/SearchTokenizer.h"

#include <sqlite3.h>

#include <QChar>

#include <cstring>

namespace {
// Between two words: this byte, then the white space between them when it is short, so that a
// phrase across words holds exactly that space. No trigram holds white space or is one byte long,
// so a marker never meets a trigram.
constexpr char kMarker = '\x01';

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The character starting at `at` (of `length` bytes); a malformed sequence reads as U+FFFD.
char32_t decode(const unsigned char *text, int at, int length)
{
    const unsigned char lead = text[at];
    if (lead < 0x80)
        return lead;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0)
        return 0xFFFD;
    char32_t value = lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if (at + i >= length || !isContinuation(text[at + i]))
            return 0xFFFD;
        value = (value << 6) | (text[at + i] & 0x3F);
    }
    return value;
}

int createTokenizer(void *, const char **, int, Fts5Tokenizer **tokenizer)
{
    // Stateless: any non-null handle will do.
    static int instance = 0;
    *tokenizer = reinterpret_cast<Fts5Tokenizer *>(&instance);
    return SQLITE_OK;
}

void deleteTokenizer(Fts5Tokenizer *) {}

using TokenCallback = int (*)(void *, int, const char *, int, int, int);

int tokenize(Fts5Tokenizer *, void *context, int, const char *input, int length, TokenCallback token)
{
    const auto *text = reinterpret_cast<const unsigned char *>(input);
    // Byte offsets of the last three characters of the current word.
    int starts[3] = {0, 0, 0};
    int inWord = 0; // characters of the current word seen so far
    bool wordsBefore = false;
    int spaceFrom = 0; // where the white space before the current word starts
    int at = 0;
    while (at < length) {
        int next = at + 1;
        while (next < length && isContinuation(text[next]))
            ++next;
        if (SearchTokenizer::isSeparator(decode(text, at, length))) {
            if (inWord > 0 || at == 0)
                spaceFrom = at;
            inWord = 0;
        } else {
            if (inWord == 0 && wordsBefore) {
                char marker[1 + SearchTokenizer::kLongestSpace];
                marker[0] = kMarker;
                const int space = at - spaceFrom;
                const int size = space <= SearchTokenizer::kLongestSpace ? 1 + space : 1;
                std::memcpy(marker + 1, input + spaceFrom, size_t(size - 1));
                if (const int rc = token(context, 0, marker, size, spaceFrom, at); rc != SQLITE_OK)
                    return rc;
            }
            wordsBefore = true;
            starts[0] = starts[1];
            starts[1] = starts[2];
            starts[2] = at;
            if (++inWord >= 3) {
                if (const int rc = token(context, 0, input + starts[0], next - starts[0], starts[0], next);
                    rc != SQLITE_OK)
                    return rc;
            }
        }
        at = next;
    }
    return SQLITE_OK;
}

fts5_api *fts5(sqlite3 *database)
{
    fts5_api *api = nullptr;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(database, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, static_cast<void *>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return api;
}
} // namespace

namespace SearchTokenizer {

bool registerWith(sqlite3 *database)
{
    fts5_api *api = fts5(database);
    if (!api)
        return false;
    static fts5_tokenizer tokenizer{&createTokenizer, &deleteTokenizer, &tokenize};
    return api->xCreateTokenizer(api, kName, nullptr, &tokenizer, nullptr) == SQLITE_OK;
}

bool isSeparator(char32_t character) { return QChar::isSpace(character); }

QList<QString> words(const QString &folded)
{
    QList<QString> result;
    QString word;
    for (const char32_t character : folded.toUcs4()) {
        if (isSeparator(character)) {
            if (!word.isEmpty())
                result.append(word);
            word.clear();
        } else {
            word += QString::fromUcs4(&character, 1);
        }
    }
    if (!word.isEmpty())
        result.append(word);
    return result;
}

} // namespace SearchTokenizer
