#pragma once
// A copied e-mail address. Any thread.

#include "core/PBTextualItemProvider.h"

class PBEmailItemProvider : public PBTextualItemProvider<PBEmailItemProvider> {
public:
    using PBTextualItemProvider::PBTextualItemProvider;

    // The first rich representation (RTF, flat RTFD, HTML) as stored, else the text as UTF-8.
    QVariant accosicatedData() const { return ProviderSupport::richPayload(m_pasteboardData, m_representedText); }
};
