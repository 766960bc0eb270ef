#include "core/PBTextItemProvider.h"

std::optional<QTextDocumentFragment> PBTextItemProvider::attributedString() const
{
    const auto rich = ProviderSupport::firstRichRepresentation(m_pasteboardData);
    if (!rich)
        return QTextDocumentFragment::fromPlainText(m_representedText);
    return ProviderSupport::readRichText(rich->first, rich->second);
}
