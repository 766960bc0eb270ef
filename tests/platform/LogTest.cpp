#include "platform/Log.h"
#include "platform/QtMessages.h"
#include "platform/RollingFileSink.h"
#include "support/TestEnvironment.h"

#include <spdlog/logger.h>

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
// A clock the test moves by hand.
struct ManualClock {
    QDateTime now = QDateTime(QDate(2026, 1, 1), QTime(8, 0));
    RollingFileSink::Clock function()
    {
        return [this] { return now; };
    }
};

QStringList logFiles(const QString &directory)
{
    return QDir(directory).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void logThrough(const std::shared_ptr<RollingFileSink> &sink, const std::string &message)
{
    spdlog::logger logger("test", sink);
    logger.info(message);
    logger.flush();
}
} // namespace

TEST(RollingFileSink, StartsANewFileEveryThreeDays)
{
    QTemporaryDir dir;
    ManualClock clock;
    auto sink = std::make_shared<RollingFileSink>(dir.path(), Log::kRollSeconds, Log::kMaxLogFiles, clock.function());
    logThrough(sink, "first");
    const QString firstFile = sink->currentFile();
    clock.now = clock.now.addSecs(Log::kRollSeconds - 1);
    logThrough(sink, "still the first file");
    EXPECT_EQ(sink->currentFile(), firstFile);
    clock.now = clock.now.addSecs(1);
    logThrough(sink, "second");
    EXPECT_NE(sink->currentFile(), firstFile);
    EXPECT_EQ(logFiles(dir.path()).size(), 2);
    EXPECT_TRUE(readAll(firstFile).contains("still the first file"));
    EXPECT_FALSE(readAll(firstFile).contains("second"));
    EXPECT_TRUE(readAll(sink->currentFile()).contains("second"));
}

TEST(RollingFileSink, KeepsOnlyTheFiveNewestFiles)
{
    QTemporaryDir dir;
    ManualClock clock;
    auto sink = std::make_shared<RollingFileSink>(dir.path(), Log::kRollSeconds, Log::kMaxLogFiles, clock.function());
    QStringList written;
    for (int day = 0; day < 8; ++day) {
        logThrough(sink, "period " + std::to_string(day));
        written.append(QFileInfo(sink->currentFile()).fileName());
        clock.now = clock.now.addSecs(Log::kRollSeconds);
    }
    const QStringList kept = logFiles(dir.path());
    EXPECT_EQ(kept, written.mid(3));
    EXPECT_TRUE(readAll(dir.filePath(kept.last())).contains("period 7"));
}

TEST(RollingFileSink, AppendsToTheCurrentFileAfterARestart)
{
    QTemporaryDir dir;
    ManualClock clock;
    QString before;
    {
        auto sink = std::make_shared<RollingFileSink>(dir.path(), Log::kRollSeconds, 5, clock.function());
        logThrough(sink, "before the restart");
        before = sink->currentFile();
    }
    clock.now = clock.now.addSecs(3600);
    auto sink = std::make_shared<RollingFileSink>(dir.path(), Log::kRollSeconds, 5, clock.function());
    logThrough(sink, "after the restart");
    EXPECT_EQ(sink->currentFile(), before);
    const QByteArray text = readAll(before);
    EXPECT_TRUE(text.contains("before the restart"));
    EXPECT_TRUE(text.contains("after the restart"));

    clock.now = clock.now.addSecs(Log::kRollSeconds); // a restart after the period starts afresh
    auto later = std::make_shared<RollingFileSink>(dir.path(), Log::kRollSeconds, 5, clock.function());
    EXPECT_NE(later->currentFile(), before);
}

TEST(RollingFileSink, AClockGoingBackStartsANewFile)
{
    QTemporaryDir dir;
    ManualClock clock;
    auto sink = std::make_shared<RollingFileSink>(dir.path(), Log::kRollSeconds, 5, clock.function());
    logThrough(sink, "now");
    const QString first = sink->currentFile();
    clock.now = clock.now.addDays(-1);
    logThrough(sink, "yesterday");
    EXPECT_NE(sink->currentFile(), first);
    EXPECT_FALSE(readAll(first).contains("yesterday"));
}

TEST(Log, EveryCallCarriesItsFileFunctionAndLine)
{
    struct Seen {
        LogLevel level;
        QString message, file, function;
        int line;
    };
    QList<Seen> seen;
    Log::setObserver([&](LogLevel level, const QString &message, const char *file, const char *function, int line) {
        seen.append({level, message, QString::fromUtf8(file), QString::fromUtf8(function), line});
    });
    const int line = __LINE__ + 1;
    LOG_INFO("retreivePasteboardInfo()", QStringLiteral("--> start"));
    LOG_ERROR("saveContext()", QStringLiteral("<-- failed"));
    Log::setObserver({});

    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].level, LogLevel::Info);
    EXPECT_EQ(seen[0].message, QStringLiteral("--> start"));
    EXPECT_TRUE(seen[0].file.endsWith(QStringLiteral("LogTest.cpp")));
    EXPECT_EQ(seen[0].function, QStringLiteral("retreivePasteboardInfo()"));
    EXPECT_EQ(seen[0].line, line);
    EXPECT_EQ(seen[1].level, LogLevel::Error);
    EXPECT_EQ(seen[1].line, line + 1);
}

