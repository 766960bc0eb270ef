#include "core/AppGlobals.h"
#include "platform/Defaults.h"
#include "platform/Paths.h"
#include "shell/LaunchReport.h"
#include "shell/MakerService.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

LaunchReport::Facts sampleFacts()
{
    return {QStringLiteral("tavipaste"),
            QStringLiteral("TaviPaste"),
            QStringLiteral("1.2"),
            QLocale(QStringLiteral("de_DE")),
            QStringLiteral("4C4C4544-0000-1000-8000-000000000001"),
            QStringLiteral("install-uuid"),
            QStringLiteral("Debian GNU/Linux 12 (bookworm)")};
}

QString parameter(const MakerService::Parameters &parameters, const char *key)
{
    for (const auto &[name, value] : parameters)
        if (name == QLatin1String(key))
            return value;
    return QStringLiteral("(absent)");
}

bool reportSent() { return Defaults::standard().value(QStringLiteral("HasSendFirstInstallGAEvent")) == QVariant(true); }

// Sends the report and waits for its answer; false when no answer came.
std::optional<bool> sendReport()
{
    std::optional<bool> accepted;
    LaunchReport::sendFirstInstallGAEvent([&](bool value) { accepted = value; });
    waitUntil([&] { return accepted.has_value(); }, 5000);
    return accepted;
}
} // namespace

TEST(InstallEvents, TheFirstLaunchRecordsItsVersionAndReportsANewInstall)
{
    ScopedXdgHome home;
    ScopedAppVersion version(QStringLiteral("1.0"));
    RecordedEvents events;
    LaunchReport::reportInstallEvent();
    EXPECT_EQ(TaviSettings::shared().firstVersion(), QStringLiteral("1.0"));
    EXPECT_EQ(events.named(QStringLiteral("New_Install")).size(), 1);
    EXPECT_TRUE(events.named(QStringLiteral("Update_Install")).isEmpty());

    LaunchReport::reportInstallEvent(); // no normal quit yet: the same version is not "last"
    EXPECT_EQ(events.named(QStringLiteral("New_Install")).size(), 1);
}

TEST(InstallEvents, ANewVersionReportsAnUpdateUntilItOnceQuitNormally)
{
    ScopedXdgHome home;
    TaviSettings::shared().setFirstVersion(QStringLiteral("1.0"));
    TaviSettings::shared().setLastVersion(QStringLiteral("1.0"));
    ScopedAppVersion version(QStringLiteral("1.1"));
    RecordedEvents events;
    LaunchReport::reportInstallEvent();
    EXPECT_EQ(events.named(QStringLiteral("Update_Install")).size(), 1);
    TaviSettings::shared().setLastVersion(QStringLiteral("1.1")); // what a normal quit stores
    LaunchReport::reportInstallEvent();
    EXPECT_EQ(events.named(QStringLiteral("Update_Install")).size(), 1);
    EXPECT_TRUE(events.named(QStringLiteral("New_Install")).isEmpty());
    EXPECT_EQ(TaviSettings::shared().firstVersion(), QStringLiteral("1.0"));
}

TEST(LaunchReportParameters, ComeInOrderFromTheFacts)
{
    const auto parameters = LaunchReport::parameters(sampleFacts());
    QStringList keys;
    for (const auto &pair : parameters)
        keys.append(pair.first);
    EXPECT_EQ(keys, (QStringList{QStringLiteral("sku"), QStringLiteral("appName"), QStringLiteral("countryCode"),
                                 QStringLiteral("languageCode"), QStringLiteral("appVersion"),
                                 QStringLiteral("deviceGuid"), QStringLiteral("osVersion")}));
    EXPECT_EQ(parameter(parameters, "countryCode"), QStringLiteral("de"));
    EXPECT_EQ(parameter(parameters, "languageCode"), QStringLiteral("de"));
    EXPECT_EQ(parameter(parameters, "deviceGuid"),
              LaunchReport::deviceIdentifier(QStringLiteral("4C4C4544-0000-1000-8000-000000000001")));
}

TEST(LaunchReportParameters, FallBackWhenFactsAreMissing)
{
    LaunchReport::Facts facts = sampleFacts();
    facts.locale = QLocale::c();
    facts.platformUUID.reset();
    facts.bundleIdentifier.reset();
    facts.appName.reset();
    auto parameters = LaunchReport::parameters(facts);
    EXPECT_EQ(parameter(parameters, "countryCode"), QStringLiteral("unknown"));
    EXPECT_EQ(parameter(parameters, "languageCode"), QStringLiteral("en"));
    EXPECT_EQ(parameter(parameters, "deviceGuid"), QStringLiteral("install-uuid"));
    EXPECT_FALSE(parameter(parameters, "sku").isEmpty());
    EXPECT_FALSE(parameter(parameters, "appName").isEmpty());
    facts.installationUUID.clear();
    parameters = LaunchReport::parameters(facts);
    EXPECT_EQ(parameter(parameters, "deviceGuid"), QString());
}

