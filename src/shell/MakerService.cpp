#include "shell/MakerService.h"

#include "core/AppGlobals.h"
#include "platform/DeviceInfo.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrlQuery>

#include <atomic>

namespace {
const char *const kFunction = "MakerService";
std::atomic<int> g_timeoutMs{int(MakerService::kRequestTimeout.count())};

QNetworkAccessManager &network()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return *manager;
}

bool isLoopback(const QString &host)
{
    return host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1") || host == QLatin1String("::1");
}

// The address of a path at the configured service; nothing when none is configured or the
// configured one is not HTTPS (plain HTTP is allowed to this machine only).
std::optional<QUrl> serviceURL(const QString &path, QString *problem = nullptr)
{
    const QString base = TaviSettings::shared().serviceBaseURL().trimmed();
    if (base.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("No service address is configured");
        return std::nullopt;
    }
    QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool secure = scheme == QLatin1String("https") || (scheme == QLatin1String("http") && isLoopback(url.host()));
    if (!url.isValid() || url.host().isEmpty() || !secure) {
        if (problem)
            *problem = QStringLiteral("The service address is not an HTTPS address");
        return std::nullopt;
    }
    QString basePath = url.path();
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

// Fails the request once its body passes the size limit, announced or not.
void limitBodySize(QNetworkReply *reply)
{
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > MakerService::kMaxBodyBytes || total > MakerService::kMaxBodyBytes) {
            reply->setProperty("taviTooLarge", true);
            reply->abort();
        }
    });
}

void fail(const QString &path, const QString &reason, const MakerService::Completion &completion)
{
    LOG_WARNING(kFunction, QStringLiteral("Request to %1 failed: %2").arg(path, reason));
    completion(std::nullopt, reason);
}

void finish(QNetworkReply *reply, const QString &path, const MakerService::Completion &completion)
{
    reply->deleteLater();
    if (reply->property("taviTooLarge").toBool()) {
        fail(path, QStringLiteral("The answer is larger than %1 bytes").arg(MakerService::kMaxBodyBytes), completion);
        return;
    }
    if (reply->error() == QNetworkReply::OperationCanceledError) { // the transfer timeout
        fail(path, QStringLiteral("No answer within %1 ms").arg(g_timeoutMs.load()), completion);
        return;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        fail(path, reply->errorString(), completion);
        return;
    }
    if (status.toInt() >= 400) {
        fail(path, QStringLiteral("HTTP status %1").arg(status.toInt()), completion);
        return;
    }
    const QByteArray body = reply->read(MakerService::kMaxBodyBytes + 1);
    if (body.size() > MakerService::kMaxBodyBytes) {
        fail(path, QStringLiteral("The answer is larger than %1 bytes").arg(MakerService::kMaxBodyBytes), completion);
        return;
    }
    if (body.trimmed().isEmpty()) {
        fail(path, QStringLiteral("The answer is empty"), completion);
        return;
    }
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        fail(path, QStringLiteral("The answer is not JSON: %1").arg(error.errorString()), completion);
        return;
    }
    completion(json, QString());
}

void send(bool isPost, const QString &path, const MakerService::Parameters &parameters,
          MakerService::Completion completion)
{
    MainQueue::async([=] {
        QString problem;
        std::optional<QUrl> url = serviceURL(path, &problem);
        if (!url) {
            // Nothing is sent; only a configured address that is refused is worth a warning.
            const QString line = QStringLiteral("Request to %1 not sent: %2").arg(path, problem);
            if (TaviSettings::shared().serviceBaseURL().trimmed().isEmpty())
                LOG_DEBUG(kFunction, line);
            else
                LOG_WARNING(kFunction, line);
            completion(std::nullopt, problem);
            return;
        }
        if (!isPost && !parameters.isEmpty())
            url->setQuery(QString::fromLatin1(MakerService::formEncoded(parameters)), QUrl::StrictMode);
        QNetworkRequest request(*url);
        request.setTransferTimeout(g_timeoutMs.load());
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        QNetworkReply *reply = nullptr;
        if (isPost) {
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              QStringLiteral("application/x-www-form-urlencoded; charset=utf-8"));
            reply = network().post(request, MakerService::formEncoded(parameters));
        } else {
            reply = network().get(request);
        }
        limitBodySize(reply);
        // The transfer timeout restarts with every byte; this one bounds the whole request.
        QTimer::singleShot(g_timeoutMs.load(), reply, [reply] {
            if (reply->isRunning())
                reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::finished, reply,
                         [reply, path, completion] { finish(reply, path, completion); });
    });
}

QUrl pageURL(const QLocale &locale, const QString &page)
{
    const auto url =
        serviceURL(MakerService::regionCode(locale) == QLatin1String("cn") ? QStringLiteral("/cn") + page : page);
    return url ? *url : QUrl();
}
} // namespace

namespace MakerService {

void setRequestTimeout(std::chrono::milliseconds timeout) { g_timeoutMs.store(int(timeout.count())); }

void post(const QString &path, const Parameters &parameters, Completion completion)
{
    send(true, path, parameters, std::move(completion));
}

void get(const QString &path, const Parameters &parameters, Completion completion)
{
    send(false, path, parameters, std::move(completion));
}

QByteArray formEncoded(const Parameters &parameters)
{
    QByteArray body;
    for (const auto &[key, value] : parameters) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

QUrl address(const QString &path)
{
    const auto url = serviceURL(path);
    return url ? *url : QUrl();
}

QString regionCode(const QLocale &locale)
{
    const QLocale::Territory territory = locale.territory();
    if (territory == QLocale::AnyTerritory || locale.language() == QLocale::C)
        return QStringLiteral("unknown");
    const QString code = QLocale::territoryToCode(territory).toLower();
    return code.isEmpty() ? QStringLiteral("unknown") : code;
}

QUrl websiteURL(const QLocale &locale) { return pageURL(locale, QStringLiteral("/")); }

QUrl supportURL(const QLocale &locale) { return pageURL(locale, QStringLiteral("/support/")); }

bool isConfigured() { return serviceURL(QString()).has_value(); }

QStringList feedbackRecipients()
{
    const auto url = serviceURL(QString());
    if (!url)
        return {};
    QString host = url->host();
    if (host.startsWith(QLatin1String("www.")))
        host = host.mid(4);
    return {QStringLiteral("support@") + host};
}

QString feedbackMailBody(const QString &appVersion, const QString &systemVersion, const QLocale &locale)
{
    return QStringLiteral("\n\n\n------------------------------\nApp Version: ") + appVersion
           + QStringLiteral("\nSystem Version: ") + systemVersion + QStringLiteral("\nRegion: ") + regionCode(locale);
}

QString feedbackMailBody()
{
    static const QString body = feedbackMailBody(appVersion(), DeviceInfo::osVersionString(), QLocale());
    return body;
}

} // namespace MakerService
