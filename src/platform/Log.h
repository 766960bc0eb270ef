#pragma once
// The one logging call: message, level, source file, function and line reach every sink.

#include <QString>
#include <functional>

enum class LogLevel { Debug, Info, Warning, Error };

namespace Log {

// Adds the system-log sink and the rolling file sink (a new file every 3 days, 5 kept).
// Safe to call more than once; later calls are ignored. Any thread.
void setup();

// Directory of the rolling log files ($XDG_STATE_HOME/TaviPaste/logs).
QString logDirectory();

// Writes every line logged so far to the files. Any thread.
void flush();
// At quit: flushes, and writes every later line through at once (the logger is never destroyed,
// so nothing at exit closes its files). Any thread.
void shutDown();

// Never fails towards the caller. Any thread.
void write(LogLevel level, const QString &message, const char *file, const char *function, int line);

// How a log line names clipboard content, a title, edited text or a file path: its length and a
// short hash, never the text itself. The hash is keyed afresh in every run, so lines of one run can
// be matched with each other while nothing can be guessed back from them. Any thread.
QString redacted(const QString &text);
QString redacted(const QByteArray &data);

// Receives every message after the sinks; for tests. Pass an empty function to remove.
using Observer =
    std::function<void(LogLevel, const QString &message, const char *file, const char *function, int line)>;
void setObserver(Observer observer);

// Lines below warning reach the files at least this often; warnings and errors at once.
inline constexpr int kFlushSeconds = 1;

// Roll period and retention of the file sink.
inline constexpr qint64 kRollSeconds = 259200;
inline constexpr int kMaxLogFiles = 5;

} // namespace Log

#define TAVI_LOG(level, function, message) ::Log::write(level, (message), __FILE__, function, __LINE__)
#define LOG_DEBUG(function, message) TAVI_LOG(LogLevel::Debug, function, message)
#define LOG_INFO(function, message) TAVI_LOG(LogLevel::Info, function, message)
#define LOG_WARNING(function, message) TAVI_LOG(LogLevel::Warning, function, message)
#define LOG_ERROR(function, message) TAVI_LOG(LogLevel::Error, function, message)
