#include "EndToEndSupport.h"

#include "platform/Defaults.h"
#include "support/TestEnvironment.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

namespace EndToEnd {

bool hasProgram(const char *name) { return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty(); }

namespace {
bool runFor(const QString &program, const QStringList &arguments, const QByteArray &input, QByteArray *output,
            int timeoutMs = 5000)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return false;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    // xclip stays behind as the clipboard's owner: its exit is not waited for beyond a moment.
    const bool finished = waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput().trimmed();
    if (process.exitCode() != 0)
        std::fprintf(stderr, "%s %s: %s\n", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))),
                     process.readAllStandardError().constData());
    return process.exitCode() == 0;
}
} // namespace

bool run(const QString &program, const QStringList &arguments, const QByteArray &input, int timeoutMs)
{
    return runFor(program, arguments, input, nullptr, timeoutMs);
}

bool xdotool(const QStringList &arguments) { return run(QStringLiteral("xdotool"), arguments); }

QByteArray xdotoolOutput(const QStringList &arguments)
{
    QByteArray output;
    return runFor(QStringLiteral("xdotool"), arguments, {}, &output) ? output : QByteArray();
}

std::unique_ptr<QProcess> copyWithXclip(const QByteArray &text)
{
    auto xclip = std::make_unique<QProcess>();
    xclip->start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                           QStringLiteral("clipboard"), QStringLiteral("-i")});
    xclip->waitForStarted(5000);
    xclip->write(text);
    xclip->closeWriteChannel();
    return xclip;
}

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(2000))
        process.kill();
    process.waitForFinished(1000);
}

void pause(int ms)
{
    waitUntil([] { return false; }, ms);
}

QProcessEnvironment xcbEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

void writeDefaults(const QProcessEnvironment &environment, const QVariantMap &values)
{
    const QString configDir = environment.value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/TaviPaste");
    QDir().mkpath(configDir);
    Defaults defaults(configDir + QStringLiteral("/defaults.json"));
    defaults.setValues(values);
}

QProcessEnvironment isolatedEnvironment(const TaviSession &session)
{
    const QProcessEnvironment environment = session.environment();
    // A user who has seen the welcome window: open, it would be the active window, and copies
    // made meanwhile by windowless programs (xclip) would count as TaviPaste's own.
    // Nor the note on where the menu is without a tray, for the same reason.
    writeDefaults(environment,
                  {{QStringLiteral("alreadyShowTutorial"), true}, {QStringLiteral("noTrayMenuPlacesTold"), true}});
    return environment;
}

Child::Child(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program, arguments);
    m_process.waitForStarted(5000);
}

Child::~Child()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

void Child::readOutput() { m_buffer += m_process.readAllStandardOutput(); }

// Output arrives in pieces: only lines that have ended count.
QList<QByteArray> Child::completeLines() const
{
    QList<QByteArray> lines = m_buffer.split('\n');
    lines.removeLast();
    return lines;
}

std::optional<QByteArray> Child::waitForLine(const QByteArray &prefix, int timeoutMs)
{
    std::optional<QByteArray> found;
    waitUntil(
        [&] {
            readOutput();
            for (const QByteArray &line : completeLines()) {
                if (line.startsWith(prefix))
                    found = line.mid(prefix.size());
            }
            return found.has_value();
        },
        timeoutMs);
    return found;
}

bool Child::waitForValue(const QByteArray &prefix, const QByteArray &value, int timeoutMs)
{
    return waitUntil([&] { return lastValue(prefix) == value; }, timeoutMs);
}

QByteArray Child::lastValue(const QByteArray &prefix)
{
    readOutput();
    QByteArray last;
    for (const QByteArray &line : completeLines()) {
        if (line.startsWith(prefix))
            last = line.mid(prefix.size());
    }
    return last;
}

