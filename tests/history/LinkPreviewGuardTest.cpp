// What the link preview may ask of the network, and where its web engine may start.

#include "history/LinkAddressGuard.h"
#include "history/LinkPreviewEngine.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {
using Verdict = LinkAddressGuard::Verdict;
using Kind = LinkAddressGuard::RequestKind;
using Obstacle = LinkPreviewEngine::Obstacle;

QUrl url(const char *text) { return QUrl(QString::fromLatin1(text)); }

// A process where the sandboxed engine can start.
LinkPreviewEngine::Conditions sandboxable()
{
    LinkPreviewEngine::Conditions conditions;
    conditions.builtIn = true;
    conditions.platformName = QStringLiteral("xcb");
    conditions.userNamespaces = true;
    conditions.helperFound = true;
    return conditions;
}
} // namespace

TEST(LinkAddressGuard, NothingOnThisComputerOrTheLocalNetworkIsReachedUnlessItsPageWasAskedFor)
{
    LinkAddressGuard guard;
    for (const Kind kind : {Kind::page, Kind::frame, Kind::resource}) {
        for (const char *address :
             {"http://127.0.0.1:8080/reboot", "https://localhost/", "http://192.168.1.1/cgi-bin/reboot",
              "http://[::1]:631/", "http://2130706433/", "ws://10.0.0.2/socket", "http://printer.local/", "http://nas/",
              "file:///etc/passwd", "javascript:alert(1)", "ftp://example.com/"})
            EXPECT_EQ(guard.verdict(url(address), kind), Verdict::block) << address << " as " << int(kind);
    }
    // The page the user asked for reaches its own origin, its sockets included, and nothing else local.
    guard.allowOrigin(url("http://192.168.1.1/admin"));
    EXPECT_EQ(guard.verdict(url("http://192.168.1.1/cgi-bin/reboot"), Kind::page), Verdict::allow);
    EXPECT_EQ(guard.verdict(url("http://192.168.1.1:80/style.css"), Kind::resource), Verdict::allow);
    EXPECT_EQ(guard.verdict(url("ws://192.168.1.1/live"), Kind::resource), Verdict::allow);
    EXPECT_EQ(guard.verdict(url("http://192.168.1.1:8080/"), Kind::resource), Verdict::block);
    EXPECT_EQ(guard.verdict(url("https://192.168.1.1/"), Kind::resource), Verdict::block);
    EXPECT_EQ(guard.verdict(url("http://192.168.1.2/"), Kind::resource), Verdict::block);
}

TEST(LinkAddressGuard, APageOrFrameWaitsForItsNameToBeLookedUpWhatItLoadsDoesNot)
{
    LinkAddressGuard guard;
    EXPECT_EQ(guard.verdict(url("https://example.com/"), Kind::page), Verdict::lookUpFirst);
    EXPECT_EQ(guard.verdict(url("https://example.com/"), Kind::frame), Verdict::lookUpFirst);
    EXPECT_EQ(guard.verdict(url("https://cdn.example.com/app.js"), Kind::resource), Verdict::allow);
    EXPECT_EQ(guard.verdict(url("https://93.184.216.34/"), Kind::page), Verdict::allow);
    // What a page makes itself touches no network.
    for (const char *address : {"data:text/html,hi", "blob:https://example.com/1234", "about:blank"})
        EXPECT_EQ(guard.verdict(url(address), Kind::frame), Verdict::allow) << address;

    // A lookup answers at once for an address or a local name, without asking anyone.
    QList<LinkAddressGuard::Reach> answers;
    QObject context;
    guard.lookUp(QStringLiteral("localhost"), &context, [&](LinkAddressGuard::Reach reach) { answers.append(reach); });
    guard.lookUp(QStringLiteral("93.184.216.34"), &context,
                 [&](LinkAddressGuard::Reach reach) { answers.append(reach); });
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }, 5000));
    EXPECT_EQ(answers,
              (QList<LinkAddressGuard::Reach>{LinkAddressGuard::Reach::local, LinkAddressGuard::Reach::outside}));
}

TEST(LinkPreviewEngine, StartsOnlyWhereItsSandboxCanRun)
{
    EXPECT_EQ(LinkPreviewEngine::obstacle(sandboxable()), Obstacle::none);
    const auto with = [](auto change) {
        LinkPreviewEngine::Conditions conditions = sandboxable();
        change(conditions);
        return LinkPreviewEngine::obstacle(conditions);
    };
    EXPECT_EQ(with([](auto &c) { c.root = true; }), Obstacle::root);
    EXPECT_EQ(with([](auto &c) { c.userNamespaces = false; }), Obstacle::noUserNamespaces);
    EXPECT_EQ(with([](auto &c) { c.helperFound = false; }), Obstacle::helperMissing);
    EXPECT_EQ(with([](auto &c) { c.platformName = QStringLiteral("offscreen"); }), Obstacle::noDisplay);
    EXPECT_EQ(with([](auto &c) { c.builtIn = false; }), Obstacle::notBuiltIn);
    // The sandbox turned off by someone else, in any of the ways the engine takes it, even as "0".
    EXPECT_EQ(with([](auto &c) { c.sandboxVariableSet = true; }), Obstacle::sandboxTurnedOff);
    EXPECT_EQ(with([](auto &c) {
                  c.root = true;
                  c.sandboxVariableSet = true;
              }),
              Obstacle::sandboxTurnedOff);
    for (const char *argument :
         {"--no-sandbox", "-no-sandbox", "--no-sandbox=1", "\"--no-sandbox\"", "--single-process", "--no-zygote",
          "--disable-seccomp-filter-sandbox", "--disable-namespace-sandbox", "--disable-setuid-sandbox"})
        EXPECT_EQ(with([&](auto &c) {
                      c.switches = {QStringLiteral("--enable-logging"), QString::fromLatin1(argument)};
                  }),
                  Obstacle::sandboxTurnedOff)
            << argument;
    EXPECT_EQ(with([](auto &c) {
                  c.switches = {QStringLiteral("--no-sandboxes-here"), QStringLiteral("--lang=en")};
              }),
              Obstacle::none);

    // This process: the variable the test run sets is seen.
    EXPECT_EQ(LinkPreviewEngine::current().sandboxVariableSet,
              qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"));
}