TEST(LaunchReport, IsPostedFormEncodedAndAcceptedOnlyWithCodeZero)
{
    ScopedXdgHome home;
    LoopbackHttpServer server;
    TaviSettings::shared().setServiceBaseURL(server.baseURL() + QStringLiteral("/"));
    Defaults::standard().setValue(QStringLiteral("UUID"), QStringLiteral("a b&c=d+e"));

    server.respondWith(200, R"({"code": 1, "msg": "no"})");
    EXPECT_EQ(sendReport(), false);
    EXPECT_FALSE(reportSent());
    ASSERT_EQ(server.requests().size(), 1);
    const auto &request = server.requests().first();
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.path, QByteArray("/api/app/launch"));
    EXPECT_TRUE(request.headers.value("content-type").startsWith("application/x-www-form-urlencoded"));
    const QUrlQuery form(QString::fromUtf8(request.body));
    EXPECT_EQ(form.queryItems().size(), 7);
    EXPECT_TRUE(request.body.startsWith("sku="));
    if (!platformUUID()) {
        EXPECT_EQ(form.queryItemValue(QStringLiteral("deviceGuid"), QUrl::FullyDecoded), QStringLiteral("a b&c=d+e"));
    }

    server.respondWith(200, R"({"code": 0})");
    EXPECT_EQ(sendReport(), true);
    EXPECT_TRUE(reportSent());

    LaunchReport::sendFirstInstallGAEvent(); // the next launch sends nothing
    // A request made after it is answered with none before it.
    bool answered = false;
    MakerService::post(QStringLiteral("/after"), {}, [&](const auto &, const auto &) { answered = true; });
    ASSERT_TRUE(waitUntil([&] { return answered; }, 10000));
    ASSERT_EQ(server.requests().size(), 3);
    EXPECT_EQ(server.requests().last().path, QByteArray("/after"));
}

TEST(LaunchReport, AnswersThatAreNotAnAcceptanceLeaveTheFlagFalse)
{
    ScopedXdgHome home;
    LoopbackHttpServer server;
    TaviSettings::shared().setServiceBaseURL(server.baseURL());
    for (const QByteArray &body : {QByteArray("[0]"), QByteArray("not json"), QByteArray(R"({"code": "0"})"),
                                   QByteArray(R"({"status": 0})"), QByteArray(R"({"code": 0.5})")}) {
        server.respondWith(200, body);
        EXPECT_EQ(sendReport(), false) << body.constData();
    }
    server.respondWith(500, R"({"code": 0})"); // an error status is no acceptance, whatever its body
    EXPECT_EQ(sendReport(), false);
    server.respondWith(200, R"({"code": 0})");
    EXPECT_EQ(sendReport(), true);
}

TEST(LaunchReport, NothingIsSentWithoutAServiceOrWhenItIsUnreachable)
{
    ScopedXdgHome home;
    EXPECT_EQ(sendReport(), false);
    quint16 closedPort = 0;
    {
        LoopbackHttpServer server;
        closedPort = quint16(QUrl(server.baseURL()).port());
    }
    TaviSettings::shared().setServiceBaseURL(QStringLiteral("http://127.0.0.1:%1").arg(closedPort));
    EXPECT_EQ(sendReport(), false);
    EXPECT_FALSE(reportSent());
}

TEST(MakerService, RegionCodeCNSelectsTheChinesePages)
{
    ScopedXdgHome home;
    EXPECT_TRUE(MakerService::websiteURL().isEmpty());
    TaviSettings::shared().setServiceBaseURL(QStringLiteral("https://www.maker.example"));
    EXPECT_EQ(MakerService::websiteURL(QLocale(QStringLiteral("zh_CN"))).toString(),
              QStringLiteral("https://www.maker.example/cn/"));
    EXPECT_EQ(MakerService::supportURL(QLocale(QStringLiteral("zh_CN"))).toString(),
              QStringLiteral("https://www.maker.example/cn/support/"));
    EXPECT_EQ(MakerService::supportURL(QLocale(QStringLiteral("en_GB"))).toString(),
              QStringLiteral("https://www.maker.example/support/"));
    EXPECT_EQ(MakerService::websiteURL(QLocale::c()).toString(), QStringLiteral("https://www.maker.example/"));
    EXPECT_EQ(MakerService::feedbackRecipients(), QStringList{QStringLiteral("support@maker.example")});
}

TEST(MakerService, FeedbackBodyEndsWithTheRegion)
{
    const QString body =
        MakerService::feedbackMailBody(QStringLiteral("1.2"), QStringLiteral("Debian 12"), QLocale::c());
    EXPECT_TRUE(body.startsWith(QStringLiteral("\n\n\n------------------------------\nApp Version: 1.2\n")));
    EXPECT_TRUE(body.endsWith(QStringLiteral("\nSystem Version: Debian 12\nRegion: unknown")));
    EXPECT_TRUE(MakerService::feedbackMailBody(QStringLiteral("1"), QString(), QLocale(QStringLiteral("fr_CA")))
                    .endsWith(QStringLiteral("\nRegion: ca")));
}

TEST(HomeDirectory, IsTheUserDatabaseEntryOrTheRoot)
{
    EXPECT_EQ(Paths::homeDirectoryPath(4000000000u), QStringLiteral("/"));
    EXPECT_FALSE(Paths::homeDirectoryPath().isEmpty());
    EXPECT_TRUE(Paths::homeDirectoryPath().startsWith(QLatin1Char('/')));
}

TEST(MakerService, FormEncodingEscapesEverythingButUnreservedCharacters)
{
    EXPECT_EQ(MakerService::formEncoded({{QStringLiteral("os"), QStringLiteral("Debian GNU/Linux 12 (bookworm)")},
                                         {QStringLiteral("k&=+"), QStringLiteral("a+b=c&d é")}}),
              QByteArray("os=Debian%20GNU%2FLinux%2012%20%28bookworm%29&k%26%3D%2B=a%2Bb%3Dc%26d%20%C3%A9"));
    EXPECT_EQ(MakerService::formEncoded({}), QByteArray());
}
