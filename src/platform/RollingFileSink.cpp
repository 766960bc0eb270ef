#include "platform/RollingFileSink.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kPrefix = QStringLiteral("TaviPaste-");
const QString kSuffix = QStringLiteral(".log");

// File names carry their start time, so the newest file is found again after a restart.
QDateTime startTimeOf(const QString &fileName)
{
    const QString stamp = fileName.mid(kPrefix.size(), fileName.size() - kPrefix.size() - kSuffix.size());
    return QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd-HHmmss-zzz"));
}
} // namespace

RollingFileSink::RollingFileSink(QString directory, qint64 rollSeconds, int maxFiles, Clock clock)
    : m_directory(std::move(directory)),
      m_rollSeconds(rollSeconds),
      m_maxFiles(qMax(1, maxFiles)),
      m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
{
    Paths::makePrivateDirectory(m_directory);
    const QStringList existing = QDir(m_directory).entryList({kPrefix + "*" + kSuffix}, QDir::Files, QDir::Name);
    const QDateTime now = m_clock();
    if (!existing.isEmpty()) {
        const QDateTime started = startTimeOf(existing.last());
        if (started.isValid() && started.secsTo(now) < m_rollSeconds && started <= now) {
            m_currentPath = QDir(m_directory).filePath(existing.last());
            m_openedAt = started;
            Paths::makePrivateFile(m_currentPath);
            m_file.open(m_currentPath.toStdString(), false);
            return;
        }
    }
    openNewFile(now);
}

void RollingFileSink::openNewFile(const QDateTime &now)
{
    m_file.close();
    m_openedAt = now;
    m_currentPath = QDir(m_directory).filePath(kPrefix + now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + kSuffix);
    Paths::makePrivateFile(m_currentPath);
    m_file.open(m_currentPath.toStdString(), false);
    pruneOldFiles();
}

void RollingFileSink::pruneOldFiles()
{
    QStringList files = QDir(m_directory).entryList({kPrefix + "*" + kSuffix}, QDir::Files, QDir::Name);
    while (files.size() > m_maxFiles)
        QFile::remove(QDir(m_directory).filePath(files.takeFirst()));
}

void RollingFileSink::sink_it_(const spdlog::details::log_msg &msg)
{
    const QDateTime now = m_clock();
    if (m_openedAt.secsTo(now) >= m_rollSeconds || now < m_openedAt)
        openNewFile(now);
    spdlog::memory_buf_t formatted;
    formatter_->format(msg, formatted);
    m_file.write(formatted);
}

void RollingFileSink::flush_() { m_file.flush(); }
