// Two real TaviPaste processes, each with its own home and its own X display, syncing through
// one folder: what is copied under the first reaches the second's history, past a third device's
// file that holds no records, and everything they make in the folder is theirs alone.

#include "EndToEndSupport.h"
#include "TaviSession.h"

#include "core/sync/SyncFolder.h"
#include "core/sync/SyncSegment.h"
#include "platform/CloudKeyValueStore.h"
#include "support/TestEnvironment.h"

#include <SQLiteCpp/Database.h>

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
bool hasTools()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") && EndToEnd::hasProgram("xclip") && EndToEnd::hasProgram("Xvfb")
           && EndToEnd::hasProgram("dbus-daemon");
}

// A second X server, so each program has a clipboard of its own.
class SecondDisplay {
public:
    SecondDisplay()
    {
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1024x768x24")});
        QByteArray output;
        if (m_server.waitForStarted(5000))
            waitUntil(
                [&] {
                    output += m_server.readAllStandardOutput();
                    return output.contains('\n');
                },
                10000);
        if (output.contains('\n'))
            name = QLatin1Char(':') + QString::fromLatin1(output.trimmed());
    }
    ~SecondDisplay()
    {
        m_server.terminate();
        m_server.waitForFinished(3000);
    }
    QString name;

private:
    QProcess m_server;
};

void setUpSync(const QProcessEnvironment &environment, const QString &folder, const SyncKey &key)
{
    EndToEnd::writeDefaults(environment, {{QStringLiteral("alreadyShowTutorial"), true},
                                          {QStringLiteral("noAutoLaunchHint"), true},
                                          {QStringLiteral("syncFolderPath"), folder},
                                          {QStringLiteral("syncFolderKey"), key.bytes()}});
    const QString dataDir = environment.value(QStringLiteral("XDG_DATA_HOME")) + QStringLiteral("/TaviPaste");
    QDir().mkpath(dataDir);
    CloudKeyValueStore(dataDir + QStringLiteral("/cloud-kvs.json")).setValue(QStringLiteral("enableCloudSync"), true);
}

// Sets the umask for as long as it lives.
class Umask {
public:
    explicit Umask(mode_t mask) : m_previous(::umask(mask)) {}
    ~Umask() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

// A file of a device that no longer syncs: sealed with the folder's key, holding no records.
void writeEmptySegment(const QString &folder, const SyncKey &key)
{
    const QString device = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString name = SyncFolder::segmentName(1);
    const QJsonObject content{{QStringLiteral("format"), SyncFolder::kFormat},
                              {QStringLiteral("device"), device},
                              {QStringLiteral("number"), 1},
                              {QStringLiteral("records"), QJsonArray()}};
    const QString directory = folder + QStringLiteral("/devices/") + device;
    ASSERT_TRUE(QDir().mkdir(directory));
    QFile::setPermissions(directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile file(directory + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(SyncSegment::seal(key, device, name, content));
}

// Folders and files under `folder` (not the folder itself) whose modes let others in.
QStringList openToOthers(const QString &folder)
{
    QStringList open;
    QDirIterator entries(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString path = entries.next();
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && (info.st_mode & 0077) != 0)
            open << QDir(folder).relativeFilePath(path) + QStringLiteral(" %1").arg(info.st_mode & 07777, 0, 8);
    }
    return open;
}

int storedCopies(const QProcessEnvironment &environment, const QByteArray &text)
{
    const QString path =
        environment.value(QStringLiteral("XDG_DATA_HOME")) + QStringLiteral("/TaviPaste/PBHistory.sqlite");
    if (!QFile::exists(path))
        return 0;
    try {
        SQLite::Database database(path.toStdString(), SQLite::OPEN_READONLY, 2000);
        SQLite::Statement query(database, "SELECT count(*) FROM PBItemRecord WHERE text = ?");
        query.bind(1, text.toStdString());
        return query.executeStep() ? query.getColumn(0).getInt() : 0;
    } catch (const std::exception &) {
        return 0;
    }
}
} // namespace

TEST(SyncEndToEnd, ATextCopiedUnderTheFirstAppearsInTheSecondsHistory)
{
    if (!hasTools())
        GTEST_SKIP() << "needs an X display, Xvfb, xclip and dbus-daemon";
    SecondDisplay display;
    ASSERT_FALSE(display.name.isEmpty()) << "no second X server";
    QTemporaryDir shared;
    const QString folder = shared.filePath(QStringLiteral("sync"));
    QDir().mkpath(folder);
    const SyncFolder::Joined joined =
        SyncFolder(folder).join(QStringLiteral("both know this"), SyncKey::Cost::minimal());
    ASSERT_TRUE(joined.key);
    // What the programs make in the folder is made under the usual umask.
    const Umask usual(022);

    TaviSession first;
    TaviSession second;
    QProcessEnvironment secondEnvironment = second.environment();
    secondEnvironment.insert(QStringLiteral("DISPLAY"), display.name);
    setUpSync(first.environment(), folder, *joined.key);
    setUpSync(secondEnvironment, folder, *joined.key);

    TaviProcess one(first.environment());
    TaviProcess two(secondEnvironment);
    ASSERT_TRUE(first.waitForLog("TaviPaste is running")) << "the first did not start";
    ASSERT_TRUE(second.waitForLog("TaviPaste is running")) << "the second did not start";
    // Once both have their folders, a third device's file without records arrives.
    ASSERT_TRUE(waitUntil(
        [&] {
            return QDir(folder + QStringLiteral("/devices")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() == 2;
        },
        20000))
        << "the programs made no folders of their own";
    writeEmptySegment(folder, *joined.key);

    const QByteArray text = "copied on the first " + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    QProcessEnvironment copier = first.environment();
    auto copy = std::make_unique<QProcess>();
    copy->setProcessEnvironment(copier);
    copy->start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                          QStringLiteral("clipboard"), QStringLiteral("-i")});
    ASSERT_TRUE(copy->waitForStarted(5000));
    copy->write(text);
    copy->closeWriteChannel();

