// The history of the real program against other programs that open its store: a database
// browser's or a backup script's session, and a crash right after.

#include "EndToEndSupport.h"
#include "TaviSession.h"

#include "support/TestEnvironment.h"

#include <SQLiteCpp/Database.h>

#include <QFile>
#include <QTemporaryDir>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {
bool hasTools()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") && EndToEnd::hasProgram("xclip") && EndToEnd::hasProgram("sqlite3")
        && EndToEnd::hasProgram("dbus-daemon");
}

QString storePath(const QProcessEnvironment &environment)
{
    return environment.value(QStringLiteral("XDG_DATA_HOME")) + QStringLiteral("/TaviPaste/PBHistory.sqlite");
}

// How many items hold the text, read by a connection of the test's own; -1 when it cannot be read.
int storedCopies(const QString &path, const QByteArray &text)
{
    if (!QFile::exists(path))
        return -1;
    try {
        SQLite::Database database(path.toStdString(), SQLite::OPEN_READONLY, 2000);
        SQLite::Statement query(database, "SELECT count(*) FROM PBItemRecord WHERE text = ?");
        query.bind(1, text.toStdString());
        return query.executeStep() ? query.getColumn(0).getInt() : -1;
    } catch (const std::exception &) {
        return -1;
    }
}

// Another program owns the clipboard with the text until the copy is stopped.
std::unique_ptr<QProcess> copy(const QProcessEnvironment &environment, const QByteArray &text)
{
    auto xclip = std::make_unique<QProcess>();
    xclip->setProcessEnvironment(environment);
    xclip->start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                           QStringLiteral("-i")});
    xclip->waitForStarted(5000);
    xclip->write(text);
    xclip->closeWriteChannel();
    return xclip;
}
} // namespace

TEST(StoreEndToEnd, CopiesMadeAfterAnotherProgramReadTheStoreSurviveAKill)
{
    if (!hasTools())
        GTEST_SKIP() << "needs an X display, xclip, sqlite3 and dbus-daemon";
    TaviSession session;
    const QProcessEnvironment environment = EndToEnd::isolatedEnvironment(session);
    const QString path = storePath(environment);
    const QByteArray run = QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    QList<QByteArray> texts;
    for (int i = 0; i < 6; ++i)
        texts.append("copy " + QByteArray::number(i) + " of " + run);

    TaviProcess tavi(environment);
    ASSERT_TRUE(session.waitForLog("TaviPaste is running")) << "TaviPaste did not start";
    const auto copyAndWait = [&](const QByteArray &text) {
        auto owner = copy(environment, text);
        const bool stored = waitUntil([&] { return storedCopies(path, text) == 1; }, 15000);
        EndToEnd::stop(*owner);
        return stored;
    };
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(copyAndWait(texts[i])) << "copy " << i << " was not stored";

    // The user looks into the store with the sqlite3 shell (read-write, as it opens by default)
    // while TaviPaste runs; the shell must see that it is not alone and leave the log in place.
    EXPECT_TRUE(EndToEnd::run(QStringLiteral("sqlite3"), {path, QStringLiteral("SELECT count(*) FROM PBItemRecord")}));

    for (int i = 3; i < 6; ++i)
        EXPECT_TRUE(copyAndWait(texts[i])) << "copy " << i << " was not stored";

    tavi.process().kill();
    ASSERT_TRUE(waitUntil([&] { return !tavi.isRunning(); }, 10000));
    EXPECT_EQ(tavi.process().exitStatus(), QProcess::CrashExit);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(storedCopies(path, texts[i]), 1) << "copy " << i << " lost after the kill";
    if (HasFailure())
        session.printLogs();
}

TEST(StoreEndToEnd, AfterAQuitTheStoreFileAloneHoldsEveryCopy)
{
    if (!hasTools())
        GTEST_SKIP() << "needs an X display, xclip, sqlite3 and dbus-daemon";
    TaviSession session;
    const QProcessEnvironment environment = EndToEnd::isolatedEnvironment(session);
    const QString path = storePath(environment);
    const QByteArray run = QByteArray::number(QRandomGenerator::global()->generate64(), 36);

    TaviProcess tavi(environment);
    ASSERT_TRUE(session.waitForLog("TaviPaste is running")) << "TaviPaste did not start";
    QList<QByteArray> texts;
    for (int i = 0; i < 3; ++i) {
        texts.append("kept copy " + QByteArray::number(i) + " of " + run);
        auto owner = copy(environment, texts.last());
        EXPECT_TRUE(waitUntil([&] { return storedCopies(path, texts.last()) == 1; }, 15000)) << "copy " << i << " was not stored";
        EndToEnd::stop(*owner);
    }
    ASSERT_TRUE(tavi.terminate()) << "TaviPaste did not quit cleanly";

    // A backup that copies only the store file, as a user's script may.
    QTemporaryDir backup;
    const QString copied = backup.filePath(QStringLiteral("PBHistory.sqlite"));
    ASSERT_TRUE(QFile::copy(path, copied));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(storedCopies(copied, texts[i]), 1) << "copy " << i << " is only in the log beside the store";
    if (HasFailure())
        session.printLogs();
}
