#include "platform/Log.h"

#include "platform/Paths.h"
#include "platform/RollingFileSink.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/sinks/syslog_sink.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>

#include <syslog.h>

#include <atomic>
#include <condition_variable>
#include <thread>

namespace {
std::mutex g_setupMutex;
// Never destroyed: threads and Qt may log while the program exits. Guarded by g_setupMutex for
// writes, atomic load for reads.
std::shared_ptr<spdlog::logger> &loggerSlot()
{
    static auto *slot = new std::shared_ptr<spdlog::logger>;
    return *slot;
}
QMutex g_observerMutex;
Log::Observer g_observer;

// Flushes the log a while after a line was written, and sleeps while nothing is written (an idle
// program wakes for nothing). Made once and never destroyed, like the logger.
class LazyFlusher {
public:
    LazyFlusher(std::weak_ptr<spdlog::logger> logger, std::chrono::seconds delay)
        : m_logger(std::move(logger)),
          m_delay(delay),
          m_thread([this] { run(); })
    {
        m_thread.detach();
    }
    // Any thread, after each line.
    void written()
    {
        if (m_pending.exchange(true))
            return;
        std::lock_guard lock(m_mutex);
        m_wake.notify_all();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_pending.load(); });
            m_wake.wait_for(lock, m_delay, [] { return false; });
            m_pending.store(false);
            lock.unlock();
            try {
                if (const std::shared_ptr<spdlog::logger> logger = m_logger.lock())
                    logger->flush();
            } catch (...) {
                // a log that cannot be flushed is no reason to stop
            }
            lock.lock();
        }
    }

    const std::weak_ptr<spdlog::logger> m_logger;
    const std::chrono::seconds m_delay;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_pending = false;
    std::thread m_thread;
};

LazyFlusher *g_flusher = nullptr; // set once under g_setupMutex, before the logger is published

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

std::shared_ptr<spdlog::logger> logger() { return std::atomic_load(&loggerSlot()); }

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

QString logDirectory() { return Paths::stateDirectory() + QStringLiteral("/logs"); }

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
    g_flusher = new LazyFlusher(created, std::chrono::seconds(kFlushSeconds));
    std::atomic_store(&loggerSlot(), created);
}

QString redacted(const QString &text)
{
    return QStringLiteral("[%1 chars #%2]").arg(text.size()).arg(shortHash(text.toUtf8()));
}

QString redacted(const QByteArray &data)
{
    return QStringLiteral("[%1 bytes #%2]").arg(data.size()).arg(shortHash(data));
}

void flush()
{
    try {
        if (auto target = logger())
            target->flush();
    } catch (...) {
        // Logging never fails towards the caller.
    }
}

void shutDown()
{
    try {
        if (auto target = logger()) {
            target->flush_on(spdlog::level::trace);
            target->flush();
        }
    } catch (...) {
        // Logging never fails towards the caller.
    }
}

void write(LogLevel level, const QString &message, const char *file, const char *function, int line)
{
    try {
        if (auto target = logger()) {
            const QByteArray text = message.toUtf8();
            target->log(spdlog::source_loc{file, line, function}, toSpd(level),
                        spdlog::string_view_t(text.constData(), size_t(text.size())));
            g_flusher->written();
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