    EXPECT_TRUE(waitUntil([&] { return storedCopies(first.environment(), text) == 1; }, 20000))
        << "the first did not keep the copy";
    EXPECT_TRUE(waitUntil([&] { return storedCopies(secondEnvironment, text) == 1; }, 30000))
        << "the copy did not reach the second";
    copy->kill();
    copy->waitForFinished(2000);
    EXPECT_TRUE(one.terminate());
    EXPECT_TRUE(two.terminate());
    EXPECT_EQ(openToOthers(folder), QStringList());
    // Nothing of the copy is readable in the shared folder.
    QProcess grep;
    grep.start(QStringLiteral("grep"), {QStringLiteral("-rl"), QString::fromLatin1(text), folder});
    grep.waitForFinished(5000);
    EXPECT_TRUE(grep.readAllStandardOutput().isEmpty());
    if (HasFailure()) {
        first.printLogs();
        second.printLogs();
    }
}

// Every way a user or the session quits, with sync on: the program ends with status 0, nothing
// on its standard error reports a fault (the build under test is sanitized), and the log's last
// lines say the history was saved. Each run copies new texts first, so the mirror has work.
TEST(SyncEndToEnd, EveryQuitWithSyncOnExitsCleanlyWithTheHistorySaved)
{
    if (!hasTools() || !EndToEnd::hasProgram("trayer") || !EndToEnd::hasProgram("xdotool"))
        GTEST_SKIP() << "needs an X display, Xvfb, xclip, dbus-daemon, trayer and xdotool";
    QTemporaryDir shared;
    const QString folder = shared.filePath(QStringLiteral("sync"));
    QDir().mkpath(folder);
    const SyncFolder::Joined joined =
        SyncFolder(folder).join(QStringLiteral("quit with sync"), SyncKey::Cost::minimal());
    ASSERT_TRUE(joined.key);
    EndToEnd::Tray tray;
    ASSERT_TRUE(tray.isUp()) << "trayer did not start";
    TaviSession session;
    const QProcessEnvironment environment = session.environment();
    setUpSync(environment, folder, *joined.key);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));

    enum class Route { Signal, Interrupt, TrayMenu };
    int run = 0;
    for (const Route route : {Route::Signal, Route::TrayMenu, Route::Interrupt}) {
        SCOPED_TRACE(route == Route::Signal      ? "SIGTERM"
                     : route == Route::Interrupt ? "SIGINT"
                                                 : "the tray menu's Quit");
        ++run;
        TaviProcess tavi(environment);
        ASSERT_TRUE(waitUntil([&] { return EndToEnd::logCount(stateHome, "TaviPaste is running") == run; }, 15000))
            << "TaviPaste did not start";
        ASSERT_TRUE(session.waitForLog("store changes logged for sync")) << "sync did not start";
        std::vector<std::unique_ptr<QProcess>> copiers;
        const int added = EndToEnd::logCount(stateHome, "items: 1 new");
        for (int i = 0; i < 3; ++i) {
            const QByteArray text = "quit " + QByteArray::number(run) + " copy " + QByteArray::number(i);
            copiers.push_back(EndToEnd::copyWithXclip(text));
            ASSERT_TRUE(
                waitUntil([&] { return EndToEnd::logCount(stateHome, "items: 1 new") == added + i + 1; }, 10000))
                << "not captured: " << text.constData();
        }
        switch (route) {
        case Route::Signal: tavi.process().terminate(); break;
        case Route::Interrupt: ::kill(pid_t(tavi.process().processId()), SIGINT); break;
        case Route::TrayMenu:
            ASSERT_TRUE(tray.waitForIcon()) << "the status icon did not dock";
            ASSERT_TRUE(EndToEnd::openMenu(tray)) << "the tray menu did not open";
            ASSERT_TRUE(EndToEnd::xdotool({QStringLiteral("key"), QStringLiteral("q")}));
            break;
        }
        ASSERT_TRUE(waitUntil([&] { return !tavi.isRunning(); }, 20000)) << "TaviPaste did not quit";
        EXPECT_EQ(tavi.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tavi.process().exitCode(), 0);
        const QByteArray fault = EndToEnd::faultReport(tavi.standardError());
        EXPECT_TRUE(fault.isEmpty()) << fault.constData();
        // Nothing follows the save: not capture, nor the sync engine.
        const QList<QByteArray> last = EndToEnd::lastLogLines(stateHome, 3);
        EXPECT_TRUE(!last.isEmpty() && last.last().contains("History saved")) << "the log ends with:\n"
                                                                              << last.join('\n').constData();
        EXPECT_EQ(EndToEnd::logCount(stateHome, "History saved"), run);
        for (auto &copier : copiers)
            EndToEnd::stop(*copier);
    }
    if (HasFailure())
        session.printLogs();
}

