#include "shell/MakerService.h"

#include "core/AppGlobals.h"
#include "platform/DeviceInfo.h"
#include "platform/DispatchQueue.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrlQuery>

namespace {
constexpr int kTransferTimeoutMs = 60000;

QNetworkAccessManager &network()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return *manager;
}

std::optional<QUrl> serviceURL(const QString &path)
{
    const QString base = AppValues::serviceBaseURL().get().trimmed();
    if (base.isEmpty())
        return std::nullopt;
    QUrl url(base);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return std::nullopt;
    QString basePath = url.path();
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path);
    return url;
}

void finish(QNetworkReply *reply, const MakerService::Completion &completion)
{
    reply->deleteLater();
    // Only a reply without any HTTP answer is a transport failure; an HTTP error status still
    // carries a body to read.
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (!answered && reply->error() != QNetworkReply::NoError) {
        completion(std::nullopt, reply->errorString());
        return;
    }
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(reply->readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        completion(std::nullopt, QStringLiteral("The answer is not JSON: %1").arg(error.errorString()));
        return;
    }
    completion(json, QString());
}

void send(bool isPost, const QString &path, const MakerService::Parameters &parameters, MakerService::Completion completion)
{
    MainQueue::async([=] {
        std::optional<QUrl> url = serviceURL(path);
        if (!url) {
            completion(std::nullopt, QStringLiteral("No service address is configured"));
            return;
        }
        QNetworkReply *reply = nullptr;
        if (isPost) {
            QNetworkRequest request(*url);
            request.setTransferTimeout(kTransferTimeoutMs);
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              QStringLiteral("application/x-www-form-urlencoded; charset=utf-8"));
            reply = network().post(request, MakerService::formEncoded(parameters));
        } else {
            if (!parameters.isEmpty())
                url->setQuery(QString::fromLatin1(MakerService::formEncoded(parameters)), QUrl::StrictMode);
            QNetworkRequest request(*url);
            request.setTransferTimeout(kTransferTimeoutMs);
            reply = network().get(request);
        }
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, completion] { finish(reply, completion); });
    });
}

QUrl pageURL(const QLocale &locale, const QString &page)
{
    const auto url = serviceURL(MakerService::regionCode(locale) == QLatin1String("cn") ? QStringLiteral("/cn") + page : page);
    return url ? *url : QUrl();
}
} // namespace

namespace MakerService {

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

QString regionCode(const QLocale &locale)
{
    const QLocale::Territory territory = locale.territory();
    if (territory == QLocale::AnyTerritory || locale.language() == QLocale::C)
        return QStringLiteral("unknown");
    const QString code = QLocale::territoryToCode(territory).toLower();
    return code.isEmpty() ? QStringLiteral("unknown") : code;
}

QUrl websiteURL(const QLocale &locale)
{
    return pageURL(locale, QStringLiteral("/"));
}

QUrl supportURL(const QLocale &locale)
{
    return pageURL(locale, QStringLiteral("/support/"));
}

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
    return QStringLiteral("\n\n\n------------------------------\nApp Version: ") + appVersion +
           QStringLiteral("\nSystem Version: ") + systemVersion + QStringLiteral("\nRegion: ") + regionCode(locale);
}

QString feedbackMailBody()
{
    static const QString body = feedbackMailBody(appVersion(), DeviceInfo::osVersionString(), QLocale());
    return body;
}

} // namespace MakerService