bool Child::waitForExit(int timeoutMs)
{
    return waitUntil([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
}

qint64 storedItems(const QString &dataHome)
{
    const QString path = dataHome + QStringLiteral("/TaviPaste/PBHistory.sqlite");
    if (!QFile::exists(path))
        return 0;
    try {
        SQLite::Database database(path.toStdString(), SQLite::OPEN_READONLY);
        database.setBusyTimeout(1000);
        SQLite::Statement count(database, "SELECT count(*) FROM PBItemRecord");
        return count.executeStep() ? count.getColumn(0).getInt64() : 0;
    } catch (const std::exception &) {
        return 0; // not created yet
    }
}

int logCount(const QString &stateHome, const QByteArray &text)
{
    int count = 0;
    QDirIterator files(stateHome, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            count += int(file.readAll().count(text));
    }
    return count;
}

bool logContains(const QString &stateHome, const QByteArray &text) { return logCount(stateHome, text) > 0; }

void printLogs(const QString &stateHome)
{
    // With the program's crash reports: its own handler, not the sanitizer, reports a fault.
    QDirIterator files(stateHome, {QStringLiteral("*.log"), QStringLiteral("crash-*.txt*")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "--- %s\n%s\n", qPrintable(file.fileName()), file.readAll().constData());
    }
}

QList<QByteArray> lastLogLines(const QString &stateHome, int count)
{
    QString newest;
    QDateTime newestTime;
    QDirIterator files(stateHome, {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QDateTime modified = QFileInfo(path).lastModified();
        if (newest.isEmpty() || modified > newestTime) {
            newest = path;
            newestTime = modified;
        }
    }
    QFile file(newest);
    if (newest.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeAll(QByteArray());
    return lines.mid(std::max<qsizetype>(0, lines.size() - count));
}

QByteArray faultReport(const QByteArray &standardError)
{
    for (const char *sign : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "double free",
                             "corrupted", "free(): invalid", "Aborted", "terminate called"}) {
        const qsizetype at = standardError.indexOf(sign);
        if (at >= 0)
            return standardError.mid(std::max<qsizetype>(0, at - 200), 4000);
    }
    return {};
}

Tray::Tray()
{
    m_process.start(QStringLiteral("trayer"),
                    {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                     QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                     QStringLiteral("--height"), QStringLiteral("28"), QStringLiteral("--SetDockType"),
                     QStringLiteral("true")});
    if (!m_process.waitForStarted(5000))
        return;
    waitUntil(
        [&] {
            // trayer's bar is its window of class "panel"; its other windows are hidden helpers.
            m_window =
                xdotoolOutput({QStringLiteral("search"), QStringLiteral("--classname"), QStringLiteral("^panel$")})
                    .split('\n')
                    .value(0);
            return !m_window.isEmpty();
        },
        5000);
}

Tray::~Tray() { stop(m_process); }

QRect Tray::geometry() const
{
    QRect rect;
    for (const QByteArray &line :
         xdotoolOutput({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::fromLatin1(m_window)})
             .split('\n')) {
        const QList<QByteArray> pair = line.split('=');
        if (pair.size() != 2)
            continue;
        const int value = pair[1].toInt();
        if (pair[0] == "X")
            rect.moveLeft(value);
        else if (pair[0] == "Y")
            rect.moveTop(value);
        else if (pair[0] == "WIDTH")
            rect.setWidth(value);
        else if (pair[0] == "HEIGHT")
            rect.setHeight(value);
    }
    return rect;
}

bool Tray::waitForIcon(int timeoutMs) const
{
    return waitUntil([&] { return geometry().width() >= 16; }, timeoutMs);
}

bool Tray::clickIcon(int button) const
{
    const QRect rect = geometry();
    return xdotool({QStringLiteral("mousemove"), QString::number(rect.center().x()), QString::number(rect.center().y()),
                    QStringLiteral("click"), QString::number(button)});
}

bool isMenuShown()
{
    return !xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                           QStringLiteral("^TaviPaste Menu$")})
                .isEmpty();
}

bool openMenu(const Tray &tray)
{
    if (!tray.clickIcon())
        return false;
    return waitUntil([] { return isMenuShown(); }, 3000);
}

} // namespace EndToEnd
