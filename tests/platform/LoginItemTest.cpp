#include "platform/LoginItem.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString entryText(const QString &identifier)
{
    QFile file(LoginItem::entryPath(identifier));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The Exec line as the session reads it: the string escapes undone, then the quoting, the way the
// GLib desktop-entry reader does (g_shell_parse_argv after unescaping).
QStringList parsedExec(const QString &execValue)
{
    QString unescaped;
    for (qsizetype i = 0; i < execValue.size(); ++i) {
        if (execValue[i] == QLatin1Char('\\') && i + 1 < execValue.size()) {
            const QChar next = execValue[++i];
            unescaped += next == QLatin1Char('n') ? QChar('\n') : next == QLatin1Char('t') ? QChar('\t') : next;
        } else {
            unescaped += execValue[i];
        }
    }
    QStringList arguments;
    QString current;
    bool inQuotes = false;
    bool hasArgument = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (c == QLatin1Char('%') && i + 1 < unescaped.size() && unescaped[i + 1] == QLatin1Char('%')) {
            current += c;
            ++i;
        } else if (inQuotes && c == QLatin1Char('\\') && i + 1 < unescaped.size()) {
            current += unescaped[++i];
        } else if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
            hasArgument = true;
        } else if (c == QLatin1Char(' ') && !inQuotes) {
            if (hasArgument)
                arguments.append(current);
            current.clear();
            hasArgument = false;
        } else {
            current += c;
            hasArgument = true;
        }
    }
    if (hasArgument)
        arguments.append(current);
    return arguments;
}

QString execValue(const QString &text)
{
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return {};
}

} // namespace

TEST(LoginItem, EnablingWritesAPrivateEntryAndDisablingRemovesIt)
{
    ScopedXdgHome home;
    const LoginItem::Result on =
        LoginItem::setEnabled(QStringLiteral("tavipaste-helper"), true,
                              {QStringLiteral("/usr/libexec/tavipaste/TaviPasteHelper")}, QStringLiteral("TaviPaste"));
    EXPECT_TRUE(on.matches) << on.error.toStdString();
    EXPECT_TRUE(LoginItem::isEnabled(QStringLiteral("tavipaste-helper")));
    const QString text = entryText(QStringLiteral("tavipaste-helper"));
    EXPECT_TRUE(text.startsWith(QLatin1String("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\nExec=/usr/libexec/tavipaste/TaviPasteHelper\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\nType=Application\n")));
    EXPECT_EQ(QFileInfo(LoginItem::entryPath(QStringLiteral("tavipaste-helper"))).permissions() & 0x0077, 0);
    EXPECT_EQ(QFileInfo(LoginItem::autostartDirectory()).permissions() & 0x0077, 0);

    const LoginItem::Result off = LoginItem::setEnabled(QStringLiteral("tavipaste-helper"), false);
    EXPECT_TRUE(off.matches);
    EXPECT_FALSE(QFileInfo::exists(LoginItem::entryPath(QStringLiteral("tavipaste-helper"))));
    // Turning off what is already off is no failure.
    EXPECT_TRUE(LoginItem::setEnabled(QStringLiteral("tavipaste-helper"), false).matches);
}

namespace {
QString value(const QString &text, const QString &key)
{
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}
} // namespace

