#include "core/HtmlReading.h"

#include "platform/Log.h"

#include <QTextCursor>

QVariant SafeTextDocument::loadResource(int type, const QUrl &name)
{
    Q_UNUSED(type);
    Q_UNUSED(name);
    return {};
}

std::optional<QTextDocumentFragment> htmlAttributedString(const QByteArray &html)
{
    if (html.isEmpty()) {
        LOG_DEBUG("htmlAttributedString(_:)", QStringLiteral("No HTML data"));
        return std::nullopt;
    }
    SafeTextDocument document;
    document.setHtml(QString::fromUtf8(html));

    // The last character of a document is its final paragraph separator, never part of the text.
    const int end = document.characterCount() - 1;
    int first = 0;
    while (first < end && document.characterAt(first).isSpace())
        ++first;
    int last = end - 1;
    while (last >= first && document.characterAt(last).isSpace())
        --last;
    if (first >= end || last < first)
        return QTextDocumentFragment(&document);

    QTextCursor cursor(&document);
    cursor.setPosition(first);
    cursor.setPosition(last + 1, QTextCursor::KeepAnchor);
    return cursor.selection();
}

QString htmlString(const QByteArray &html)
{
    const auto fragment = htmlAttributedString(html);
    return fragment ? fragment->toPlainText() : QString();
}
