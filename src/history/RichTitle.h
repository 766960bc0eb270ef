#pragma once
// The formatting of a rich text's title: the bold, italic, underlined and struck-out runs of the
// start of its text, read from the start of the copy's stored RTF or HTML (never what the HTML
// names), and laid onto the title a row shows. Sizes, fonts and colours are left out: a row keeps
// the list's own. Any thread.

#include "core/PBItem.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

class QTextDocument;
class TaviPBManager;

struct RichTitle {
    struct Style {
        bool bold = false;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
        bool isPlain() const { return !bold && !italic && !underline && !strikeOut; }
        bool operator==(const Style &) const = default;
    };
    // A styled stretch of a text (UTF-16 positions); plain stretches have none.
    struct Run {
        int start = 0;
        int length = 0;
        Style style;
        bool operator==(const Run &) const = default;
    };

    // How much of a stored representation is read, and of its text kept.
    static constexpr qsizetype kHeadBytes = 64 * 1024;
    static constexpr int kTextLength = 256;

    // The start of the rich text, blanks at its start left out, and its styled runs.
    QString text;
    QList<Run> runs;

    // Nothing when the data can't be read or its start has no formatting.
    static std::optional<RichTitle> read(const QString &type, const QByteArray &head);
    static std::optional<RichTitle> fromDocument(const QTextDocument &document);
    // The runs of a title made from the same text (blanks changed, characters left out or added,
    // as titles are): each character takes the style of the one it stands for. None when the
    // two texts do not agree.
    QList<Run> runsFor(const QString &title) const;

    // The rich titles of the text items among these, by item, read from the store; those without
    // formatting are left out. Not on the GUI thread: it reads the store.
    static QHash<QUuid, RichTitle> load(TaviPBManager &manager, const QList<PBItem> &items);
};

Q_DECLARE_METATYPE(RichTitle)