// The entry finds the installed helper as the session looks for it, and says which program it
// needs (TryExec), so a session skips it once the program is removed instead of failing at each
// login: a helper in a folder of the PATH is named by its bare name, which still finds it after it
// moves to another folder of the PATH; one elsewhere by its path.
TEST(LoginItem, TheEntryNamesItsHelperSoTheSessionFindsItOrSkipsTheEntry)
{
    ScopedXdgHome home;
    QTemporaryDir root;
    const QString onPath = root.filePath(QStringLiteral("bin"));
    const QString elsewhere = root.filePath(QStringLiteral("libexec"));
    for (const QString &folder : {onPath, elsewhere, root.filePath(QStringLiteral("other"))})
        QDir().mkpath(folder);
    const auto makeProgram = [](const QString &path) {
        QFile program(path);
        program.open(QIODevice::WriteOnly);
        program.write("#!/bin/sh\n");
        program.close();
        program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    makeProgram(onPath + QStringLiteral("/tavi-test-helper"));
    makeProgram(elsewhere + QStringLiteral("/tavi-test-helper"));
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(onPath) + ':' + QFile::encodeName(root.filePath(QStringLiteral("other"))) + ':'
                        + savedPath);
    const QString id = QStringLiteral("tavipaste-helper");

    ASSERT_TRUE(LoginItem::setEnabled(id, true, {onPath + QStringLiteral("/tavi-test-helper")}).matches);
    QString text = entryText(id);
    EXPECT_EQ(parsedExec(execValue(text)), QStringList{QStringLiteral("tavi-test-helper")}) << text.toStdString();
    EXPECT_EQ(value(text, QStringLiteral("TryExec")), QStringLiteral("tavi-test-helper"));
    EXPECT_TRUE(LoginItem::canStart(id));
    ASSERT_TRUE(QFile::rename(onPath + QStringLiteral("/tavi-test-helper"),
                              root.filePath(QStringLiteral("other/tavi-test-helper"))));
    EXPECT_TRUE(LoginItem::canStart(id)) << "moved within the PATH";

    const QString outside = elsewhere + QStringLiteral("/tavi-test-helper");
    ASSERT_TRUE(LoginItem::setEnabled(id, true, {outside, QStringLiteral("--flag")}).matches);
    text = entryText(id);
    EXPECT_EQ(parsedExec(execValue(text)), (QStringList{outside, QStringLiteral("--flag")}));
    EXPECT_EQ(value(text, QStringLiteral("TryExec")), outside);
    EXPECT_EQ(LoginItem::command(id), (QStringList{outside, QStringLiteral("--flag")}));
    EXPECT_TRUE(LoginItem::canStart(id));
    QFile::remove(outside);
    EXPECT_FALSE(LoginItem::canStart(id)) << "removed";
    qputenv("PATH", savedPath);
    EXPECT_FALSE(LoginItem::canStart(QStringLiteral("absent")));
}

TEST(LoginItem, ExecArgumentsSurviveTheSessionsReading)
{
    ScopedXdgHome home;
    const QStringList command = {QStringLiteral("/opt/My Apps/100% \"Tavi\"/back\\slash/$HOME`x`/TaviPasteHelper"),
                                 QStringLiteral("plain"), QStringLiteral("tab\there"), QString()};
    ASSERT_TRUE(LoginItem::setEnabled(QStringLiteral("odd"), true, command).matches);
    const QString exec = execValue(entryText(QStringLiteral("odd")));
    EXPECT_EQ(parsedExec(exec), command) << exec.toStdString();
    EXPECT_EQ(LoginItem::command(QStringLiteral("odd")), command);
    EXPECT_EQ(LoginItem::execArgument(QStringLiteral("a\\b")), QStringLiteral("\"a\\\\\\\\b\""));
    EXPECT_EQ(LoginItem::execArgument(QStringLiteral("50%")), QStringLiteral("50%%"));
    EXPECT_FALSE(entryText(QStringLiteral("odd")).contains(QLatin1Char('\t')));
}

// What cannot be written or removed, even by root: an autostart "folder" that is a file, and an
// entry that is a folder with something in it.
TEST(LoginItem, AnEntryThatCannotBeWrittenOrRemovedIsAFailure)
{
    ScopedXdgHome home;
    const QString folder = LoginItem::autostartDirectory();
    QDir().mkpath(QFileInfo(folder).path());
    {
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    const LoginItem::Result on = LoginItem::setEnabled(QStringLiteral("new"), true, {QStringLiteral("/bin/true")});
    EXPECT_FALSE(on.matches);
    EXPECT_FALSE(on.error.isEmpty());
    QFile::remove(folder);

    const QString stuck = LoginItem::entryPath(QStringLiteral("stuck"));
    ASSERT_TRUE(QDir().mkpath(stuck + QStringLiteral("/inside")));
    const LoginItem::Result off = LoginItem::setEnabled(QStringLiteral("stuck"), false);
    EXPECT_FALSE(off.matches);
    EXPECT_FALSE(off.error.isEmpty());
}

TEST(LoginItem, AHiddenEntryIsNotEnabled)
{
    ScopedXdgHome home;
    QDir().mkpath(LoginItem::autostartDirectory());
    QFile file(LoginItem::entryPath(QStringLiteral("hidden")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=/bin/true\nHidden=true\n");
    file.close();
    EXPECT_FALSE(LoginItem::isEnabled(QStringLiteral("hidden")));
    EXPECT_FALSE(LoginItem::isEnabled(QStringLiteral("absent")));
}
