#pragma once
// A copied text, plain or rich. Any thread.

#include "core/PBProviderSupport.h"

#include <QTextDocumentFragment>
#include <QVariant>

class PBTextItemProvider {
public:
    explicit PBTextItemProvider(QString representedText = {}, PasteboardDataMap pasteboardData = {})
        : m_pasteboardData(std::move(pasteboardData)), m_representedText(std::move(representedText)) {}

    const QString &representedText() const { return m_representedText; }
    void setRepresentedText(const QString &text) { m_representedText = text; }
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    // The first rich representation (RTF, flat RTFD, HTML) as stored, else the text as UTF-8.
    QVariant accosicatedData() const;
    // The stored text as UTF-8 gives a provider without pasteboard data.
    static std::optional<PBTextItemProvider> restore(const std::optional<QByteArray> &data);
    // Case-insensitive containment of any keyword in the text.
    bool matches(const QStringList &keywords) const;

    // The rich form for previews: the first rich representation read as a document, else the
    // plain text; nothing when the rich data can't be read.
    std::optional<QTextDocumentFragment> attributedString() const;

private:
    PasteboardDataMap m_pasteboardData;
    QString m_representedText;
};
