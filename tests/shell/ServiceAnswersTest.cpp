#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "platform/Defaults.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"
#include "platform/memory/FakeWorkspace.h"
#include "shell/ServerConfigManager.h"
#include "shell/ShellScenes.h"
#include "shell/ShellSeams.h"
#include "shell/UpdateChecker.h"
#include "shell/VersionString.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

// A loopback service and the configuration notifications it causes.
struct Service {
    ScopedXdgHome home;
    LoopbackHttpServer server;
    QList<ServerConfigure> posted;
    ObserverBag observers;
    Service()
    {
        TaviSettings::shared().setServiceBaseURL(server.baseURL());
        observers.observe(NotificationName::serverConfigDidUpdate, [this](const Notification &notification) {
            if (const std::optional<ServerConfigure> configure = ServerConfigManager::decodeUpdate(notification))
                posted.append(*configure);
        });
    }

    // Fetches the configuration answered by body; whether it was accepted.
    bool fetch(const QByteArray &body, int status = 200)
    {
        server.respondWith(status, body);
        std::optional<bool> accepted;
        ServerConfigManager::shared().fetchConfig(
            [&](const auto &configure, const QString &) { accepted = configure.has_value(); });
        waitUntil([&] { return accepted.has_value(); }, 5000);
        return accepted.value_or(false);
    }

    std::pair<bool, std::optional<QString>> check(const QByteArray &body, int status = 200)
    {
        server.respondWith(status, body);
        std::optional<std::pair<bool, std::optional<QString>>> result;
        UpdateChecker::shared().checkUpdate([&](bool hasUpdate, const std::optional<QString> &text) {
            result = {hasUpdate, text};
        });
        waitUntil([&] { return result.has_value(); }, 5000);
        return result.value_or(std::pair{true, std::optional<QString>(QStringLiteral("no answer"))});
    }
};

struct ScopedAlerts {
    QList<AlertRequest> shown;
    explicit ScopedAlerts(ModalResponse response)
    {
        setAlertResponder([this, response](const AlertRequest &request) {
            shown.append(request);
            return response;
        });
    }
    ~ScopedAlerts() { setAlertResponder({}); }
};

FakeWorkspace &workspace() { return dynamic_cast<FakeWorkspace &>(Workspace::shared()); }
} // namespace

TEST(VersionString, ComparesRunsOfDigitsAsNumbers)
{
    EXPECT_LT(VersionString::compare(QStringLiteral("1.9"), QStringLiteral("1.10")), 0);
    EXPECT_GT(VersionString::compare(QStringLiteral("2.10"), QStringLiteral("2.9")), 0);
    EXPECT_EQ(VersionString::compare(QStringLiteral("1.2"), QStringLiteral("1.2")), 0);
    EXPECT_EQ(VersionString::compare(QStringLiteral("1.0"), QStringLiteral("1.0.0")), 0);
    EXPECT_LT(VersionString::compare(QStringLiteral("1.0"), QStringLiteral("1.0.1")), 0);
    EXPECT_TRUE(VersionString::isValid(QStringLiteral("10.2.3")));
    for (const char *bad : {"", "1.", ".1", "1..2", "v1.0", "1.0 ", "<b>2.0</b>", "1.2.3.4.5", "1e3", "１.０"})
        EXPECT_FALSE(VersionString::isValid(QString::fromUtf8(bad))) << bad;
}

TEST(RemoteConfiguration, AnOlderServiceVersionSetsTheFlagAndAnnouncesTheRecord)
{
    Service service;
    ScopedAppVersion version(QStringLiteral("1.2"));
    EXPECT_TRUE(service.fetch(R"({"version": "1.0", "ads": [1, 2]})"));
    EXPECT_TRUE(TaviSettings::shared().isIRM());
    ASSERT_EQ(service.posted.size(), 1);
    EXPECT_EQ(service.posted.first().version, QStringLiteral("1.0"));
    EXPECT_EQ(ServerConfigManager::shared().configure().version, QStringLiteral("1.0"));
    ASSERT_EQ(service.server.requests().size(), 1);
    EXPECT_EQ(service.server.requests().first().method, QByteArray("GET"));
    EXPECT_EQ(service.server.requests().first().path, QByteArray("/paste/native_config.json"));

    EXPECT_TRUE(service.fetch(R"({"version": "1.2"})"));
    EXPECT_FALSE(TaviSettings::shared().isIRM());
    ScopedAppVersion older(QStringLiteral("2.9"));
    EXPECT_TRUE(service.fetch(R"({"version": "2.10"})"));
    EXPECT_FALSE(TaviSettings::shared().isIRM());
}

TEST(RemoteConfiguration, BadAnswersChangeNothingAndAnnounceNothing)
{
    Service service;
    ScopedAppVersion version(QStringLiteral("1.2"));
    ASSERT_TRUE(service.fetch(R"({"version": "1.0"})"));
    service.posted.clear();
    const std::pair<int, QByteArray> bad[] = {{200, "{}"},
                                              {200, R"({"version": 1.0})"},
                                              {200, R"({"version": "abc"})"},
                                              {200, R"({"version": "<b>9.0</b>"})"},
                                              {200, R"(["version", "2.0"])"},
                                              {200, ""},
                                              {200, "not json"},
                                              {503, R"({"version": "2.0"})"}};
    for (const auto &[status, body] : bad) {
        EXPECT_FALSE(service.fetch(body, status)) << body.constData();
        EXPECT_TRUE(TaviSettings::shared().isIRM()) << body.constData();
        EXPECT_EQ(ServerConfigManager::shared().configure().version, QStringLiteral("1.0"));
    }
    EXPECT_TRUE(service.posted.isEmpty());
}

