#pragma once
// Which hosts belong to this computer or its local network: loopback, link-local, private,
// shared (carrier-grade NAT), unspecified, multicast and reserved addresses, and the names only a
// local network answers. A copied link never reaches one of them unless the user asks. Pure
// functions; any thread.

#include <QString>

class QHostAddress;

namespace LocalNetwork {

// Whether the address is one of this computer's or its local network's, IPv4 inside IPv6
// (mapped, compatible, NAT64, 6to4) included.
bool isLocalAddress(const QHostAddress &address);

// Whether a URL's host (as QUrl::host() gives it) is a local address or a local name:
// localhost and its kin, single-label names, the local-only suffixes (.local, .lan,
// .internal, .home.arpa, ...). A host that looks like an address but is not a valid one counts
// as local, and so does an empty host.
bool isLocalHost(const QString &host);

} // namespace LocalNetwork
