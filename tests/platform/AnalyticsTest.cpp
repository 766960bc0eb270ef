#include "platform/Analytics.h"
#include "platform/Log.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {
QList<QJsonObject> recordedEvents()
{
    QFile file(Analytics::eventsDirectory() + QStringLiteral("/events.jsonl"));
    QList<QJsonObject> events;
    if (!file.open(QIODevice::ReadOnly))
        return events;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            events.append(QJsonDocument::fromJson(line).object());
    return events;
}

// Runs body in a child process and answers its exit status as waitpid reports it.
template <typename Body>
int inChildProcess(Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}
} // namespace

TEST(Analytics, TrackedEventsReachObserversFromAnyThread)
{
    RecordedEvents events;
    Analytics::trackEvent(QStringLiteral("Preference"), {{QStringLiteral("action"), QStringLiteral("open")}});
    QThread *worker = QThread::create([] { Analytics::trackEvent(QStringLiteral("Category_Action")); });
    worker->start();
    worker->wait();
    delete worker;
    const auto seen = events.events();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].name, QStringLiteral("Preference"));
    EXPECT_EQ(seen[0].properties.value(QStringLiteral("action")), QStringLiteral("open"));
    EXPECT_EQ(seen[1].name, QStringLiteral("Category_Action"));
}

TEST(Analytics, StartedEventsAreKeptOnDiskWithTheirProperties)
{
    ScopedXdgHome home;
    Analytics::trackEvent(QStringLiteral("BeforeStart"));
    Analytics::setCountryCode(QStringLiteral("de"));
    Analytics::start(QStringLiteral("00000000-0000-0000-0000-000000000000"), {Analytics::Service::Analytics});
    EXPECT_TRUE(Analytics::isStarted());
    Analytics::trackEvent(QStringLiteral("APP_Launch"), {{QStringLiteral("version"), QStringLiteral("1.0")}});
    Analytics::flush();

    const auto events = recordedEvents();
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].value(QStringLiteral("name")).toString(), QStringLiteral("APP_Launch"));
    EXPECT_EQ(events[0].value(QStringLiteral("country")).toString(), QStringLiteral("de"));
    EXPECT_EQ(events[0].value(QStringLiteral("properties")).toObject().value(QStringLiteral("version")).toString(),
              QStringLiteral("1.0"));
}

TEST(Analytics, ACrashLeavesAReportThatTheNextStartMentions)
{
    ScopedXdgHome home; // the children inherit these folders
    const int crashed = inChildProcess([] {
        Analytics::start(QStringLiteral("secret"), {Analytics::Service::Analytics, Analytics::Service::Crashes});
        std::raise(SIGSEGV);
    });
    ASSERT_TRUE(WIFSIGNALED(crashed));
    EXPECT_EQ(WTERMSIG(crashed), SIGSEGV);

    const QStringList reports =
        QDir(Analytics::crashDirectory()).entryList({QStringLiteral("crash-*.txt")}, QDir::Files);
    ASSERT_EQ(reports.size(), 1);
    QFile report(QDir(Analytics::crashDirectory()).filePath(reports.first()));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray text = report.readAll();
    EXPECT_TRUE(text.startsWith("TaviPaste crashed on signal 11\n")) << text.constData();
    EXPECT_GT(text.count('\n'), 2); // a backtrace follows
    report.close();

    // The next session: exit status 0 when the report came back and the log mentioned it.
    const int nextStart = inChildProcess([] {
        bool logged = false;
        Log::setObserver([&](LogLevel level, const QString &message, const char *, const char *, int) {
            logged = logged || (level == LogLevel::Error && message.contains(QStringLiteral("crashed")));
        });
        const QStringList earlier = Analytics::start(QStringLiteral("secret"), {Analytics::Service::Crashes});
        Log::setObserver({});
        ::_exit(earlier.size() != 1 ? 1 : !logged ? 2 : !QFile::exists(earlier.first()) ? 3 : 0);
    });
    ASSERT_TRUE(WIFEXITED(nextStart));
    EXPECT_EQ(WEXITSTATUS(nextStart), 0);

    const int thirdStart = inChildProcess(
        [] { ::_exit(Analytics::start(QStringLiteral("secret"), {Analytics::Service::Crashes}).isEmpty() ? 0 : 1); });
    EXPECT_EQ(WEXITSTATUS(thirdStart), 0); // a report is mentioned once
}
