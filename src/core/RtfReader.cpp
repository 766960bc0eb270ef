#include "core/RtfReader.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace {
// Windows-1252 code points of bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QChar fromCp1252(uchar byte) { return byte >= 0x80 && byte < 0xA0 ? QChar(kCp1252High[byte - 0x80]) : QChar(byte); }

const QSet<QByteArray> &skippedDestinations()
{
    static const QSet<QByteArray> names = {"fonttbl",
                                           "colortbl",
                                           "stylesheet",
                                           "info",
                                           "pict",
                                           "object",
                                           "header",
                                           "headerl",
                                           "headerr",
                                           "headerf",
                                           "footer",
                                           "footerl",
                                           "footerr",
                                           "footerf",
                                           "footnote",
                                           "fldinst",
                                           "themedata",
                                           "colorschememapping",
                                           "latentstyles",
                                           "datastore",
                                           "xmlnstbl",
                                           "listtable",
                                           "listoverridetable",
                                           "rsidtbl",
                                           "generator",
                                           "pgdsctbl",
                                           "filetbl",
                                           "revtbl",
                                           "operator",
                                           "author",
                                           "title"};
    return names;
}

struct State {
    bool skip = false;
    bool fontTable = false;
    int font = -1; // -1: the document's default font
    int unicodeSkip = 1;
    QTextCharFormat format;
};

// The Windows code page of a font's character set; 0 for the document's own (ANSI, default,
// symbol and unknown sets).
int charsetCodePage(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;
    }
}

class Reader {
public:
    explicit Reader(const QByteArray &rtf) : m_in(rtf), m_cursor(&m_document) {}

    QTextDocumentFragment run()
    {
        std::vector<State> stack{State{}};
        int pendingFallback = 0; // characters that stand in for the last \u character
        qsizetype i = 0;
        const qsizetype n = m_in.size();
        while (i < n) {
            const char c = m_in[i];
            if (c == '{') {
                flush(stack.back());
                stack.push_back(stack.back());
                ++i;
            } else if (c == '}') {
                flush(stack.back());
                if (stack.size() > 1)
                    stack.pop_back();
                ++i;
            } else if (c == '\\') {
                ++i;
                if (i >= n)
                    break;
                const char next = m_in[i];
                if (std::isalpha(uchar(next))) {
                    qsizetype start = i;
                    while (i < n && std::isalpha(uchar(m_in[i])))
                        ++i;
                    const QByteArray word = m_in.mid(start, i - start);
                    bool hasParam = false;
                    int param = 0;
                    if (i < n && (m_in[i] == '-' || std::isdigit(uchar(m_in[i])))) {
                        start = i++;
                        while (i < n && std::isdigit(uchar(m_in[i])) && i - start < 11)
                            ++i;
                        param = m_in.mid(start, i - start).toInt();
                        hasParam = true;
                    }
                    if (i < n && m_in[i] == ' ')
                        ++i;
                    if (word == "bin" && hasParam) {
                        i = std::min(n, i + qsizetype(std::max(0, param))); // raw bytes, never text or braces
                        continue;
                    }
                    if (pendingFallback > 0 && word != "u") {
                        --pendingFallback; // a control word counts as one fallback character
                        continue;
                    }
                    controlWord(stack.back(), word, hasParam, param, pendingFallback);
                } else if (next == '\'') {
                    const QByteArray hex = m_in.mid(i + 1, 2);
                    i += 3;
                    bool ok = false;
                    const uint byte = hex.toUInt(&ok, 16);
                    if (pendingFallback > 0) {
                        --pendingFallback;
                    } else if (ok && !stack.back().skip) {
                        addByte(stack.back(), char(byte));
                    }
                } else {
                    ++i;
                    if (next == '*')
                        stack.back().skip = true;
                    else if (stack.back().skip)
                        continue;
                    else if (next == '~')
                        append(QChar(0x00A0));
                    else if (next == '_')
                        append(QChar(0x2011));
                    else if (next == '\\' || next == '{' || next == '}')
                        append(QLatin1Char(next));
                    else if (next == '\n' || next == '\r')
                        append(QLatin1Char('\n'));
                }
            } else {
                ++i;
                if (c == '\r' || c == '\n')
                    continue;
                if (pendingFallback > 0) {
                    --pendingFallback;
                    continue;
                }
                if (stack.back().skip)
                    continue;
                if (uchar(c) >= 0x80)
                    addByte(stack.back(), c);
                else
                    append(QLatin1Char(c));
            }
        }
        flush(stack.back());
        return QTextDocumentFragment(&m_document);
    }

private:
    void controlWord(State &state, const QByteArray &word, bool hasParam, int param, int &pendingFallback)
    {
        if (skippedDestinations().contains(word)) {
            flush(state);
            state.skip = true;
            state.fontTable = word == "fonttbl";
            return;
        }
        if (state.fontTable) { // entries "\fN ... \fcharsetM Name;"
            if (word == "f" && hasParam)
                m_definingFont = param;
            else if (word == "fcharset" && hasParam)
                m_fontCodePages.insert(m_definingFont, charsetCodePage(param));
            return;
        }
        if (word == "uc") {
            state.unicodeSkip = qMax(0, param);
            return;
        }
        if (word == "ansicpg") {
            m_documentCodePage = param > 0 ? param : 1252;
            return;
        }
        if (word == "deff" && hasParam) {
            m_defaultFont = param;
            return;
        }
        if (state.skip)
            return;
        if (word == "f" && hasParam) {
            state.font = param;
        } else if (word == "u") {
            append(QChar(char16_t(param < 0 ? param + 65536 : param)));
            pendingFallback = state.unicodeSkip;
        } else if (word == "par" || word == "line" || word == "sect" || word == "row") {
            append(QLatin1Char('\n'));
        } else if (word == "tab" || word == "cell") {
            append(QLatin1Char('\t'));
        } else if (word == "emdash") {
            append(QChar(0x2014));
        } else if (word == "endash") {
            append(QChar(0x2013));
        } else if (word == "bullet") {
            append(QChar(0x2022));
        } else if (word == "lquote") {
            append(QChar(0x2018));
        } else if (word == "rquote") {
            append(QChar(0x2019));
        } else if (word == "ldblquote") {
            append(QChar(0x201C));
        } else if (word == "rdblquote") {
            append(QChar(0x201D));
        } else if (word == "b" || word == "i" || word == "ul" || word == "ulnone" || word == "plain") {
            flush(state);
            const bool on = !hasParam || param != 0;
            if (word == "b")
                state.format.setFontWeight(on ? QFont::Bold : QFont::Normal);
            else if (word == "i")
                state.format.setFontItalic(on);
            else if (word == "ul")
                state.format.setFontUnderline(on);
            else if (word == "ulnone")
                state.format.setFontUnderline(false);
            else
                state.format = QTextCharFormat();
        }
    }

