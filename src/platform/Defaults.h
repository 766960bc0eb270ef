#pragma once
// A typed key-value store persisted as one JSON file, written atomically on every change.
// Values keep their exact type across restarts (a bool stays a bool, an empty list stays an
// empty list): each is stored with a type tag. Supported value types: bool, qint64/int, double,
// QString, QStringList, QByteArray, QDateTime, QVariantList and QVariantMap of those.
// A corrupt or unreadable file is renamed aside and logged; the defaults then apply. An entry that
// cannot be decoded reads as absent but stays in the file, untouched, until a new value replaces
// it. Any thread.

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class Defaults {
public:
    explicit Defaults(QString filePath);

    // The standard defaults: $XDG_CONFIG_HOME/TaviPaste/defaults.json.
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

    // Encoding used on disk, shared with the cloud key-value store.
    static QJsonValue encode(const QVariant &value);
    static QVariant decode(const QJsonValue &tagged, bool *ok = nullptr);

private:
    void load();
    bool save();

    QString m_path;
    mutable QMutex m_mutex;
    QVariantMap m_values;
    QJsonObject m_unreadable; // undecodable entries as found, written back as they are
    QString m_keptAsidePath;
};