// The session ends without a word: the X server goes away under the program, and the toolkit
// ends the process from inside its event loop. The history is saved and the sync engine stopped
// on that road too, without a fault.
TEST(SyncEndToEnd, LosingTheDisplayWithSyncOnSavesTheHistoryWithoutAFault)
{
    if (!hasTools())
        GTEST_SKIP() << "needs an X display, Xvfb, xclip and dbus-daemon";
    auto display = std::make_unique<SecondDisplay>();
    ASSERT_FALSE(display->name.isEmpty()) << "no second X server";
    QTemporaryDir shared;
    const QString folder = shared.filePath(QStringLiteral("sync"));
    QDir().mkpath(folder);
    const SyncFolder::Joined joined = SyncFolder(folder).join(QStringLiteral("display goes"), SyncKey::Cost::minimal());
    ASSERT_TRUE(joined.key);
    TaviSession session;
    QProcessEnvironment environment = session.environment();
    environment.insert(QStringLiteral("DISPLAY"), display->name);
    setUpSync(environment, folder, *joined.key);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));

    TaviProcess tavi(environment);
    ASSERT_TRUE(session.waitForLog("TaviPaste is running")) << "TaviPaste did not start";
    ASSERT_TRUE(session.waitForLog("store changes logged for sync")) << "sync did not start";
    QProcess copy;
    copy.setProcessEnvironment(environment);
    copy.start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                         QStringLiteral("clipboard"), QStringLiteral("-i")});
    ASSERT_TRUE(copy.waitForStarted(5000));
    copy.write("copied before the display went");
    copy.closeWriteChannel();
    ASSERT_TRUE(session.waitForLog("items: 1 new")) << "not captured";

    display.reset();
    ASSERT_TRUE(waitUntil([&] { return !tavi.isRunning(); }, 20000)) << "TaviPaste did not end";
    // Its session ended: no failure of its own, and everything was saved.
    EXPECT_EQ(tavi.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tavi.process().exitCode(), 0);
    const QByteArray fault = EndToEnd::faultReport(tavi.standardError());
    EXPECT_TRUE(fault.isEmpty()) << fault.constData();
    // Nothing follows the save: not the X threads, nor capture, nor the sync engine.
    const QList<QByteArray> last = EndToEnd::lastLogLines(stateHome, 3);
    EXPECT_TRUE(!last.isEmpty() && last.last().contains("History saved")) << "the log ends with:\n"
                                                                          << last.join('\n').constData();
    EXPECT_EQ(storedCopies(environment, "copied before the display went"), 1);
    copy.kill();
    copy.waitForFinished(2000);
    if (HasFailure()) {
        std::fprintf(stderr, "standard error: %s\n", tavi.standardError().constData());
        session.printLogs();
    }
}
