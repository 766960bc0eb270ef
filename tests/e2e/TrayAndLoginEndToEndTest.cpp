// The tray menu, launch at login and the installed program, as a user meets them: the real
// program docked in a real tray (trayer), the menu driven by mouse and keys, the program installed
// by cmake --install and started from its .desktop file, and its autostart entry run as the
// session runs it.

#include "EndToEndSupport.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRect>
#include <QStandardPaths>
#include <QVariantMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

using namespace EndToEnd;

namespace {

// Prints the program's logs when the test has failed by the time it goes, also after an ASSERT.
class LogsOnFailure {
public:
    explicit LogsOnFailure(QString stateHome) : m_stateHome(std::move(stateHome)) {}
    ~LogsOnFailure()
    {
        if (::testing::Test::HasFailure())
            printLogs(m_stateHome);
    }

private:
    QString m_stateHome;
};

bool key(const QString &keys) { return xdotool({QStringLiteral("key"), keys}); }

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The value of a key of a .desktop file's main group.
QString desktopValue(const QString &path, const QString &key)
{
    for (const QString &line : readFile(path).split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

// An Exec value as the session splits it: string escapes, then the quoting of arguments.
QStringList execArguments(const QString &value)
{
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size())
            unescaped += value[++i];
        else
            unescaped += value[i];
    }
    QStringList arguments;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted && c == QLatin1Char('\\') && i + 1 < unescaped.size())
            current += unescaped[++i];
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(' ') && !quoted) {
            if (!current.isEmpty())
                arguments.append(current);
            current.clear();
        } else
            current += c;
    }
    if (!current.isEmpty())
        arguments.append(current);
    return arguments;
}

// The program of an Exec line as the session finds it: on the PATH of the environment.
QString onPath(const QString &program, const QProcessEnvironment &environment)
{
    return QStandardPaths::findExecutable(program, environment.value(QStringLiteral("PATH")).split(QLatin1Char(':')));
}

// Processes running the program, found by their executable.
QList<qint64> processesOf(const QString &executable)
{
    QList<qint64> found;
    const QString wanted = QFileInfo(executable).canonicalFilePath();
    QDirIterator proc(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (proc.hasNext()) {
        const QString dir = proc.next();
        bool isNumber = false;
        const qint64 pid = QFileInfo(dir).fileName().toLongLong(&isNumber);
        if (isNumber && QFileInfo(dir + QStringLiteral("/exe")).symLinkTarget() == wanted)
            found.append(pid);
    }
    return found;
}

} // namespace

