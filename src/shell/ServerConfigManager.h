#pragma once
// The daily configuration file of the maker's service. Its "version" decides TaviSettings::isIRM():
// set while this program is newer than that version. Each successful fetch posts
// "ServerConfigDidUpdate" with the record under "kServerConfig". Main thread.

#include <QJsonDocument>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class QTimer;

// The configuration file's record. Decoding is strict: "version" must be there and be a version.
struct ServerConfigure {
    QString version = QStringLiteral("1.0");

    // Nothing (and the reason in error) when the document is not such a record.
    static std::optional<ServerConfigure> decode(const QJsonDocument &document, QString *error = nullptr);
    bool operator==(const ServerConfigure &) const = default;
};
Q_DECLARE_METATYPE(ServerConfigure)

struct Notification;

class ServerConfigManager : public QObject {
    Q_OBJECT
public:
    static inline const QString kPath = QStringLiteral("/paste/native_config.json");
    static constexpr double timerInterval = 86400.0;

    static ServerConfigManager &shared();

    // The payload of "ServerConfigDidUpdate": the record under NotificationKey::serverConfig.
    static QVariantMap encodeUpdate(const ServerConfigure &configure);
    static std::optional<ServerConfigure> decodeUpdate(const Notification &notification);

    // The last configuration decoded (the default record until one was).
    ServerConfigure configure() const { return m_configure; }

    // Fetches, decodes and applies the file. The completion (optional) gets the record or the
    // reason it failed; a failure changes nothing.
    using Completion = std::function<void(const std::optional<ServerConfigure> &configure, const QString &error)>;
    void fetchConfig(Completion completion = {});
    // The daily timer's action.
    void timerCallback();

    // Restarts the daily timer and fetches at once; stops it.
    void start();
    void stop();
    bool isTimerActive() const;

private:
    ServerConfigManager() = default;
    void apply(const ServerConfigure &configure);

    ServerConfigure m_configure;
    QTimer *m_timer = nullptr;
};
