#include "history/LinkAddressGuard.h"

#include "core/LocalNetwork.h"

#include <QHostAddress>
#include <QHostInfo>

namespace {
constexpr int kKnownHosts = 1000;

// A page's sockets belong to its origin: ws goes with http, wss with https.
QString originOf(const QUrl &url)
{
    const bool secure = url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("wss");
    return (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + url.host() + QLatin1Char(':')
           + QString::number(url.port(secure ? 443 : 80));
}

bool isNetworkScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ws")
           || scheme == QLatin1String("wss");
}
} // namespace

LinkAddressGuard::LinkAddressGuard(QObject *parent) : QObject(parent) {}

void LinkAddressGuard::allowOrigin(const QUrl &url) { m_allowedOrigins.insert(originOf(url)); }

bool LinkAddressGuard::isAllowedOrigin(const QUrl &url) const { return m_allowedOrigins.contains(originOf(url)); }

LinkAddressGuard::Verdict LinkAddressGuard::verdict(const QUrl &url, RequestKind kind) const
{
    const QString scheme = url.scheme();
    if (!isNetworkScheme(scheme)) {
        // What a page makes itself (inline data, its own blobs, a blank frame) touches no network.
        const bool inPage =
            scheme == QLatin1String("data") || scheme == QLatin1String("blob") || scheme == QLatin1String("about");
        return inPage ? Verdict::allow : Verdict::block;
    }
    if (isAllowedOrigin(url))
        return Verdict::allow;
    const QString host = url.host();
    if (LocalNetwork::isLocalHost(host))
        return Verdict::block;
    if (!QHostAddress(host).isNull())
        return Verdict::allow; // an address outside, spelled out
    switch (reach(host)) {
    case Reach::local: return Verdict::block;
    case Reach::outside: return Verdict::allow;
    case Reach::unknown:
    case Reach::unresolved: break;
    }
    // A page or frame is a request of its own the engine's private-network check does not cover;
    // what a public page loads is refused by that check where its name leads to a local address.
    return kind == RequestKind::resource ? Verdict::allow : Verdict::lookUpFirst;
}

LinkAddressGuard::Reach LinkAddressGuard::reach(const QString &host) const
{
    if (LocalNetwork::isLocalHost(host))
        return Reach::local;
    return m_known.value(host.toLower(), Reach::unknown);
}

void LinkAddressGuard::lookUp(const QString &host, QObject *context, std::function<void(Reach)> done)
{
    const QString name = host.toLower();
    if (const Reach known = reach(name); known == Reach::local || known == Reach::outside) {
        done(known);
        return;
    }
    const bool asked = m_waiting.contains(name);
    m_waiting[name].append({context, std::move(done)});
    if (asked)
        return;
    QHostInfo::lookupHost(name, this, [this, name](const QHostInfo &info) { answered(name, info); });
}

void LinkAddressGuard::answered(const QString &host, const QHostInfo &info)
{
    Reach found = Reach::unresolved;
    if (info.error() == QHostInfo::NoError && !info.addresses().isEmpty()) {
        found = Reach::outside;
        for (const QHostAddress &address : info.addresses()) {
            if (LocalNetwork::isLocalAddress(address))
                found = Reach::local;
        }
    }
    if (found != Reach::unresolved) {
        if (m_known.size() >= kKnownHosts)
            m_known.clear();
        m_known.insert(host, found);
    }
    const QList<Waiter> waiters = m_waiting.take(host);
    for (const Waiter &waiter : waiters) {
        if (waiter.context)
            waiter.done(found);
    }
}