TEST(EndToEnd, TheTrayMenuPastesPausesResumesAndQuitsSaving)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool") || !hasProgram("xclip")
        || !hasProgram("trayer"))
        GTEST_SKIP() << "needs an X display with xdotool, xclip and trayer";
    Tray tray;
    ASSERT_TRUE(tray.isUp()) << "trayer did not start";

    TaviSession session;
    const QProcessEnvironment environment = isolatedEnvironment(session);
    writeDefaults(environment,
                  {{QStringLiteral("quickPasteEnable"), true}, {QStringLiteral("noAutoLaunchHint"), true}});
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    const LogsOnFailure logs(stateHome);

    Child field(QStringLiteral(TAVI_X11_PEER), {QStringLiteral("field")}, xcbEnvironment());
    const std::optional<QByteArray> fieldWindow = field.waitForLine("READY:");
    ASSERT_TRUE(fieldWindow) << "the text field did not start";

    auto tavi = std::make_unique<Child>(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000))
        << "TaviPaste did not start";
    ASSERT_TRUE(tray.waitForIcon()) << "the status icon did not dock";

    const auto captured = [&](int count) {
        return waitUntil([&] { return logCount(stateHome, "items: 1 new") == count; }, 5000);
    };
    auto first = copyWithXclip("first text");
    ASSERT_TRUE(captured(1));
    auto second = copyWithXclip("second text");
    ASSERT_TRUE(captured(2));
    const QString fieldId = QString::fromLatin1(fieldWindow->trimmed());
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), fieldId}));

    // The menu lists the newest items; Super+2 in it pastes the second newest into the field.
    ASSERT_TRUE(openMenu(tray)) << "the tray menu did not open";
    ASSERT_TRUE(key(QStringLiteral("super+2")));
    EXPECT_TRUE(field.waitForValue("TEXT:", "first text"))
        << "the menu entry did not paste: " << field.lastValue("TEXT:").constData();
    EXPECT_TRUE(waitUntil([] { return !isMenuShown(); }, 2000));

    // Paused, a copy is not kept: the newest item is still the second text.
    ASSERT_TRUE(openMenu(tray));
    ASSERT_TRUE(key(QStringLiteral("p")));
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "Capture paused"); }, 3000));
    auto third = copyWithXclip("third text");
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), fieldId}));
    ASSERT_TRUE(openMenu(tray));
    ASSERT_TRUE(key(QStringLiteral("super+1")));
    EXPECT_TRUE(field.waitForValue("TEXT:", "first textsecond text")) << field.lastValue("TEXT:").constData();

    // Resumed, copies are kept again.
    ASSERT_TRUE(openMenu(tray));
    ASSERT_TRUE(key(QStringLiteral("r")));
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "Capture resumed"); }, 3000));
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), fieldId}));
    auto fourth = copyWithXclip("fourth text");
    ASSERT_TRUE(captured(3));
    // The third copy kept brings up the search tip, which leaves the focus where the user works.
    QByteArray tip;
    ASSERT_TRUE(waitUntil(
        [&] {
            tip = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                 QStringLiteral("^Search your whole history$")});
            return !tip.isEmpty();
        },
        5000))
        << "no search tip";
    pause(300); // time enough for a window manager to hand the focus over, were it asked to
    EXPECT_EQ(xdotoolOutput({QStringLiteral("getactivewindow")}), fieldWindow->trimmed());
    ASSERT_TRUE(openMenu(tray));
    ASSERT_TRUE(key(QStringLiteral("super+1")));
    EXPECT_TRUE(field.waitForValue("TEXT:", "first textsecond textfourth text"))
        << field.lastValue("TEXT:").constData();
    // The copies are taken in their order: with the fourth taken, the third was seen and not kept.
    EXPECT_EQ(logCount(stateHome, "items: 1 new"), 3) << "the copy made while paused was kept";

    // Quit (no launch-at-login offer: declined earlier): the program ends normally and saved.
    ASSERT_TRUE(openMenu(tray));
    ASSERT_TRUE(key(QStringLiteral("q")));
    ASSERT_TRUE(tavi->waitForExit(10000)) << "TaviPaste did not quit";
    EXPECT_EQ(tavi->process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tavi->process().exitCode(), 0);
    EXPECT_TRUE(logContains(stateHome, "History saved"));
    for (auto *copier : {first.get(), second.get(), third.get(), fourth.get()})
        stop(*copier);

    // What was kept is there after a restart: the newest item is the fourth text.
    tavi = std::make_unique<Child>(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    ASSERT_TRUE(waitUntil([&] { return logCount(stateHome, "TaviPaste is running") == 2; }, 15000));
    ASSERT_TRUE(tray.waitForIcon());
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), fieldId}));
    ASSERT_TRUE(openMenu(tray));
    ASSERT_TRUE(key(QStringLiteral("super+1")));
    EXPECT_TRUE(field.waitForValue("TEXT:", "first textsecond textfourth textfourth text"))
        << field.lastValue("TEXT:").constData();
    tavi.reset();
}