    // Bytes are read in the code page of the current font's character set, else the document's;
    // several make one character in the East Asian code pages, so a run is decoded at once.
    int codePageOf(const State &state) const
    {
        const int codePage = m_fontCodePages.value(state.font >= 0 ? state.font : m_defaultFont, 0);
        return codePage > 0 ? codePage : m_documentCodePage;
    }

    void addByte(const State &state, char byte)
    {
        const int codePage = codePageOf(state);
        if (!m_bytes.isEmpty() && codePage != m_bytesCodePage)
            flushBytes();
        m_bytesCodePage = codePage;
        m_bytes.append(byte);
    }

    // Null for Western (the built-in table) and for code pages this system cannot read.
    QStringDecoder *decoder(int codePage)
    {
        if (codePage == 1252)
            return nullptr;
        auto found = m_decoders.find(codePage);
        if (found == m_decoders.end()) {
            auto made = std::make_unique<QStringDecoder>(
                QByteArray("windows-" + QByteArray::number(codePage)).constData(), QStringConverter::Flag::Stateless);
            found = m_decoders.emplace(codePage, made->isValid() ? std::move(made) : nullptr).first;
        }
        return found->second.get();
    }

    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        if (QStringDecoder *codePage = decoder(m_bytesCodePage)) {
            m_text += codePage->decode(m_bytes);
        } else {
            for (const char byte : std::as_const(m_bytes))
                m_text.append(fromCp1252(uchar(byte)));
        }
        m_bytes.clear();
    }

    template <typename Text>
    void append(const Text &text)
    {
        flushBytes();
        m_text.append(text);
    }

    void flush(const State &state)
    {
        flushBytes();
        if (m_text.isEmpty())
            return;
        m_cursor.insertText(m_text, state.format);
        m_text.clear();
    }

    const QByteArray &m_in;
    QTextDocument m_document;
    QTextCursor m_cursor;
    QString m_text;
    QByteArray m_bytes;
    int m_bytesCodePage = 1252;
    int m_documentCodePage = 1252;
    int m_defaultFont = -1;
    int m_definingFont = -1;
    QHash<int, int> m_fontCodePages;
    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;
};
} // namespace

namespace RtfReader {
std::optional<QTextDocumentFragment> read(const QByteArray &rtf)
{
    if (!rtf.trimmed().startsWith("{\\rtf"))
        return std::nullopt;
    return Reader(rtf).run();
}
} // namespace RtfReader
