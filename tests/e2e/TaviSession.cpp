#include "TaviSession.h"

#include "EndToEndSupport.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdio>

namespace {
const char *const kFolders[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"};

QStringList filesUnder(const QString &folder, const QStringList &patterns = {})
{
    QStringList files;
    QDirIterator it(folder, patterns, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TaviSession::TaviSession()
{
    m_environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : kFolders) {
        const QString path = m_home.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        m_environment.insert(QString::fromLatin1(name), path);
    }
    const QString runtime = m_home.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_environment.insert(QStringLiteral("TAVI_MUTE_SOUNDS"), QStringLiteral("1"));

    // A bus of this session's own: the well-known name is never shared with another test.
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QByteArray address;
    if (m_bus.waitForStarted(5000)) {
        waitUntil(
            [&] {
                address += m_bus.readAllStandardOutput();
                return address.contains('\n');
            },
            5000);
    }
    if (address.contains('\n'))
        m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(address.trimmed()));
    else
        std::fprintf(stderr, "no private session bus: %s\n", m_bus.readAllStandardError().constData());
}

TaviSession::~TaviSession()
{
    m_bus.terminate();
    if (!m_bus.waitForFinished(2000))
        m_bus.kill();
    m_bus.waitForFinished(1000);
}

QStringList TaviSession::filesContaining(const QByteArray &bytes) const
{
    QStringList found;
    for (const char *name : kFolders) {
        for (const QString &path : filesUnder(folder(name))) {
            if (contentsOf(path).contains(bytes))
                found.append(path);
        }
    }
    return found;
}

int TaviSession::logLinesContaining(const QByteArray &text) const
{
    int count = 0;
    for (const QString &path : filesUnder(folder("XDG_STATE_HOME"), {QStringLiteral("*.log")})) {
        for (const QByteArray &line : contentsOf(path).split('\n'))
            count += line.contains(text) ? 1 : 0;
    }
    return count;
}

bool TaviSession::waitForLog(const QByteArray &text, int timeoutMs) const
{
    return waitUntil([&] { return logLinesContaining(text) > 0; }, timeoutMs);
}

void TaviSession::printLogs() const { EndToEnd::printLogs(folder("XDG_STATE_HOME")); }

TaviProcess::TaviProcess(const QProcessEnvironment &environment, std::function<void()> childSetUp)
{
    m_process.setProcessEnvironment(environment);
    if (childSetUp)
        m_process.setChildProcessModifier(childSetUp);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral(TAVI_EXECUTABLE), QStringList());
    m_process.waitForStarted(5000);
}

TaviProcess::~TaviProcess()
{
    if (isRunning() && !terminate()) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool TaviProcess::terminate()
{
    m_process.terminate();
    const bool ended = waitUntil([&] { return !isRunning(); }, 10000);
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QByteArray TaviProcess::standardOutput()
{
    m_output += m_process.readAllStandardOutput();
    return m_output;
}

QByteArray TaviProcess::standardError()
{
    m_error += m_process.readAllStandardError();
    return m_error;
}

bool runToEnd(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return false;
    process.closeWriteChannel();
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
