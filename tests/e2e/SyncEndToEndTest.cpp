// Two real TaviPaste processes, each with its own home and its own X display, syncing through
// one folder: what is copied under the first reaches the second's history.

#include "EndToEndSupport.h"
#include "TaviSession.h"

#include "core/sync/SyncFolder.h"
#include "platform/CloudKeyValueStore.h"
#include "support/TestEnvironment.h"

#include <SQLiteCpp/Database.h>

#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                                                QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                                                QStringLiteral("1024x768x24")});
        QByteArray output;
        if (m_server.waitForStarted(5000))
            waitUntil([&] {
                output += m_server.readAllStandardOutput();
                return output.contains('\n');
            }, 10000);
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
                                          {QStringLiteral("syncFolderPath"), folder},
                                          {QStringLiteral("syncFolderKey"), key.bytes()}});
    const QString dataDir = environment.value(QStringLiteral("XDG_DATA_HOME")) + QStringLiteral("/TaviPaste");
    QDir().mkpath(dataDir);
    CloudKeyValueStore(dataDir + QStringLiteral("/cloud-kvs.json")).setValue(QStringLiteral("enableCloudSync"), true);
}

int storedCopies(const QProcessEnvironment &environment, const QByteArray &text)
{
    const QString path = environment.value(QStringLiteral("XDG_DATA_HOME")) + QStringLiteral("/TaviPaste/PBHistory.sqlite");
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
    const SyncFolder::Joined joined = SyncFolder(folder).join(QStringLiteral("both know this"), SyncKey::Cost::minimal());
    ASSERT_TRUE(joined.key);

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

    const QByteArray text = "copied on the first " + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    QProcessEnvironment copier = first.environment();
    auto copy = std::make_unique<QProcess>();
    copy->setProcessEnvironment(copier);
    copy->start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
    ASSERT_TRUE(copy->waitForStarted(5000));
    copy->write(text);
    copy->closeWriteChannel();

    EXPECT_TRUE(waitUntil([&] { return storedCopies(first.environment(), text) == 1; }, 20000)) << "the first did not keep the copy";
    EXPECT_TRUE(waitUntil([&] { return storedCopies(secondEnvironment, text) == 1; }, 30000)) << "the copy did not reach the second";
    copy->kill();
    copy->waitForFinished(2000);
    EXPECT_TRUE(one.terminate());
    EXPECT_TRUE(two.terminate());
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
