#include "platform/Log.h"

#include "platform/Paths.h"
#include "platform/RollingFileSink.h"

#include <spdlog/details/periodic_worker.h>
#include <spdlog/logger.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/sinks/syslog_sink.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>

#include <syslog.h>

namespace {
std::mutex g_setupMutex;
std::shared_ptr<spdlog::logger> g_logger; // guarded by g_setupMutex for writes, atomic load for reads
QMutex g_observerMutex;
Log::Observer g_observer;
// Declared after the logger, so it stops before the logger goes at exit.
std::unique_ptr<spdlog::details::periodic_worker> g_flusher; // guarded by g_setupMutex

spdlog::level::level_enum toSpd(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug: return spdlog::level::debug;
    case LogLevel::Info: return spdlog::level::info;
    case LogLevel::Warning: return spdlog::level::warn;
    case LogLevel::Error: return spdlog::level::err;
    }
    return spdlog::level::info;
}

std::shared_ptr<spdlog::logger> logger()
{
    return std::atomic_load(&g_logger);
}

QString shortHash(QByteArrayView bytes)
{
    static const QByteArray key = [] {
        QByteArray random(16, Qt::Uninitialized);
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        return random;
    }();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(key);
    hash.addData(bytes);
    return QString::fromLatin1(hash.result().toHex().left(8));
}
} // namespace

namespace Log {

QString logDirectory()
{
    return Paths::stateDirectory() + QStringLiteral("/logs");
}

void setup()
{
    std::lock_guard lock(g_setupMutex);
    if (logger())
        return;
    std::vector<spdlog::sink_ptr> sinks;
    try {
        sinks.push_back(std::make_shared<spdlog::sinks::syslog_sink_mt>("TaviPaste", LOG_PID, LOG_USER, false));
        auto file = std::make_shared<RollingFileSink>(logDirectory(), kRollSeconds, kMaxLogFiles);
        file->set_level(spdlog::level::debug);
        sinks.push_back(file);
    } catch (const std::exception &error) {
        fprintf(stderr, "TaviPaste: log files unavailable: %s\n", error.what());
    }
    if (qEnvironmentVariableIsSet("TAVI_LOG_STDERR"))
        sinks.push_back(std::make_shared<spdlog::sinks::stderr_color_sink_mt>());
    auto created = std::make_shared<spdlog::logger>("TaviPaste", sinks.begin(), sinks.end());
    created->set_level(spdlog::level::debug);
    created->set_pattern("%Y-%m-%d %H:%M:%S.%e %^%l%$ [%t] %s:%# %! | %v");
    created->flush_on(spdlog::level::warn);
    g_flusher = std::make_unique<spdlog::details::periodic_worker>([created] { created->flush(); },
                                                                   std::chrono::seconds(kFlushSeconds));
    std::atomic_store(&g_logger, created);
}

QString redacted(const QString &text)
{
    return QStringLiteral("[%1 chars #%2]").arg(text.size()).arg(shortHash(text.toUtf8()));
}

QString redacted(const QByteArray &data)
{
    return QStringLiteral("[%1 bytes #%2]").arg(data.size()).arg(shortHash(data));
}

void write(LogLevel level, const QString &message, const char *file, const char *function, int line)
{
    try {
        if (auto target = logger()) {
            const QByteArray text = message.toUtf8();
            target->log(spdlog::source_loc{file, line, function}, toSpd(level),
                        spdlog::string_view_t(text.constData(), size_t(text.size())));
        }
    } catch (...) {
        // Logging never fails towards the caller.
    }
    Observer observer;
    {
        QMutexLocker lock(&g_observerMutex);
        observer = g_observer;
    }
    if (observer)
        observer(level, message, file, function, line);
}

void setObserver(Observer observer)
{
    QMutexLocker lock(&g_observerMutex);
    g_observer = std::move(observer);
}

} // namespace Log
