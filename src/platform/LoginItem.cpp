#include "platform/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
        else if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')))
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
    QStringList exec;
    for (const QString &argument : command)
        exec.append(execArgument(argument));
    const QString name = escapedValue(displayName.isEmpty() ? identifier : displayName);
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=%1\n"
                                        "Exec=%2\n"
                                        "Terminal=false\n"
                                        "NoDisplay=true\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(name, exec.join(QLatin1Char(' ')));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || file.write(text.toUtf8()) < 0 ||
        !file.commit())
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

} // namespace LoginItem