TEST(RemoteConfiguration, StartFetchesAtOnceAndRepeatsDailyUntilStopped)
{
    Service service;
    service.server.respondWith(200, R"({"version": "1.0"})");
    ServerConfigManager::shared().start();
    EXPECT_TRUE(ServerConfigManager::shared().isTimerActive());
    EXPECT_TRUE(waitUntil([&] { return service.posted.size() == 1; }, 5000));
    ServerConfigManager::shared().stop();
    EXPECT_FALSE(ServerConfigManager::shared().isTimerActive());
}

TEST(UpdateCheck, AsksWithTheProductAndVersionAndReadsTheNewestVersion)
{
    Service service;
    ScopedAppVersion version(QStringLiteral("1.2"));
    const auto result = service.check(R"({"code": 0, "data": {"lastest_version": "2.0"}})");
    EXPECT_TRUE(result.first);
    EXPECT_EQ(result.second, QStringLiteral("2.0"));
    ASSERT_EQ(service.server.requests().size(), 1);
    EXPECT_EQ(service.server.requests().first().path,
              QByteArray("/homepage/version?appid=") + UpdateChecker::shared().appId().toLatin1() + "&version=1.2");

    EXPECT_EQ(service.check(R"({"code": 0})"), (std::pair{true, std::optional<QString>()}));
    EXPECT_EQ(service.check(R"({"code": 1})"),
              (std::pair{false, std::optional<QString>(L("CheckUpdate.Msg.AlreadyLatest"))}));
}

TEST(UpdateCheck, AnythingButTheExpectedAnswerIsANetworkError)
{
    Service service;
    const std::pair<int, QByteArray> bad[] = {{200, "[1, 2]"},
                                              {200, R"({"code": "0", "data": {"lastest_version": "2.0"}})"},
                                              {200, R"({"data": {}})"},
                                              {200, R"({"code": 0, "data": {"lastest_version": "two"}})"},
                                              {200, R"({"code": 0, "data": {"lastest_version": "<img src=x>2.0"}})"},
                                              {200, ""},
                                              {500, R"({"code": 0})"}};
    for (const auto &[status, body] : bad)
        EXPECT_EQ(service.check(body, status),
                  (std::pair{false, std::optional<QString>(L("CheckUpdate.Msg.NetworkError"))}))
            << body.constData();
}

TEST(UpdateCheck, TheLaunchAlertOffersTheVersionUnlessItWasSkipped)
{
    Service service;
    RecordedEvents events;
    {
        ScopedAlerts alerts(ModalResponse::alertSecondButtonReturn);
        UpdateChecker::showNewVersionAlert(true, QStringLiteral("2.0"));
        ASSERT_EQ(alerts.shown.size(), 1);
        EXPECT_TRUE(alerts.shown.first().messageText.startsWith(QStringLiteral("2.0: ")));
        EXPECT_EQ(alerts.shown.first().secondButtonTitle, L("CheckUpdate.Msg.IgnoreCurrent"));
        EXPECT_EQ(UpdateChecker::ignoredVersion(), QStringLiteral("2.0"));
        EXPECT_EQ(events.named(QStringLiteral("Upgrade_Action")).value(0).properties.value(QStringLiteral("action")),
                  QStringLiteral("ignore"));

        UpdateChecker::showNewVersionAlert(true, QStringLiteral("2.0")); // skipped: no alert
        UpdateChecker::showNewVersionAlert(false, L("CheckUpdate.Msg.AlreadyLatest"));
        UpdateChecker::showNewVersionAlert(true, std::nullopt);
        EXPECT_EQ(alerts.shown.size(), 1);
    }
    ScopedAlerts alerts(ModalResponse::alertFirstButtonReturn);
    const qsizetype opened = workspace().openedUrls().size();
    UpdateChecker::showNewVersionAlert(true, QStringLiteral("2.1"));
    ASSERT_EQ(alerts.shown.size(), 1);
    ASSERT_EQ(workspace().openedUrls().size(), opened + 1);
    EXPECT_EQ(workspace().openedUrls().last(), UpdateChecker::downloadPageURL());
    EXPECT_EQ(UpdateChecker::ignoredVersion(), QStringLiteral("2.0"));
}

TEST(UpdateCheck, TheStatusMenuAsksTheSameService)
{
    Service service;
    ShellScenes::registerAll();
    service.server.respondWith(200, R"({"code": 1})");
    std::optional<QString> text;
    ShellSeams::shared().checkUpdate(
        [&](bool, const std::optional<QString> &answer) { text = answer.value_or(QString()); });
    waitUntil([&] { return text.has_value(); }, 5000);
    EXPECT_EQ(text, L("CheckUpdate.Msg.AlreadyLatest"));
    EXPECT_EQ(ShellSeams::shared().downloadPageURL(), UpdateChecker::downloadPageURL());
    EXPECT_FALSE(UpdateChecker::downloadPageURL().isEmpty());
    ShellSeams::shared().reset();
}
