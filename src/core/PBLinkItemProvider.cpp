#include "core/PBLinkItemProvider.h"

#include "core/LocalNetwork.h"

#include <QUrl>

QVariant PBLinkItemProvider::accosicatedData() const
{
    const QUrl link(m_representedText, QUrl::StrictMode);
    // Nothing is asked of this computer or the local network just to decorate a row.
    if (!link.isValid() || link.host().isEmpty() || LocalNetwork::isLocalHost(link.host()))
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
