#include "core/LocalNetwork.h"

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace {

const QList<QPair<QHostAddress, int>> &localRanges()
{
    static const QList<QPair<QHostAddress, int>> ranges = [] {
        QList<QPair<QHostAddress, int>> parsed;
        for (const char *range :
             {"0.0.0.0/8", "10.0.0.0/8", "100.64.0.0/10", "127.0.0.0/8", "169.254.0.0/16", "172.16.0.0/12",
              "192.0.0.0/24", "192.168.0.0/16", "198.18.0.0/15", "224.0.0.0/3", // multicast, reserved, broadcast
              "::/128", "::1/128", "fc00::/7", "fe80::/10", "fec0::/10", "ff00::/8"})
            parsed.append(QHostAddress::parseSubnet(QString::fromLatin1(range)));
        return parsed;
    }();
    return ranges;
}

// The IPv4 address an IPv6 address carries and routes to, if any.
std::optional<quint32> embeddedIPv4(const QHostAddress &address)
{
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    const auto word = [&bytes](int at) {
        return quint32(bytes[at]) << 24 | quint32(bytes[at + 1]) << 16 | quint32(bytes[at + 2]) << 8 | bytes[at + 3];
    };
    const auto zeroes = [&bytes](int from, int to) {
        for (int i = from; i < to; ++i) {
            if (bytes[i] != 0)
                return false;
        }
        return true;
    };
    if (zeroes(0, 10) && ((bytes[10] == 0xff && bytes[11] == 0xff) || (bytes[10] == 0 && bytes[11] == 0)))
        return word(12); // mapped ::ffff:a.b.c.d, compatible ::a.b.c.d
    if (bytes[0] == 0x00 && bytes[1] == 0x64 && bytes[2] == 0xff && bytes[3] == 0x9b && zeroes(4, 12))
        return word(12); // NAT64 64:ff9b::a.b.c.d
    if (bytes[0] == 0x20 && bytes[1] == 0x02)
        return word(2); // 6to4 2002:AABB:CCDD::
    return std::nullopt;
}

bool isLocalName(const QString &name)
{
    static const QStringList exact = {QStringLiteral("localhost"),     QStringLiteral("localhost.localdomain"),
                                      QStringLiteral("localhost6"),    QStringLiteral("localhost6.localdomain6"),
                                      QStringLiteral("ip6-localhost"), QStringLiteral("ip6-loopback")};
    static const QStringList suffixes = {
        QStringLiteral(".localhost"), QStringLiteral(".local"),     QStringLiteral(".localdomain"),
        QStringLiteral(".internal"),  QStringLiteral(".home.arpa"), QStringLiteral(".lan"),
        QStringLiteral(".home"),      QStringLiteral(".corp"),      QStringLiteral(".intranet")};
    if (exact.contains(name))
        return true;
    for (const QString &suffix : suffixes) {
        if (name.endsWith(suffix))
            return true;
    }
    // A name of one label is found through the local resolver's search domains or hosts file.
    return !name.contains(QLatin1Char('.'));
}

} // namespace

namespace LocalNetwork {

bool isLocalAddress(const QHostAddress &address)
{
    if (address.isNull())
        return true;
    // :: and ::1 read as the compatible 0.0.0.0 and 0.0.0.1, which are local too.
    if (const std::optional<quint32> inner = embeddedIPv4(address))
        return isLocalAddress(QHostAddress(*inner));
    for (const auto &range : localRanges()) {
        if (address.isInSubnet(range))
            return true;
    }
    return false;
}

bool isLocalHost(const QString &host)
{
    QString name = host.toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.isEmpty())
        return true;
    if (name.contains(QLatin1Char(':'))) {
        const QHostAddress address(name);
        return address.isNull() || isLocalAddress(address);
    }
    // Browsers read every spelling of an IPv4 address (127.1, 0x7f.0.0.1, 2130706433, a trailing
    // dot): QUrl writes those as dotted quads, and a host that ends in a number is an address.
    QUrl canonical;
    canonical.setHost(name);
    const QString spelled = canonical.host();
    static const QRegularExpression dottedQuad(
        QRegularExpression::anchoredPattern(QStringLiteral("\\d{1,3}(\\.\\d{1,3}){3}")));
    if (dottedQuad.match(spelled).hasMatch()) {
        const QHostAddress address(spelled);
        return address.isNull() || isLocalAddress(address);
    }
    static const QRegularExpression numericLabel(QStringLiteral("(^|\\.)(\\d+|0x[0-9a-f]*)$"));
    if (spelled.isEmpty() || numericLabel.match(spelled).hasMatch())
        return true;
    return isLocalName(spelled);
}

} // namespace LocalNetwork
