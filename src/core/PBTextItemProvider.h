#pragma once
// A copied text, plain or rich. Any thread.

#include "core/PBTextualItemProvider.h"

#include <QTextDocumentFragment>

class PBTextItemProvider : public PBTextualItemProvider<PBTextItemProvider> {
public:
    using PBTextualItemProvider::PBTextualItemProvider;

    // The first rich representation (RTF, flat RTFD, HTML) as stored, else the text as UTF-8.
    QVariant accosicatedData() const { return ProviderSupport::richPayload(m_pasteboardData, m_representedText); }

    // The rich form for previews: the first rich representation read as a document, else the
    // plain text; nothing when the rich data can't be read.
    std::optional<QTextDocumentFragment> attributedString() const;
};
