#include "history/RichTitle.h"

#include "capture/TaviPBManager.h"
#include "core/PBProviderSupport.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace {

RichTitle::Style styleOf(const QTextCharFormat &format)
{
    RichTitle::Style style;
    style.bold = format.fontWeight() >= QFont::DemiBold;
    style.italic = format.fontItalic();
    style.underline = format.fontUnderline();
    style.strikeOut = format.fontStrikeOut();
    return style;
}

void append(QList<RichTitle::Run> &runs, int at, RichTitle::Style style)
{
    if (style.isPlain())
        return;
    if (!runs.isEmpty() && runs.last().style == style && runs.last().start + runs.last().length == at) {
        ++runs.last().length;
        return;
    }
    runs.append({at, 1, style});
}

// The head of a UTF-8 text may end inside a character: that character is left out.
QByteArray wholeUtf8Characters(const QByteArray &head)
{
    qsizetype end = head.size();
    qsizetype start = end;
    while (start > 0 && start > end - 4 && (uchar(head.at(start - 1)) & 0xC0) == 0x80)
        --start;
    if (start == 0)
        return head;
    const uchar lead = uchar(head.at(start - 1));
    const qsizetype needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return end - (start - 1) < needed ? head.left(start - 1) : head;
}

bool isBlank(QChar c) { return c.isSpace() || c == QChar::ParagraphSeparator || c == QChar::LineSeparator; }

} // namespace

std::optional<RichTitle> RichTitle::fromDocument(const QTextDocument &document)
{
    RichTitle title;
    bool started = false;
    for (QTextBlock block = document.begin(); block.isValid() && title.text.size() < kTextLength;
         block = block.next()) {
        if (started)
            title.text.append(QLatin1Char('\n'));
        for (auto it = block.begin(); !it.atEnd() && title.text.size() < kTextLength; ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const Style style = styleOf(fragment.charFormat());
            const QString text = fragment.text();
            for (qsizetype i = 0; i < text.size() && title.text.size() < kTextLength; ++i) {
                if (!started && isBlank(text.at(i)))
                    continue;
                started = true;
                append(title.runs, int(title.text.size()), style);
                title.text.append(text.at(i));
            }
        }
    }
    if (title.runs.isEmpty())
        return std::nullopt;
    return title;
}

std::optional<RichTitle> RichTitle::read(const QString &type, const QByteArray &head)
{
    const QByteArray data = type == PasteboardTypeName::kHtml ? wholeUtf8Characters(head) : head;
    const std::optional<QTextDocumentFragment> fragment = ProviderSupport::readRichText(type, data);
    if (!fragment)
        return std::nullopt;
    QTextDocument document;
    QTextCursor(&document).insertFragment(*fragment);
    return fromDocument(document);
}

QList<RichTitle::Run> RichTitle::runsFor(const QString &title) const
{
    // How far ahead a character of the title is looked for among those the title left out.
    constexpr qsizetype kLookAhead = 8;
    QList<Style> styles(title.size());
    qsizetype at = 0;
    qsizetype matched = 0;
    qsizetype counted = 0;
    const auto styleAt = [this](qsizetype position) {
        for (const Run &run : runs) {
            if (position >= run.start && position < run.start + run.length)
                return run.style;
        }
        return Style{};
    };
    for (qsizetype i = 0; i < title.size(); ++i) {
        const QChar c = title.at(i);
        if (isBlank(c)) {
            // Blanks may differ in kind and number: one of the text's is taken when it is there.
            if (at < text.size() && isBlank(text.at(at)))
                styles[i] = styleAt(at++);
            continue;
        }
        ++counted;
        while (at < text.size() && isBlank(text.at(at)))
            ++at;
        qsizetype found = -1;
        for (qsizetype j = at; j < std::min(text.size(), at + kLookAhead); ++j) {
            if (text.at(j) == c) {
                found = j;
                break;
            }
        }
        if (found < 0)
            continue;
        styles[i] = styleAt(found);
        at = found + 1;
        ++matched;
    }
    // A title of another text (the rich data says something else) stays plain.
    if (counted == 0 || matched * 10 < counted * 9)
        return {};
    QList<Run> result;
    for (qsizetype i = 0; i < styles.size(); ++i)
        append(result, int(i), styles.at(i));
    return result;
}

QHash<QUuid, RichTitle> RichTitle::load(TaviPBManager &manager, const QList<PBItem> &items)
{
    QVariantList uuids;
    for (const PBItem &item : items) {
        if (item.dataProvider() && item.dataProvider()->is<PBTextItemProvider>())
            uuids.append(item.uuid());
    }
    QHash<QUuid, RichTitle> titles;
    if (uuids.isEmpty())
        return titles;
    const auto records = manager.storage().fetch(Predicate::in(QStringLiteral("uuid"), uuids));
    for (const auto &record : records.value_or(QList<std::shared_ptr<PBItemRecord>>())) {
        const QList<std::shared_ptr<PBPasteboardDataRecord>> stored = record->pasteboards();
        // The first rich representation that can be read, in the order the copy-out prefers.
        for (const QString &type : PasteboardTypeName::kRichTypes) {
            const auto found = std::find_if(stored.cbegin(), stored.cend(),
                                            [&type](const auto &row) { return row && row->type() == type; });
            if (found == stored.cend())
                continue;
            const quint32 failures = (*found)->readFailureCount();
            const QByteArray head = (*found)->dataHead(kHeadBytes);
            if ((*found)->readFailureCount() != failures)
                break;
            if (auto title = read(type, head)) {
                titles.insert(record->uuid(), std::move(*title));
                break;
            }
        }
    }
    return titles;
}
