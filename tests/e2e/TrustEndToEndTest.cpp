// What a user must be able to trust of the real program: a password manager's copy leaves no
// trace, one TaviPaste runs per session, and without a display it says why it cannot start.

#include "TaviSession.h"

#include "core/StringExtensions.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool hasDisplayAndTools()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") && !QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()
           && !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()
           && !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty();
}

// Another program's copy: xclip stays as the clipboard's owner until it is stopped.
class XclipCopy {
public:
    XclipCopy(const QByteArray &text, const QProcessEnvironment &environment)
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                                  QStringLiteral("clipboard"), QStringLiteral("-i")});
        m_process.waitForStarted(5000);
        m_process.write(text);
        m_process.closeWriteChannel();
    }
    ~XclipCopy()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }

private:
    QProcess m_process;
};

bool isPanelShown()
{
    return runToEnd(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                QStringLiteral("--name"), QStringLiteral("^TaviPaste$")});
}

} // namespace

TEST(TrustEndToEnd, APasswordManagersCopyIsInNoFileAndNoOutputOfTheProgram)
{
    if (!hasDisplayAndTools())
        GTEST_SKIP() << "needs an X display with xclip, xdotool and dbus-daemon";
    TaviSession session;
    QProcessEnvironment environment = session.environment();
    const QByteArray secret = "hunter2-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    {
        // Whatever the umask the user has, what the program writes stays private.
        TaviProcess tavi(environment, [] { ::umask(0); });
        ASSERT_TRUE(session.waitForLog("TaviPaste is running")) << "TaviPaste did not start";
        // The user works in a window of another program.
        QProcess writer;
        writer.setProcessEnvironment(environment);
        writer.start(QStringLiteral(TAVI_X11_PEER),
                     {QStringLiteral("window"), QStringLiteral("TaviWriter"), QStringLiteral("Writer window")});
        QByteArray window;
        ASSERT_TRUE(waitUntil(
            [&] {
                window += writer.readAllStandardOutput();
                return window.contains('\n');
            },
            10000));
        ASSERT_TRUE(
            runToEnd(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                                 QString::fromLatin1(window.trimmed().mid(int(qstrlen("WINDOW:"))))}));

        // The password manager offers the text with its hint, as KeePassXC does.
        QProcess passwords;
        passwords.setProcessEnvironment(environment);
        passwords.start(QStringLiteral(TAVI_X11_PEER), {QStringLiteral("secret"), QString::fromLatin1(secret)});
        ASSERT_TRUE(waitUntil([&] { return passwords.readAllStandardOutput().contains("COPIED:1"); }, 10000));
        EXPECT_TRUE(session.waitForLog("concealed item")) << "the concealed copy was not seen";

        // The next copy is captured as usual, so the one before it has been dealt with.
        const QByteArray ordinary =
            "an ordinary copy " + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        XclipCopy copy(ordinary, environment);
        EXPECT_TRUE(session.waitForLog("items: 1 new")) << "the ordinary copy was not captured";
        passwords.kill();
        passwords.waitForFinished(2000);
        writer.kill();
        writer.waitForFinished(2000);
        EXPECT_TRUE(tavi.terminate());

        EXPECT_FALSE(tavi.standardOutput().contains(secret));
        EXPECT_FALSE(tavi.standardError().contains(secret));
        EXPECT_EQ(session.logLinesContaining("concealed item"), 1);
    }
    QStringList programFolders;
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        programFolders.append(session.folder(variable) + QStringLiteral("/TaviPaste"));
    EXPECT_EQ(entriesWiderThanPrivate(programFolders), QStringList()) << "under a umask of 0";
    EXPECT_EQ(session.filesContaining(secret), QStringList());
    EXPECT_EQ(session.filesContaining(md5(QString::fromLatin1(secret)).toLatin1()), QStringList());
    EXPECT_EQ(session.filesContaining(secret.toBase64()), QStringList());
    if (HasFailure())
        session.printLogs();
}