TEST(EndToEnd, TheInstalledProgramStartsFromItsDesktopFileAndAtLoginThroughItsHelper)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool") || !hasProgram("trayer")
        || !hasProgram("cmake"))
        GTEST_SKIP() << "needs an X display with xdotool, trayer and cmake";
    QTemporaryDir root;
    const QString prefix = root.filePath(QStringLiteral("prefix"));
    ASSERT_TRUE(run(QStringLiteral("cmake"),
                    {QStringLiteral("--install"), QStringLiteral(TAVI_BUILD_DIR), QStringLiteral("--prefix"), prefix},
                    {}, 60000));
    for (const char *installed :
         {"bin/tavipaste", "bin/TaviPaste", "libexec/tavipaste/TaviPasteHelper", "share/applications/tavipaste.desktop",
          "share/man/man1/tavipaste.1.gz", "share/doc/tavipaste/copyright", "share/doc/tavipaste/changelog.gz",
          "share/icons/hicolor/16x16/apps/tavipaste.png", "share/icons/hicolor/48x48/apps/tavipaste.png",
          "share/icons/hicolor/256x256/apps/tavipaste.png", "share/icons/hicolor/scalable/apps/tavipaste.svg"})
        EXPECT_TRUE(QFileInfo::exists(prefix + QLatin1Char('/') + QString::fromLatin1(installed))) << installed;

    Tray tray;
    ASSERT_TRUE(tray.isUp()) << "trayer did not start";
    TaviSession session;
    QProcessEnvironment environment = isolatedEnvironment(session);
    environment.insert(QStringLiteral("PATH"),
                       prefix + QStringLiteral("/bin:") + environment.value(QStringLiteral("PATH")));
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    const LogsOnFailure logs(stateHome);

    // Started as the application menu starts it: the .desktop file's Exec, found on the PATH.
    const QString desktopFile = prefix + QStringLiteral("/share/applications/tavipaste.desktop");
    const QStringList exec = execArguments(desktopValue(desktopFile, QStringLiteral("Exec")));
    ASSERT_FALSE(exec.isEmpty());
    EXPECT_EQ(desktopValue(desktopFile, QStringLiteral("Icon")), QStringLiteral("tavipaste"));
    EXPECT_EQ(exec.first(), QStringLiteral("tavipaste"));
    // The old command name still starts the program.
    EXPECT_EQ(QFileInfo(prefix + QStringLiteral("/bin/TaviPaste")).canonicalFilePath(),
              QFileInfo(prefix + QStringLiteral("/bin/tavipaste")).canonicalFilePath());
    ASSERT_FALSE(onPath(exec.first(), environment).isEmpty());
    auto tavi = std::make_unique<Child>(onPath(exec.first(), environment), exec.mid(1), environment);
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000))
        << "TaviPaste did not start";
    ASSERT_TRUE(tray.waitForIcon());

    // Quitting offers launch at login; its button beside the default (which only quits) turns it
    // on and quits.
    ASSERT_TRUE(openMenu(tray));
    ASSERT_TRUE(key(QStringLiteral("q")));
    QByteArray hint;
    ASSERT_TRUE(waitUntil(
        [&] {
            hint = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                  QStringLiteral("^Quit TaviPaste$")});
            return !hint.isEmpty();
        },
        5000))
        << "no launch-at-login offer";
    ASSERT_TRUE(xdotool(
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(hint.split('\n').first())}));
    ASSERT_TRUE(key(QStringLiteral("shift+Tab")));
    ASSERT_TRUE(key(QStringLiteral("Return")));
    ASSERT_TRUE(tavi->waitForExit(10000)) << "TaviPaste did not quit";
    EXPECT_EQ(tavi->process().exitCode(), 0);
    EXPECT_EQ(logCount(stateHome, "History saved"), 1);

    const QString entry =
        environment.value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/autostart/tavipaste-helper.desktop");
    ASSERT_TRUE(QFileInfo::exists(entry)) << "no autostart entry";
    EXPECT_EQ(QFileInfo(entry).permissions() & 0x0077, 0);

    // The session logs in: the entry's command starts the helper, which starts TaviPaste and is
    // told to quit by it.
    const QStringList command = execArguments(desktopValue(entry, QStringLiteral("Exec")));
    ASSERT_FALSE(command.isEmpty());
    EXPECT_EQ(QFileInfo(command.first()).canonicalFilePath(),
              QFileInfo(prefix + QStringLiteral("/libexec/tavipaste/TaviPasteHelper")).canonicalFilePath());
    Child helper(command.first(), command.mid(1), environment);
    ASSERT_TRUE(helper.waitForExit(20000))
        << "the helper did not end: " << helper.process().readAllStandardError().constData();
    EXPECT_EQ(helper.process().exitCode(), 0);
    EXPECT_TRUE(helper.process().readAllStandardError().contains("TaviPaste has started"));
    ASSERT_TRUE(waitUntil([&] { return logCount(stateHome, "TaviPaste is running") == 2; }, 15000));
    const QList<qint64> started = processesOf(prefix + QStringLiteral("/bin/TaviPaste"));
    EXPECT_EQ(started.size(), 1);
    for (const qint64 pid : started)
        ::kill(pid_t(pid), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return logCount(stateHome, "History saved") == 2; }, 10000));
}

