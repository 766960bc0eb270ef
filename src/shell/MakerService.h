#pragma once
// Requests to the maker's service at the base URL of TaviSettings::serviceBaseURL() (empty: nothing
// is sent), and the maker's web addresses. Answers arrive on the main thread. Only HTTPS is used
// (plain HTTP to this machine only); every request has a timeout and a body size limit.

#include <QJsonDocument>
#include <QList>
#include <QLocale>
#include <QPair>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

namespace MakerService {

inline constexpr std::chrono::milliseconds kRequestTimeout{30000};
inline constexpr qint64 kMaxBodyBytes = 1024 * 1024;

using Parameters = QList<QPair<QString, QString>>;
// The parsed JSON answer, or nothing and a description of what went wrong (no service, transport
// error, timeout, HTTP error status, an empty, oversize or non-JSON body; each is logged).
using Completion = std::function<void(const std::optional<QJsonDocument> &json, const QString &error)>;

// POST with the parameters form-encoded in the body. Any thread; the completion runs on the main
// thread, also when nothing could be sent.
void post(const QString &path, const Parameters &parameters, Completion completion);
// GET with the parameters in the query.
void get(const QString &path, const Parameters &parameters, Completion completion);

// Replaces kRequestTimeout for the requests made from now on (tests).
void setRequestTimeout(std::chrono::milliseconds timeout);

// application/x-www-form-urlencoded text of the parameters, in their order.
QByteArray formEncoded(const Parameters &parameters);

// Whether a usable (HTTPS) service address is configured: without one nothing is ever sent.
bool isConfigured();

// The address of a path at the service; empty when no (HTTPS) service is configured.
QUrl address(const QString &path);

// The maker's home and support pages, with their variants for the region "cn"; empty when no
// service is configured.
QUrl websiteURL(const QLocale &locale = QLocale());
QUrl supportURL(const QLocale &locale = QLocale());

// The support mail address; empty when no service is configured.
QStringList feedbackRecipients();
// The text under a feedback mail: versions and region. Made once for the current locale.
QString feedbackMailBody();
QString feedbackMailBody(const QString &appVersion, const QString &systemVersion, const QLocale &locale);

// The locale's region code in lower case ("de"), or "unknown".
QString regionCode(const QLocale &locale);

} // namespace MakerService