TEST(TrustEndToEnd, OutputToAReaderThatIsGoneNeverEndsTheProgram)
{
    if (!hasDisplayAndTools())
        GTEST_SKIP() << "needs an X display with xclip, xdotool and dbus-daemon";
    // As when the login helper that started it has quit: its output and error are pipes nobody
    // reads any more. Its log lines go there too, so it writes to them from the start.
    TaviSession session;
    QProcessEnvironment environment = session.environment();
    environment.insert(QStringLiteral("TAVI_LOG_STDERR"), QStringLiteral("1"));
    TaviProcess tavi(environment, [] {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        ::close(ends[0]);
        ::dup2(ends[1], STDOUT_FILENO);
        ::dup2(ends[1], STDERR_FILENO);
        ::close(ends[1]);
    });
    ASSERT_TRUE(session.waitForLog("TaviPaste is running"));
    // Each copy logs a line to the gone reader too: the second one logged shows that the program
    // lived on after writing the first.
    for (int copies = 1; copies <= 2; ++copies) {
        XclipCopy copy("written to nobody " + QByteArray::number(copies), environment);
        ASSERT_TRUE(waitUntil([&] { return session.logLinesContaining("items: 1 new") == copies; }, 15000))
            << "copy " << copies << " was not logged";
    }
    EXPECT_TRUE(tavi.isRunning());
    EXPECT_TRUE(tavi.terminate());
    if (HasFailure())
        session.printLogs();
}

TEST(TrustEndToEnd, TwoStartedTogetherLeaveOneRunningThatShowsItsPanel)
{
    if (!hasDisplayAndTools())
        GTEST_SKIP() << "needs an X display with xclip, xdotool and dbus-daemon";
    TaviSession session;
    TaviProcess first(session.environment());
    TaviProcess second(session.environment());

    ASSERT_TRUE(waitUntil([&] { return !first.isRunning() || !second.isRunning(); }, 30000)) << "both kept running";
    TaviProcess &quit = first.isRunning() ? second : first;
    TaviProcess &running = first.isRunning() ? first : second;
    EXPECT_EQ(quit.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quit.process().exitCode(), 0);
    const QByteArray told = quit.standardError();
    EXPECT_TRUE(told.contains("TaviPaste is already running")) << told.constData();

    ASSERT_TRUE(session.waitForLog("TaviPaste is running"));
    EXPECT_TRUE(running.isRunning());
    EXPECT_TRUE(waitUntil([] { return isPanelShown(); }, 10000)) << "the running one did not show its panel";
    // The second never opened the log (nor the store): one start is logged.
    EXPECT_EQ(session.logLinesContaining("Platform backends:"), 1);
    EXPECT_EQ(session.logLinesContaining("TaviPaste is running"), 1);

    // One started later while it runs quits the same way.
    TaviProcess third(session.environment());
    EXPECT_TRUE(waitUntil([&] { return !third.isRunning(); }, 20000));
    EXPECT_EQ(third.process().exitCode(), 0);
    EXPECT_TRUE(running.isRunning());
    EXPECT_TRUE(running.terminate());
    if (HasFailure())
        session.printLogs();
}

TEST(TrustEndToEnd, WithoutAnXDisplayItSaysSoInOneSentenceAndExitsWithOne)
{
    TaviSession session;
    struct Case {
        const char *what;
        QString display;        // empty: unset
        QString waylandDisplay; // empty: unset
    };
    const Case cases[] = {
        {"DISPLAY unset", QString(), QString()},
        {"a Wayland session without XWayland", QString(), QStringLiteral("wayland-tavi-test")},
        {"no X server at DISPLAY", QStringLiteral(":4711"), QString()},
    };
    for (const Case &c : cases) {
        QProcessEnvironment environment = session.environment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        if (!c.display.isEmpty())
            environment.insert(QStringLiteral("DISPLAY"), c.display);
        if (!c.waylandDisplay.isEmpty())
            environment.insert(QStringLiteral("WAYLAND_DISPLAY"), c.waylandDisplay);
        TaviProcess tavi(environment);
        ASSERT_TRUE(waitUntil([&] { return !tavi.isRunning(); }, 20000)) << c.what;
        EXPECT_EQ(tavi.process().exitStatus(), QProcess::NormalExit) << c.what;
        EXPECT_EQ(tavi.process().exitCode(), 1) << c.what;
        const QList<QByteArray> lines = tavi.standardError().trimmed().split('\n');
        EXPECT_EQ(lines.size(), 1) << c.what << ": " << tavi.standardError().constData();
        EXPECT_TRUE(lines.value(0).contains("X11 display")) << c.what << ": " << tavi.standardError().constData();
    }
    EXPECT_EQ(session.logLinesContaining(""), 0) << "nothing was started";
}
