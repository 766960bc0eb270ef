// The history of the real program against other programs that open its store: a database
// browser's or a backup script's session, and a crash right after; a crash the store's shared
// memory file cut short causes, told at the next start; a quit during a copy of many files.

#include "EndToEndSupport.h"
#include "TaviSession.h"

#include "support/TestEnvironment.h"

#include <SQLiteCpp/Database.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>

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

// Another program owns the clipboard with the text (of the type) until the copy is stopped.
std::unique_ptr<QProcess> copy(const QProcessEnvironment &environment, const QByteArray &text,
                               const QString &type = QStringLiteral("UTF8_STRING"))
{
    auto xclip = std::make_unique<QProcess>();
    xclip->setProcessEnvironment(environment);
    xclip->start(QStringLiteral("xclip"),
                 {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                  QStringLiteral("-t"), type, QStringLiteral("-i")});
    xclip->waitForStarted(5000);
    xclip->write(text);
    xclip->closeWriteChannel();
    return xclip;
}

// The program's shown windows with this very title. (A dialog's title is not always found by a
// search by name.)
QList<QByteArray> shownWindows(const QByteArray &title)
{
    QList<QByteArray> shown;
    const QByteArray windows = EndToEnd::xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                        QStringLiteral("--classname"), QStringLiteral("^tavipaste$")});
    for (const QByteArray &window : windows.split('\n')) {
        if (!window.isEmpty()
            && EndToEnd::xdotoolOutput({QStringLiteral("getwindowname"), QString::fromLatin1(window)}).trimmed()
                   == title)
            shown.append(window);
    }
    return shown;
}

QByteArray randomTag() { return QByteArray::number(QRandomGenerator::global()->generate64(), 36); }
// Three copies, whatever `meanwhile` does with the running program, a read-write sqlite3 session
// of the user's on the store, three more copies, and a kill: every copy is in the store.
void copiesSurviveASqliteSessionAndAKill(TaviSession &session, const QProcessEnvironment &environment,
                                         const std::function<void()> &meanwhile)
{
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
    meanwhile();

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
    if (::testing::Test::HasFailure())
        session.printLogs();
}
} // namespace

TEST(StoreEndToEnd, CopiesMadeAfterAnotherProgramReadTheStoreSurviveAKill)
{
    if (!hasTools())
        GTEST_SKIP() << "needs an X display, xclip, sqlite3 and dbus-daemon";
    TaviSession session;
    copiesSurviveASqliteSessionAndAKill(session, EndToEnd::isolatedEnvironment(session), [] {});
}

// The store's file copied under other names (a link named as an image, a hard link without an
// extension) is captured and listed without being opened: closing a descriptor of it would drop
// the locks the store's connections hold.
TEST(StoreEndToEnd, CopyingTheStoreFileUnderAnotherNameLeavesTheStoreItsLocks)
{
    if (!hasTools() || !EndToEnd::hasProgram("xdotool"))
        GTEST_SKIP() << "needs an X display, xclip, xdotool, sqlite3 and dbus-daemon";
    TaviSession session;
    const QProcessEnvironment environment = EndToEnd::isolatedEnvironment(session);
    const QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    copiesSurviveASqliteSessionAndAKill(session, environment, [&] {
        const QString image = dataHome + QStringLiteral("/shot.png");
        const QString alias = dataHome + QStringLiteral("/history-copy");
        ASSERT_TRUE(QFile::link(storePath(environment), image));
        ASSERT_EQ(::link(QFile::encodeName(storePath(environment)).constData(), QFile::encodeName(alias).constData()),
                  0);
        const qint64 before = EndToEnd::storedItems(dataHome);
        const QByteArray list = QUrl::fromLocalFile(image).toEncoded() + "\n" + QUrl::fromLocalFile(alias).toEncoded();
        auto owner = copy(environment, list, QStringLiteral("text/uri-list"));
        EXPECT_TRUE(waitUntil([&] { return EndToEnd::storedItems(dataHome) == before + 2; }, 15000))
            << "the files were not stored";
        EndToEnd::stop(*owner);
        // The list shows their rows, and closes again: copies made while it is the active window
        // would count as the program's own.
        const auto listShown = [] {
            return !EndToEnd::xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), QStringLiteral("^TaviPaste$")})
                        .isEmpty();
        };
        ASSERT_TRUE(EndToEnd::xdotool({QStringLiteral("key"), QStringLiteral("shift+super+a")}));
        EXPECT_TRUE(waitUntil(listShown, 10000)) << "the list did not open";
        ASSERT_TRUE(EndToEnd::xdotool({QStringLiteral("key"), QStringLiteral("shift+super+h")}));
        EXPECT_TRUE(waitUntil([&] { return !listShown(); }, 10000)) << "the list did not close";
    });
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
        EXPECT_TRUE(waitUntil([&] { return storedCopies(path, texts.last()) == 1; }, 15000))
            << "copy " << i << " was not stored";
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

