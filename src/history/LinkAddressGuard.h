#pragma once
// Which requests a link preview may make. Nothing reaches this computer or the local network
// unless the user asked for that page: addresses and local names are refused outright, and a
// page or frame whose name has not been looked up yet waits for the lookup, so a public-looking
// name that leads to a local address is refused too. What a name leads to is remembered for the
// run. GUI thread.

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <functional>

class QHostInfo;

class LinkAddressGuard : public QObject {
    Q_OBJECT
public:
    // Where a host leads.
    enum class Reach { unknown, outside, local, unresolved };
    enum class Verdict { allow, block, lookUpFirst };
    // A frame's own page (the top one or one inside it), or anything a page loads.
    enum class RequestKind { page, frame, resource };

    explicit LinkAddressGuard(QObject *parent = nullptr);

    // The user asked for this page: its origin (scheme, host and port) may be reached.
    void allowOrigin(const QUrl &url);
    bool isAllowedOrigin(const QUrl &url) const;

    Verdict verdict(const QUrl &url, RequestKind kind) const;
    Reach reach(const QString &host) const;
    // Calls `done` on the GUI thread with where the host leads, looking it up unless that is
    // known; not at all when `context` is gone by then. An unresolved name is asked again
    // next time.
    void lookUp(const QString &host, QObject *context, std::function<void(Reach)> done);

private:
    struct Waiter {
        QPointer<QObject> context;
        std::function<void(Reach)> done;
    };
    void answered(const QString &host, const QHostInfo &info);

    QSet<QString> m_allowedOrigins;
    QHash<QString, Reach> m_known;
    QHash<QString, QList<Waiter>> m_waiting;
};