TEST(EndToEnd, TheDebianPackageDeclaresItsDependenciesAndStartsFromItsDesktopFile)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("cpack") || !hasProgram("dpkg-deb")
        || !hasProgram("dpkg-shlibdeps"))
        GTEST_SKIP() << "needs an X display, cpack and the Debian packaging tools";
    QTemporaryDir root;
    ASSERT_TRUE(run(QStringLiteral("cpack"),
                    {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                     QStringLiteral(TAVI_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), root.path()},
                    {}, 110000));
    const QStringList packages = QDir(root.path()).entryList({QStringLiteral("tavipaste_*.deb")}, QDir::Files);
    ASSERT_EQ(packages.size(), 1);
    const QString package = root.filePath(packages.first());

    QProcess fields;
    fields.start(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), package, QStringLiteral("Depends")});
    ASSERT_TRUE(fields.waitForFinished(10000));
    const QByteArray depends = fields.readAllStandardOutput();
    for (const char *dependency : {"libqt6widgets6", "libqt6dbus6", "qt6-qpa-plugins"})
        EXPECT_TRUE(depends.contains(dependency)) << dependency << " missing from: " << depends.constData();

    const QString tree = root.filePath(QStringLiteral("tree"));
    ASSERT_TRUE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package, tree}, {}, 60000));
    const QString desktopFile = tree + QStringLiteral("/usr/share/applications/tavipaste.desktop");
    ASSERT_TRUE(QFileInfo::exists(tree + QStringLiteral("/usr/libexec/tavipaste/TaviPasteHelper")));
    ASSERT_TRUE(QFileInfo::exists(tree + QStringLiteral("/usr/share/icons/hicolor/48x48/apps/tavipaste.png")));
    for (const char *installed : {"/usr/bin/tavipaste", "/usr/share/man/man1/tavipaste.1.gz",
                                  "/usr/share/doc/tavipaste/copyright", "/usr/share/doc/tavipaste/changelog.gz"})
        EXPECT_TRUE(QFileInfo::exists(tree + QString::fromLatin1(installed))) << installed;
    EXPECT_EQ(QFileInfo(tree + QStringLiteral("/usr/bin/TaviPaste")).symLinkTarget(),
              tree + QStringLiteral("/usr/bin/tavipaste"));
    if (hasProgram("lintian")) {
        QProcess lintian;
        // Its caches go in the test's folder, removed with it, instead of staying in /tmp.
        QProcessEnvironment lintianEnvironment = QProcessEnvironment::systemEnvironment();
        lintianEnvironment.insert(QStringLiteral("TMPDIR"), root.path());
        lintian.setProcessEnvironment(lintianEnvironment);
        lintian.start(QStringLiteral("lintian"), {QStringLiteral("--tag-display-limit"), QStringLiteral("0"), package});
        ASSERT_TRUE(lintian.waitForFinished(110000));
        const QByteArray report = lintian.readAllStandardOutput() + lintian.readAllStandardError();
        EXPECT_FALSE(report.contains("\nE: ") || report.startsWith("E: ")) << report.constData();
    }

    TaviSession session;
    QProcessEnvironment environment = isolatedEnvironment(session);
    environment.insert(QStringLiteral("PATH"),
                       tree + QStringLiteral("/usr/bin:") + environment.value(QStringLiteral("PATH")));
    const QStringList exec = execArguments(desktopValue(desktopFile, QStringLiteral("Exec")));
    ASSERT_FALSE(exec.isEmpty());
    ASSERT_FALSE(onPath(exec.first(), environment).isEmpty());
    Child tavi(onPath(exec.first(), environment), exec.mid(1), environment);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    EXPECT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000))
        << "TaviPaste did not start";
}

