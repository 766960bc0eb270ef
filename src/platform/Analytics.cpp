#include "platform/Analytics.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>

#include <csignal>
#include <cstring>
#include <iterator>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QMutex g_mutex;
QString g_countryCode;
bool g_started = false;
bool g_analyticsOn = false;
Analytics::EventObserver g_observer;

constexpr qint64 kMaxEventFileBytes = 4 * 1024 * 1024;

SerialQueue &writerQueue()
{
    static SerialQueue queue(QStringLiteral("com.tavi.analytics"));
    return queue;
}

// Written by the signal handler; prepared at start so the handler only calls async-signal-safe code.
char g_crashPath[4096] = {0};
constexpr int kCrashSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
struct sigaction g_previousActions[std::size(kCrashSignals)] = {};
bool g_hooked = false;

void crashHandler(int signal)
{
    const int fd = ::open(g_crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600); // whatever the umask
        const char *header = "TaviPaste crashed on signal ";
        (void)!::write(fd, header, strlen(header));
        char number[16];
        int n = signal, len = 0;
        char digits[16];
        do {
            digits[len++] = char('0' + n % 10);
            n /= 10;
        } while (n > 0 && len < 15);
        for (int i = 0; i < len; ++i)
            number[i] = digits[len - 1 - i];
        number[len++] = '\n';
        (void)!::write(fd, number, size_t(len));
        void *frames[64];
        const int count = backtrace(frames, 64);
        backtrace_symbols_fd(frames, count, fd);
        ::close(fd);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installCrashHook()
{
    Paths::makePrivateDirectory(Analytics::crashDirectory());
    const QByteArray path = (Analytics::crashDirectory()
                             + QStringLiteral("/crash-%1-%2.txt")
                                   .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
                                   .arg(QCoreApplication::applicationPid()))
                                .toLocal8Bit();
    qstrncpy(g_crashPath, path.constData(), sizeof(g_crashPath));
    void *warmUp[1];
    backtrace(warmUp, 1); // loads libgcc now, not inside the handler
    for (size_t i = 0; i < std::size(kCrashSignals); ++i) {
        struct sigaction action {};
        action.sa_handler = crashHandler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(kCrashSignals[i], &action, g_hooked ? nullptr : &g_previousActions[i]);
    }
    g_hooked = true;
}

QStringList collectEarlierCrashes()
{
    QStringList reports;
    QDir dir(Analytics::crashDirectory());
    for (const QString &name : dir.entryList({QStringLiteral("crash-*.txt")}, QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(name);
        const QString reported = path + QStringLiteral(".reported");
        if (QFile::rename(path, reported))
            reports.append(reported);
    }
    return reports;
}

void appendEvent(const QByteArray &line)
{
    const QString dir = Analytics::eventsDirectory();
    const QString path = dir + QStringLiteral("/events.jsonl");
    if (QFileInfo(path).size() > kMaxEventFileBytes) {
        QFile::remove(path + QStringLiteral(".1"));
        QFile::rename(path, path + QStringLiteral(".1"));
    }
    Paths::makePrivateFile(path);
    QFile file(path);
    if (file.open(QIODevice::Append | QIODevice::WriteOnly))
        file.write(line);
}
} // namespace

namespace Analytics {

QString eventsDirectory() { return Paths::stateDirectory() + QStringLiteral("/analytics"); }
QString crashDirectory() { return Paths::stateDirectory() + QStringLiteral("/crashes"); }

void setCountryCode(const QString &code)
{
    QMutexLocker lock(&g_mutex);
    g_countryCode = code;
}

QStringList start(const QString &appSecret, const QList<Service> &services)
{
    Q_UNUSED(appSecret);
    QStringList earlier;
    {
        QMutexLocker lock(&g_mutex);
        if (g_started)
            return {};
        g_started = true;
    }
    for (Service service : services) {
        if (service == Service::Analytics) {
            QMutexLocker lock(&g_mutex);
            g_analyticsOn = true;
        } else if (service == Service::Crashes) {
            earlier = collectEarlierCrashes();
            installCrashHook();
        }
    }
    for (const QString &report : earlier)
        LOG_ERROR("Analytics::start()", QStringLiteral("The previous session crashed; report kept at %1").arg(report));
    return earlier;
}

void resetForTesting()
{
    QMutexLocker lock(&g_mutex);
    g_started = false;
    g_analyticsOn = false;
    if (g_hooked) {
        for (size_t i = 0; i < std::size(kCrashSignals); ++i)
            sigaction(kCrashSignals[i], &g_previousActions[i], nullptr);
        g_hooked = false;
    }
}

bool isStarted()
{
    QMutexLocker lock(&g_mutex);
    return g_started;
}

void trackEvent(const QString &name, const EventProperties &properties)
{
    EventObserver observer;
    QString country;
    bool record = false;
    {
        QMutexLocker lock(&g_mutex);
        observer = g_observer;
        country = g_countryCode;
        record = g_analyticsOn;
    }
    if (observer)
        observer(name, properties);
    if (!record)
        return;
    QJsonObject event;
    event[QStringLiteral("time")] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    event[QStringLiteral("name")] = name;
    if (!country.isEmpty())
        event[QStringLiteral("country")] = country;
    QJsonObject props;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        props[it.key()] = it.value();
    event[QStringLiteral("properties")] = props;
    QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact);
    line.append('\n');
    writerQueue().async([line] { appendEvent(line); });
}

void setEventObserver(EventObserver observer)
{
    QMutexLocker lock(&g_mutex);
    g_observer = std::move(observer);
}

void flush() { writerQueue().drain(); }

} // namespace Analytics
