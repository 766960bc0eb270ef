#include "platform/Log.h"

#include "platform/Paths.h"
#include "platform/RollingFileSink.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/sinks/syslog_sink.h>

#include <QFileInfo>
#include <QMutex>

#include <syslog.h>

namespace {
std::mutex g_setupMutex;
std::shared_ptr<spdlog::logger> g_logger; // guarded by g_setupMutex for writes, atomic load for reads
QMutex g_observerMutex;
Log::Observer g_observer;

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
    created->flush_on(spdlog::level::info);
    std::atomic_store(&g_logger, created);
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