// An installation moved after launch at login was turned on: the entry written by the old place
// names a helper that is gone. The program, started from its new place, writes the entry again
// for its own helper, and the session's login start works again; the entry names the program it
// needs, so once the installation is removed a session skips it.
TEST(EndToEnd, AMovedInstallationWritesItsLoginEntryAgainAtStart)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("cmake"))
        GTEST_SKIP() << "needs an X display and cmake";
    QTemporaryDir root;
    const QString first = root.filePath(QStringLiteral("first"));
    const QString moved = root.filePath(QStringLiteral("moved"));
    ASSERT_TRUE(run(QStringLiteral("cmake"),
                    {QStringLiteral("--install"), QStringLiteral(TAVI_BUILD_DIR), QStringLiteral("--prefix"), first},
                    {}, 60000));

    TaviSession session;
    const QProcessEnvironment environment = isolatedEnvironment(session);
    writeDefaults(environment, {{QStringLiteral("isAutoLaunch"), true}, {QStringLiteral("noAutoLaunchHint"), true}});
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    const LogsOnFailure logs(stateHome);
    const QString autostart = environment.value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/autostart");
    const QString entry = autostart + QStringLiteral("/tavipaste-helper.desktop");
    QDir().mkpath(autostart);
    {
        QFile file(entry);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nName=TaviPaste\nExec=" + QFile::encodeName(first)
                   + "/libexec/tavipaste/TaviPasteHelper\nTerminal=false\nNoDisplay=true\n");
    }
    ASSERT_TRUE(QDir().rename(first, moved));

    auto tavi = std::make_unique<Child>(moved + QStringLiteral("/bin/TaviPaste"), QStringList(), environment);
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000))
        << "TaviPaste did not start";
    const QString helper = QFileInfo(moved + QStringLiteral("/libexec/tavipaste/TaviPasteHelper")).canonicalFilePath();
    const QStringList command = execArguments(desktopValue(entry, QStringLiteral("Exec")));
    ASSERT_FALSE(command.isEmpty()) << readFile(entry).toStdString();
    EXPECT_EQ(QFileInfo(command.first()).canonicalFilePath(), helper) << readFile(entry).toStdString();
    EXPECT_EQ(QFileInfo(desktopValue(entry, QStringLiteral("TryExec"))).canonicalFilePath(), helper);
    EXPECT_EQ(QFileInfo(entry).permissions() & 0x0077, 0);
    tavi.reset();

    // The session logs in: the entry starts the helper, which starts TaviPaste.
    Child login(command.first(), command.mid(1), environment);
    ASSERT_TRUE(login.waitForExit(20000))
        << "the helper did not end: " << login.process().readAllStandardError().constData();
    EXPECT_EQ(login.process().exitCode(), 0);
    ASSERT_TRUE(waitUntil([&] { return logCount(stateHome, "TaviPaste is running") == 2; }, 15000))
        << "login did not start TaviPaste";
    const QList<qint64> started = processesOf(moved + QStringLiteral("/bin/TaviPaste"));
    EXPECT_EQ(started.size(), 1);
    for (const qint64 pid : started)
        ::kill(pid_t(pid), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return processesOf(moved + QStringLiteral("/bin/TaviPaste")).isEmpty(); }, 10000));
    EXPECT_TRUE(logContains(stateHome, "writing the entry again"));
}
