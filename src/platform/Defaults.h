#pragma once
// A typed key-value store persisted as one JSON file, written atomically on every change.
// Values keep their exact type across restarts (a bool stays a bool, an empty list stays an
// empty list): each is stored with a type tag. Supported value types: bool, qint64/int, double,
// QString, QStringList, QByteArray, QDateTime, QVariantList and QVariantMap of those.
// A corrupt or unreadable file is renamed aside and logged; the defaults then apply. An entry that
// cannot be decoded reads as absent but stays in the file, untouched, until a new value replaces
// it. The file is written outside the lock that reads take, so a read never waits for the disk; a
// change made on the GUI thread is written by a worker a moment later (flush() waits for it), one
// made on another thread is on disk when the call returns. Any thread.

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <functional>

class Defaults {
public:
    explicit Defaults(QString filePath);
    // Writes what is not written yet.
    ~Defaults();
    Defaults(const Defaults &) = delete;
    Defaults &operator=(const Defaults &) = delete;

    // The standard defaults: $XDG_CONFIG_HOME/TaviPaste/defaults.json. Made on first use and never
    // destroyed; flush() writes it at quit.
    static Defaults &standard();
    // Points the standard defaults at another file (tests); reloads from it.
    static void resetStandard(const QString &filePath = {});

    QString filePath() const { return m_path; }

    QVariant value(const QString &key) const; // invalid QVariant when absent or unreadable
    bool contains(const QString &key) const;
    // Whether the file holds an entry under the key that could not be decoded.
    bool hasUnreadableEntry(const QString &key) const;
    // Where an unreadable settings file was moved when it was last loaded (empty when none was).
    QString keptAsidePath() const;
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    QStringList keys() const;
    QVariantMap snapshot() const;

    // Writes several values with one file write; unchanged values cause no write.
    void setValues(const QVariantMap &values);
    // Re-reads the file (used when another process or a sync changed it).
    void reload();
    // Waits until the file holds every change made so far; false when the last write failed.
    bool flush();
    // Runs inside every write of the file, before it is committed (tests: a slow disk).
    static void setWriteHookForTesting(std::function<void()> hook);

    // Encoding used on disk, shared with the cloud key-value store.
    static QJsonValue encode(const QVariant &value);
    static QVariant decode(const QJsonValue &tagged, bool *ok = nullptr);

private:
    void load();
    // Counts a change, under m_mutex. On the GUI thread the writer thread is asked to write it
    // and false returned; elsewhere true: the caller writes it once it released m_mutex.
    bool noteChange();
    // Writes the newest values when the file does not hold them yet; false when that failed.
    bool writeLatest();

    QString m_path;
    mutable QMutex m_mutex; // the values; never held while the file is written
    QVariantMap m_values;
    QJsonObject m_unreadable; // undecodable entries as found, written back as they are
    QString m_keptAsidePath;
    quint64 m_changes = 0;
    QMutex m_writeMutex;            // one write at a time, in the order of the changes
    quint64 m_written = 0;          // guarded by m_writeMutex: the changes the file holds
    bool m_lastWriteFailed = false; // guarded by m_writeMutex
    std::atomic<bool> m_writeQueued{false};
    std::atomic<bool> m_usedWriter{false};
};
