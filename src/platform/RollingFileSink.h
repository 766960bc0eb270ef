#pragma once
// spdlog sink writing into a folder: starts a new file once the current one is older than the
// roll period and keeps only the newest files.

#include <spdlog/sinks/base_sink.h>
#include <spdlog/details/file_helper.h>

#include <QDateTime>
#include <QString>
#include <functional>
#include <mutex>

class RollingFileSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    using Clock = std::function<QDateTime()>;
    RollingFileSink(QString directory, qint64 rollSeconds, int maxFiles, Clock clock = {});

    QString currentFile() const { return m_currentPath; }

protected:
    void sink_it_(const spdlog::details::log_msg &msg) override;
    void flush_() override;

private:
    void openNewFile(const QDateTime &now);
    void pruneOldFiles();

    QString m_directory;
    qint64 m_rollSeconds;
    int m_maxFiles;
    Clock m_clock;
    spdlog::details::file_helper m_file;
    QString m_currentPath;
    QDateTime m_openedAt;
};
