#include "core/PBLinkItemProvider.h"

#include <QUrl>

QVariant PBLinkItemProvider::accosicatedData() const
{
    const QUrl link(m_representedText, QUrl::StrictMode);
    if (!link.isValid() || link.host().isEmpty())
        return {};
    // Built from parts, not text, so an IPv6 host keeps its brackets.
    QUrl favicon;
    favicon.setScheme(QStringLiteral("https"));
    favicon.setHost(link.host());
    favicon.setPath(QStringLiteral("/favicon.ico"));
    if (!favicon.isValid())
        return {};
    return favicon;
}

std::optional<PBLinkItemProvider> PBLinkItemProvider::restore(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    if (auto text = ProviderSupport::decodeUtf8(*data))
        return PBLinkItemProvider(*text);
    return std::nullopt;
}

bool PBLinkItemProvider::matches(const QStringList &keywords) const
{
    return ProviderSupport::containsAnyKeyword(m_representedText, keywords, Qt::CaseInsensitive);
}