TEST(StoreEndToEnd, ACrashIsToldAtTheNextStartAndTheHistoryIsIntact)
{
    if (!hasTools() || !EndToEnd::hasProgram("xdotool"))
        GTEST_SKIP() << "needs an X display, xclip, xdotool, sqlite3 and dbus-daemon";
    TaviSession session;
    const QProcessEnvironment environment = EndToEnd::isolatedEnvironment(session);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    const QByteArray kept = "kept before the crash " + randomTag();
    {
        TaviProcess tavi(environment);
        ASSERT_TRUE(session.waitForLog("TaviPaste is running")) << "TaviPaste did not start";
        auto owner = copy(environment, kept);
        ASSERT_TRUE(waitUntil(
            [&] { return EndToEnd::storedItems(environment.value(QStringLiteral("XDG_DATA_HOME"))) == 1; }, 15000));
        EndToEnd::stop(*owner);
        // Another program cuts the store's shared memory file short: the next use of its map
        // ends the program (SIGBUS).
        ASSERT_TRUE(QFile::resize(storePath(environment) + QStringLiteral("-shm"), 0));
        auto next = copy(environment, "the copy that meets the cut file " + randomTag());
        ASSERT_TRUE(waitUntil([&] { return !tavi.isRunning(); }, 20000)) << "the cut file did not end the program";
        EXPECT_EQ(tavi.process().exitStatus(), QProcess::CrashExit);
        EndToEnd::stop(*next);
    }
    const QStringList reports =
        QDir(stateHome + QStringLiteral("/TaviPaste/crashes")).entryList({QStringLiteral("crash-*.txt")});
    ASSERT_EQ(reports.size(), 1) << "no crash report";

    // The next start says so, once, in a dialog of its own.
    TaviProcess again(environment);
    ASSERT_TRUE(waitUntil([&] { return session.logLinesContaining("TaviPaste is running") == 2; }, 15000))
        << "no restart";
    QList<QByteArray> told;
    EXPECT_TRUE(waitUntil([&] { return !(told = shownWindows("TaviPaste")).isEmpty(); }, 15000))
        << "the crash was not told";
    EXPECT_EQ(told.size(), 1);
    EXPECT_TRUE(
        QDir(stateHome + QStringLiteral("/TaviPaste/crashes")).entryList({QStringLiteral("crash-*.txt")}).isEmpty())
        << "the report would be told again";
    for (const QByteArray &window : told)
        EndToEnd::xdotool({QStringLiteral("windowclose"), QString::fromLatin1(window)});
    EXPECT_TRUE(waitUntil([&] { return shownWindows("TaviPaste").isEmpty(); }, 10000));
    EXPECT_EQ(EndToEnd::storedItems(environment.value(QStringLiteral("XDG_DATA_HOME"))), 1) << "the saved copy is gone";
    EXPECT_TRUE(again.terminate());
    if (HasFailure())
        session.printLogs();
}

TEST(StoreEndToEnd, AQuitDuringACopyOfManyFilesEndsAtOnceWithTheHistorySavedLast)
{
    if (!hasTools() || !EndToEnd::hasProgram("xdotool"))
        GTEST_SKIP() << "needs an X display, xclip, xdotool, sqlite3 and dbus-daemon";
    TaviSession session;
    const QProcessEnvironment environment = EndToEnd::isolatedEnvironment(session);
    const QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    QTemporaryDir folder;
    constexpr int kFiles = 20000;
    QByteArray list;
    for (int i = 0; i < kFiles; ++i) {
        const QString path = folder.filePath(QStringLiteral("file %1.txt").arg(i));
        QFile(path).open(QIODevice::WriteOnly);
        list += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    }

    TaviProcess tavi(environment);
    ASSERT_TRUE(session.waitForLog("TaviPaste is running")) << "TaviPaste did not start";
    auto owner = copy(environment, list, QStringLiteral("text/uri-list"));
    // The copy is being taken: its first items are saved, most are still to come.
    ASSERT_TRUE(waitUntil([&] { return EndToEnd::storedItems(dataHome) > 0; }, 60000)) << "the copy was not taken";
    QElapsedTimer quitting;
    quitting.start();
    EXPECT_TRUE(tavi.terminate()) << "TaviPaste did not quit cleanly in time";
    EXPECT_LT(quitting.elapsed(), 5000);
    const QList<QByteArray> last = EndToEnd::lastLogLines(environment.value(QStringLiteral("XDG_STATE_HOME")), 1);
    ASSERT_EQ(last.size(), 1);
    EXPECT_TRUE(last.first().contains("History saved")) << "the log ends with: " << last.first().constData();
    EXPECT_GT(EndToEnd::storedItems(dataHome), 0);
    EndToEnd::stop(*owner);
    if (HasFailure())
        session.printLogs();
}