TEST(Log, TheLogFileHoldsMessageLevelFunctionFileAndLine)
{
    // The log is set up once a process, in the process's own folders (not a scoped home that
    // a later test would no longer see).
    Log::setup();
    Log::setup(); // a second set-up changes nothing
    const int line = __LINE__ + 1;
    LOG_DEBUG("copyOut()", QStringLiteral("[+] grüße"));
    LOG_WARNING("copyOut()", QStringLiteral("[-] done"));
    LOG_ERROR("copyOut()", QStringLiteral("flushes"));

    const QStringList files = logFiles(Log::logDirectory());
    ASSERT_EQ(files.size(), 1);
    const QString text = QString::fromUtf8(readAll(QDir(Log::logDirectory()).filePath(files.first())));
    EXPECT_TRUE(text.contains(QStringLiteral("LogTest.cpp:%1 copyOut() | [+] grüße").arg(line))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("debug")));
    EXPECT_TRUE(text.contains(QStringLiteral("warning")));
    EXPECT_TRUE(text.contains(QStringLiteral("[-] done")));
}

TEST(Log, WarningsReachTheFileAtOnceAndOtherLinesWithinASecond)
{
    Log::setup();
    const QString directory = Log::logDirectory();
    auto fileHolds = [&](const QByteArray &text) {
        const QStringList files = logFiles(directory);
        return !files.isEmpty() && readAll(QDir(directory).filePath(files.last())).contains(text);
    };
    LOG_WARNING("saveContext()", QStringLiteral("warning kept before a crash"));
    EXPECT_TRUE(fileHolds("warning kept before a crash"));

    LOG_DEBUG("retreivePasteboardInfo()", QStringLiteral("debug line kept before a crash"));
    // Flushed once a second: without that flush it would wait in the buffer for more lines.
    EXPECT_TRUE(waitUntil([&] { return fileHolds("debug line kept before a crash"); }, 3000));
}

// Qt's own messages (a desktop service quoting the URL it could not open, say) reach the log as
// their kind, category, length and hash, never their text; the display-lost handler runs once,
// on Qt's report that the X connection broke.
TEST(Log, QtsOwnMessagesReachTheLogWithoutTheirText)
{
    QList<std::pair<LogLevel, QString>> seen;
    Log::setObserver([&](LogLevel level, const QString &message, const char *, const char *, int) {
        seen.append({level, message});
    });
    QtMessages::install();
    int displayLost = 0;
    QtMessages::setDisplayLostHandler([&] { ++displayLost; });
    qWarning("Unable to detect a launcher for '%s'", "mailto:secret.person@example.org");
    const QLoggingCategory category("qt.test.category");
    qCInfo(category, "copied folder /home/someone/private-folder");
    qWarning("The X11 connection broke (error 1). Did the X11 server die?");
    qWarning("The X11 connection broke (error 1). Did the X11 server die?");
    qInstallMessageHandler(nullptr);
    Log::setObserver({});

    ASSERT_EQ(seen.size(), 4);
    for (const auto &[level, message] : seen) {
        EXPECT_FALSE(message.contains(QStringLiteral("secret.person"))) << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("private-folder"))) << message.toStdString();
    }
    EXPECT_EQ(seen[0].first, LogLevel::Warning);
    const QString warning = QStringLiteral("Qt warning (default) [");
    EXPECT_TRUE(seen[0].second.startsWith(warning)) << seen[0].second.toStdString();
    EXPECT_EQ(seen[1].first, LogLevel::Info);
    const QString info = QStringLiteral("Qt info (qt.test.category) [");
    EXPECT_TRUE(seen[1].second.startsWith(info)) << seen[1].second.toStdString();
    EXPECT_EQ(displayLost, 1);
}

// A previewed page's script messages come with the page's address (a copied link) as their file
// and a line of the script: neither reaches the log line.
TEST(Log, QtMessagesNeverNameThePlaceTheyComeFrom)
{
    QStringList places;
    QStringList messages;
    Log::setObserver([&](LogLevel, const QString &message, const char *file, const char *function, int line) {
        messages.append(message);
        places.append(QString::fromUtf8(file) + QLatin1Char(' ') + QString::fromUtf8(function) + QLatin1Char(' ')
                      + QString::number(line));
    });
    QtMessages::install();
    QMessageLogger("https://example.org/reset-password?token=s3cr3t-token", 8624, "https://example.org/s3cr3t-function",
                   "js")
        .warning("Uncaught ReferenceError");
    QMessageLogger("/home/someone/s3cr3t-folder/file.cpp", 12, nullptr).critical("failed");
    qInstallMessageHandler(nullptr);
    Log::setObserver({});

    ASSERT_EQ(places.size(), 2);
    for (const QString &message : messages)
        EXPECT_FALSE(message.contains(QStringLiteral("s3cr3t"))) << message.toStdString();
    for (const QString &place : places)
        EXPECT_EQ(place, QStringLiteral("Qt  0"));
}
