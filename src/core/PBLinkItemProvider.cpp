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
