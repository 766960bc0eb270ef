#include "history/NoteCounter.h"

#include <QElapsedTimer>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>

#include <algorithm>

namespace {

// Counts of one stretch of text without block separators: line breaks inside it, characters and
// words.
struct Part {
    qsizetype breaks = 0;
    qsizetype characters = 0;
    qsizetype words = 0;
};

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator
           || c == QChar::ParagraphSeparator || c == QChar(0x0B) || c == QChar(0x0C) || c == QChar(0x85);
}

Part countPart(const QString &text)
{
    Part part;
    bool inWord = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool lineBreak = isLineBreak(c);
        // A CR LF pair is one line break.
        if (lineBreak && !(c == QLatin1Char('\n') && i > 0 && text.at(i - 1) == QLatin1Char('\r')))
            ++part.breaks;
        if (lineBreak || c.isSpace()) {
            inWord = false;
        } else if (!inWord) {
            inWord = true;
            ++part.words;
        }
    }
    if (!text.isEmpty()) {
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
        while (graphemes.toNextBoundary() != -1)
            ++part.characters;
    }
    return part;
}

constexpr qint64 kSliceBudgetMs = 4;

} // namespace

struct NoteCounter::Totals {
    qsizetype blocks = 0; // blocks counted
    Part sum;
};

namespace {

// A block's own counts: they enter the totals with the block and leave with it (the document
// deletes a block's data when the block goes or is recounted).
class BlockCounts : public QTextBlockUserData {
public:
    BlockCounts(std::shared_ptr<NoteCounter::Totals> totals, const Part &part)
        : m_totals(std::move(totals)),
          m_part(part)
    {
        m_totals->blocks += 1;
        m_totals->sum.breaks += m_part.breaks;
        m_totals->sum.characters += m_part.characters;
        m_totals->sum.words += m_part.words;
    }
    ~BlockCounts() override
    {
        m_totals->blocks -= 1;
        m_totals->sum.breaks -= m_part.breaks;
        m_totals->sum.characters -= m_part.characters;
        m_totals->sum.words -= m_part.words;
    }

private:
    std::shared_ptr<NoteCounter::Totals> m_totals;
    Part m_part;
};

} // namespace

NoteCounter::NoteCounter(QTextDocument &document, QObject *parent)
    : QObject(parent),
      m_document(document),
      m_totals(std::make_shared<Totals>())
{
    m_slices.setSingleShot(true);
    m_slices.setInterval(0);
    connect(&m_slices, &QTimer::timeout, this, &NoteCounter::countSlice);
    // A document tells of changes only once it has a layout (a text view's always has one).
    m_document.documentLayout();
    connect(&m_document, &QTextDocument::contentsChange, this, &NoteCounter::contentsChange);
    m_slices.start();
}

NoteCounter::~NoteCounter() = default;

NoteCounts NoteCounter::count(const QString &text)
{
    if (text.isEmpty())
        return {};
    const Part part = countPart(text);
    return {1 + part.breaks, part.characters, part.words};
}

bool NoteCounter::isCounting() const { return m_totals->blocks != m_document.blockCount(); }

NoteCounts NoteCounter::counts() const
{
    // The only block empty: no text at all.
    if (m_document.characterCount() <= 1)
        return {};
    // Blocks are lines: each separator between two is a line break and one character.
    const qsizetype blocks = m_document.blockCount();
    return {blocks + m_totals->sum.breaks, m_totals->sum.characters + blocks - 1, m_totals->sum.words};
}

void NoteCounter::contentsChange(int position, int, int added)
{
    const QTextBlock first = m_document.findBlock(position);
    QTextBlock last = m_document.findBlock(position + added);
    if (!last.isValid())
        last = m_document.lastBlock();
    if (!first.isValid())
        return;
    const qsizetype span = qsizetype(last.position()) + last.length() - first.position();
    const bool atOnce = span <= kCountAtOnceUpTo;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        // A line too long to count now loses its old counts and waits for a slice.
        block.setUserData(atOnce ? new BlockCounts(m_totals, countPart(block.text())) : nullptr);
        if (block == last)
            break;
    }
    if (isCounting()) {
        m_resumeFrom = std::min(m_resumeFrom, first.blockNumber());
        m_slices.start();
        return;
    }
    Q_EMIT countsChanged(counts());
}

void NoteCounter::countSlice()
{
    QElapsedTimer clock;
    clock.start();
    QTextBlock block = m_document.findBlockByNumber(std::clamp(m_resumeFrom, 0, m_document.blockCount() - 1));
    // Edits meanwhile may have left uncounted lines before the place to resume: at the end, one
    // more pass from the start finds them.
    bool fromStart = block.blockNumber() == 0;
    bool exhausted = false;
    while (isCounting()) {
        if (!block.isValid()) {
            if (fromStart) {
                exhausted = true;
                break;
            }
            fromStart = true;
            block = m_document.firstBlock();
            continue;
        }
        if (!block.userData())
            block.setUserData(new BlockCounts(m_totals, countPart(block.text())));
        block = block.next();
        if (clock.elapsed() >= kSliceBudgetMs)
            break;
    }
    if (isCounting() && !exhausted) {
        m_resumeFrom = block.isValid() ? block.blockNumber() : 0;
        m_slices.start();
        return;
    }
    m_resumeFrom = m_document.blockCount();
    Q_EMIT countsChanged(counts());
}
