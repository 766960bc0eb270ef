#pragma once
// Reading copied HTML into rich and plain text without ever loading what the HTML names
// (images, style sheets, local files). Any thread.

#include <QByteArray>
#include <QString>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <optional>

// A text document that refuses every external resource; use it for any HTML that came from the
// pasteboard (QTextDocument would otherwise read local files named in <img src>).
class SafeTextDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};

// Elements nested deeper than this, and list items after this many in one list, are left out
// of what the text document reads (their text stays): the document takes time in proportion to
// the depth of every element and to the length of the list of every item.
inline constexpr qsizetype kMaxHtmlNesting = 100;
inline constexpr qsizetype kMaxHtmlListItems = 500;
// The HTML with the tags of those elements left out (a block's start becomes a line break);
// everything else as it was. Linear in the HTML's length.
QString htmlWithBoundedNesting(QStringView html);

// The HTML (UTF-8) as rich text, trimmed of leading and trailing white space; an all-blank text
// is kept untrimmed. Nothing for empty data.
std::optional<QTextDocumentFragment> htmlAttributedString(const QByteArray &html);
// The plain characters of htmlAttributedString(); empty when it gives nothing.
QString htmlString(const QByteArray &html);
