#include "core/AppGlobals.h"
#include "platform/Defaults.h"
#include "shell/LaunchReport.h"
#include "shell/MakerService.h"
#include "shell/ServerConfigManager.h"
#include "shell/UpdateChecker.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {
struct Answer {
    bool done = false;
    std::optional<QJsonDocument> json;
    QString error;
};

Answer getAnswer(const QString &path)
{
    Answer answer;
    MakerService::get(path, {}, [&](const std::optional<QJsonDocument> &json, const QString &error) {
        answer = {true, json, error};
    });
    waitUntil([&] { return answer.done; }, 10000);
    return answer;
}

class ShortTimeout {
public:
    explicit ShortTimeout(std::chrono::milliseconds timeout) { MakerService::setRequestTimeout(timeout); }
    ~ShortTimeout() { MakerService::setRequestTimeout(MakerService::kRequestTimeout); }
};
} // namespace

TEST(MakerService, WithoutABaseAddressNoConnectionIsEverOpened)
{
    ScopedXdgHome home;
    LoopbackHttpServer server;
    int finished = 0;
    ServerConfigManager::shared().fetchConfig([&](auto, auto) { ++finished; });
    UpdateChecker::shared().checkUpdate([&](bool, auto) { ++finished; });
    LaunchReport::sendFirstInstallGAEvent([&](bool) { ++finished; });
    ServerConfigManager::shared().start();
    ServerConfigManager::shared().stop();
    EXPECT_TRUE(waitUntil([&] { return finished == 3; }));
    ASSERT_TRUE(server.acceptsAProbe());
    EXPECT_EQ(server.connectionCount(), 1); // the probe alone
    EXPECT_TRUE(UpdateChecker::downloadPageURL().isEmpty());
}

TEST(MakerService, OnlyHttpsIsUsedExceptToThisMachine)
{
    ScopedXdgHome home;
    LoopbackHttpServer server;
    const quint16 port = quint16(QUrl(server.baseURL()).port());
    for (const QString &base : {QStringLiteral("ftp://127.0.0.1:%1").arg(port),
                                QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("http://maker.example")}) {
        TaviSettings::shared().setServiceBaseURL(base);
        const Answer answer = getAnswer(QStringLiteral("/x"));
        EXPECT_FALSE(answer.json) << base.toStdString();
        EXPECT_TRUE(answer.error.contains(QLatin1String("HTTPS"))) << answer.error.toStdString();
    }
    EXPECT_EQ(server.connectionCount(), 0);
    TaviSettings::shared().setServiceBaseURL(QStringLiteral("https://maker.example/base/"));
    EXPECT_EQ(MakerService::address(QStringLiteral("/a")).toString(), QStringLiteral("https://maker.example/base/a"));
}

TEST(MakerService, BadAnswersFailWithTheirReason)
{
    ScopedXdgHome home;
    LoopbackHttpServer server;
    TaviSettings::shared().setServiceBaseURL(server.baseURL());
    const struct {
        int status;
        QByteArray body;
        const char *reason;
    } cases[] = {{500, R"({"version": "1.0"})", "HTTP status 500"},
                 {404, "<html>Not found</html>", "HTTP status 404"},
                 {200, "", "empty"},
                 {200, "  \n", "empty"},
                 {200, "<html><body>1.0</body></html>", "not JSON"}};
    for (const auto &c : cases) {
        server.respondWith(c.status, c.body);
        const Answer answer = getAnswer(QStringLiteral("/x"));
        EXPECT_FALSE(answer.json) << c.body.constData();
        EXPECT_TRUE(answer.error.contains(QLatin1String(c.reason))) << answer.error.toStdString();
    }
}

TEST(MakerService, ABodyOverOneMebibyteIsRefused)
{
    ScopedXdgHome home;
    LoopbackHttpServer server;
    TaviSettings::shared().setServiceBaseURL(server.baseURL());
    QByteArray huge = "{\"version\": \"" + QByteArray(50 * 1024 * 1024, '1') + "\"}";
    server.respondWith(200, huge);
    huge.clear();
    const Answer answer = getAnswer(QStringLiteral("/x"));
    ASSERT_TRUE(answer.done);
    EXPECT_FALSE(answer.json);
    EXPECT_TRUE(answer.error.contains(QLatin1String("larger"))) << answer.error.toStdString();

    server.respondWith(200, "[" + QByteArray(MakerService::kMaxBodyBytes - 2, ' ') + "]"); // exactly at the limit
    EXPECT_TRUE(getAnswer(QStringLiteral("/x")).json);
}

TEST(MakerService, ARequestWithoutAnswerTimesOut)
{
    ScopedXdgHome home;
    ShortTimeout timeout(std::chrono::milliseconds(300));
    LoopbackHttpServer server;
    server.respondNever();
    TaviSettings::shared().setServiceBaseURL(server.baseURL());
    const Answer answer = getAnswer(QStringLiteral("/x"));
    ASSERT_TRUE(answer.done);
    EXPECT_FALSE(answer.json);
    EXPECT_TRUE(answer.error.contains(QLatin1String("No answer"))) << answer.error.toStdString();
}

TEST(LaunchReport, SendsAKeyedHashOfTheMachineIdentifierNeverTheIdentifier)
{
    const QString machine = QStringLiteral("4C4C4544-0000-1000-8000-000000000001");
    const QString device = LaunchReport::deviceIdentifier(machine);
    EXPECT_NE(device, machine);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")).match(device).hasMatch());
    EXPECT_EQ(LaunchReport::deviceIdentifier(machine.toLower()), device);
    EXPECT_NE(LaunchReport::deviceIdentifier(QStringLiteral("4C4C4544-0000-1000-8000-000000000002")), device);
    EXPECT_NE(device,
              QString::fromLatin1(QCryptographicHash::hash(machine.toUtf8(), QCryptographicHash::Sha256).toHex()));
}
