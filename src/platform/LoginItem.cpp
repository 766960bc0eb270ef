#include "platform/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

bool needsQuotes(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (argument.isEmpty())
        return true;
    for (const QChar c : argument) {
        if (reserved.contains(c))
            return true;
    }
    return false;
}

// The escapes of a string value: applied after the Exec quoting, so a backslash inside quotes
// ends up as four.
QString escapedValue(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': escaped += QLatin1String("\\\\"); break;
        case '\n': escaped += QLatin1String("\\n"); break;
        case '\t': escaped += QLatin1String("\\t"); break;
        case '\r': escaped += QLatin1String("\\r"); break;
        default: escaped += c;
        }
    }
    return escaped;
}

// An Exec value as the session splits it: the string escapes undone, then the quoting.
QStringList execArguments(const QString &value)
{
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            unescaped += next == QLatin1Char('n')   ? QChar('\n')
                         : next == QLatin1Char('t') ? QChar('\t')
                         : next == QLatin1Char('r') ? QChar('\r')
                                                    : next;
        } else {
            unescaped += value[i];
        }
    }
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool started = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (c == QLatin1Char('%') && i + 1 < unescaped.size() && unescaped[i + 1] == QLatin1Char('%')) {
            current += c;
            ++i;
            started = true;
        } else if (quoted && c == QLatin1Char('\\') && i + 1 < unescaped.size()) {
            current += unescaped[++i];
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            started = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (started)
                arguments.append(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments.append(current);
    return arguments;
}

// How the entry names its program: the bare name survives a move between folders of the PATH.
QString programName(const QString &program)
{
    const QFileInfo info(program);
    if (!info.isAbsolute())
        return program;
    const QString found = QStandardPaths::findExecutable(info.fileName());
    if (!found.isEmpty() && QFileInfo(found).canonicalFilePath() == info.canonicalFilePath())
        return info.fileName();
    return program;
}

} // namespace

namespace LoginItem {

QString autostartDirectory()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString entryPath(const QString &identifier)
{
    return autostartDirectory() + QLatin1Char('/') + identifier + QStringLiteral(".desktop");
}

QString execArgument(const QString &argument)
{
    QString quoted;
    const bool quote = needsQuotes(argument);
    if (quote)
        quoted += QLatin1Char('"');
    for (const QChar c : argument) {
        if (c == QLatin1Char('%'))
            quoted += QLatin1String("%%");
        else if (quote
                 && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')))
            quoted += QLatin1Char('\\') + c;
        else
            quoted += c;
    }
    if (quote)
        quoted += QLatin1Char('"');
    return escapedValue(quoted);
}

Result setEnabled(const QString &identifier, bool enabled, const QStringList &command, const QString &displayName)
{
    const QString path = entryPath(identifier);
    if (!enabled) {
        QFile entry(path);
        if (QFileInfo::exists(path) && !entry.remove())
            return {false, QStringLiteral("Could not remove %1: %2").arg(path, entry.errorString())};
        return {!QFileInfo::exists(path), QString()};
    }
    if (command.isEmpty() || command.first().isEmpty())
        return {false, QStringLiteral("No program to start at login")};

    const QString folder = autostartDirectory();
    if (!QFileInfo(folder).isDir()) {
        if (!QDir().mkpath(folder))
            return {false, QStringLiteral("Could not create the folder %1").arg(folder)};
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const QString program = programName(command.first());
    QStringList exec{execArgument(program)};
    for (qsizetype i = 1; i < command.size(); ++i)
        exec.append(execArgument(command.at(i)));
    const QString name = escapedValue(displayName.isEmpty() ? identifier : displayName);
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=%1\n"
                                        "TryExec=%2\n"
                                        "Exec=%3\n"
                                        "Terminal=false\n"
                                        "NoDisplay=true\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(name, escapedValue(program), exec.join(QLatin1Char(' ')));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || file.write(text.toUtf8()) < 0 || !file.commit())
        return {false, QStringLiteral("Could not write %1: %2").arg(path, file.errorString())};
    return {isEnabled(identifier), QString()};
}

bool isEnabled(const QString &identifier)
{
    QFile entry(entryPath(identifier));
    if (!entry.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = entry.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.trimmed() == "Hidden=true")
            return false;
    }
    return true;
}

QStringList command(const QString &identifier)
{
    QFile entry(entryPath(identifier));
    if (!entry.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : entry.readAll().split('\n')) {
        if (line.startsWith("Exec="))
            return execArguments(QString::fromUtf8(line.mid(5)).trimmed());
    }
    return {};
}

bool canStart(const QString &identifier)
{
    const QStringList arguments = command(identifier);
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return false;
    const QString program = arguments.first();
    if (!program.contains(QLatin1Char('/')))
        return !QStandardPaths::findExecutable(program).isEmpty();
    const QFileInfo info(program);
    return info.isAbsolute() && info.isFile() && info.isExecutable();
}

} // namespace LoginItem
