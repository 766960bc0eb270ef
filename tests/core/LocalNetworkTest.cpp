#include "core/LocalNetwork.h"

#include <QHostAddress>
#include <QUrl>

#include <gtest/gtest.h>

namespace {
// The host as a copied link's parsed URL carries it.
bool linkIsLocal(const char *link)
{
    return LocalNetwork::isLocalHost(QUrl(QString::fromUtf8(link), QUrl::StrictMode).host());
}
} // namespace

TEST(LocalNetwork, EveryLocalRangeIsLocalAndItsNeighboursAreNot)
{
    for (const char *address : {"0.0.0.0",
                                "0.1.2.3",
                                "10.0.0.1",
                                "10.255.255.255",
                                "100.64.0.1",
                                "100.127.255.254",
                                "127.0.0.1",
                                "127.255.0.9",
                                "169.254.169.254",
                                "172.16.0.1",
                                "172.31.255.255",
                                "192.0.0.8",
                                "192.168.1.1",
                                "198.18.0.1",
                                "224.0.0.251",
                                "239.255.255.250",
                                "255.255.255.255",
                                "::",
                                "::1",
                                "fc00::1",
                                "fd12:3456::1",
                                "fe80::1",
                                "febf::1",
                                "fec0::1",
                                "ff02::1",
                                "::ffff:127.0.0.1",
                                "::ffff:192.168.0.1",
                                "::127.0.0.1",
                                "64:ff9b::10.0.0.1",
                                "2002:c0a8:0101::1"})
        EXPECT_TRUE(LocalNetwork::isLocalAddress(QHostAddress(QString::fromLatin1(address)))) << address;
    for (const char *address :
         {"1.1.1.1",         "9.255.255.255",  "11.0.0.1",         "100.63.255.255",    "100.128.0.1",
          "126.255.255.255", "128.0.0.1",      "169.253.1.1",      "172.15.255.255",    "172.32.0.1",
          "192.167.1.1",     "192.169.0.1",    "93.184.216.34",    "223.255.255.254",   "2606:4700::1111",
          "2001:db8::1",     "::ffff:8.8.8.8", "64:ff9b::8.8.8.8", "2002:0808:0808::1", "fbff::1",
          "fe7f::1"})
        EXPECT_FALSE(LocalNetwork::isLocalAddress(QHostAddress(QString::fromLatin1(address)))) << address;
}

TEST(LocalNetwork, EverySpellingOfALocalAddressInALinkIsLocal)
{
    // The ways a browser reads an address: short, octal, hexadecimal, one number, full-width
    // digits, a trailing dot, IPv4 inside IPv6, upper case.
    for (const char *link :
         {"http://127.0.0.1:8080/", "http://127.1/", "http://0177.0.0.1/", "http://0x7f.0.0.1/", "http://2130706433/",
          "http://0/", "http://3232235777/reboot", "http://\xef\xbc\x91\xef\xbc\x92\xef\xbc\x97.0.0.1/",
          "http://192.168.1.1./", "http://[::1]/", "http://[0:0:0:0:0:0:0:1]/", "http://[::ffff:7f00:1]/",
          "http://[::ffff:10.0.0.1]/", "http://[FE80::1]/", "https://169.254.169.254/latest/meta-data/"})
        EXPECT_TRUE(linkIsLocal(link)) << link;
    EXPECT_FALSE(linkIsLocal("http://93.184.216.34/"));
    EXPECT_FALSE(linkIsLocal("http://[2606:4700::1111]/"));
}

TEST(LocalNetwork, LocalNamesAreLocalAndPublicOnesAreNot)
{
    for (const char *host :
         {"localhost", "LocalHost.", "app.localhost", "localhost.localdomain", "ip6-localhost", "ip6-loopback",
          "router", "nas.local", "printer.lan", "db.internal", "hub.home.arpa", "fritz.home", "wiki.corp",
          "portal.intranet", "box.localdomain", "", ".", "foo.0x10", "1.2.3.4.5"})
        EXPECT_TRUE(LocalNetwork::isLocalHost(QString::fromLatin1(host))) << host;
    for (const char *host : {"example.com", "www.example.com.", "localhost.example.com", "local.example.org",
                             "lan.example.net", "127.0.0.1.example.com", "my-home.org", "xn--bcher-kva.example"})
        EXPECT_FALSE(LocalNetwork::isLocalHost(QString::fromLatin1(host))) << host;
}
