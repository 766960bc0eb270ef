#pragma once
// A small HTTP server on 127.0.0.1 for tests: records each request and answers with a canned
// status and body. Runs on the thread that made it (pump the event loop to serve).

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTcpServer>

class LoopbackHttpServer : public QObject {
public:
    struct Request {
        QByteArray method;
        QByteArray path;                      // with the query
        QMap<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };

    LoopbackHttpServer();
    QString baseURL() const; // "http://127.0.0.1:PORT"
    void respondWith(int status, const QByteArray &body);
    // Answers requests for one path (without the query) with their own status, body and headers
    // (the content type is JSON unless they name another).
    void respondTo(const QByteArray &path, int status, const QByteArray &body,
                   const QMap<QByteArray, QByteArray> &headers = {});
    // Reads requests but never answers them.
    void respondNever() { m_silent = true; }
    const QList<Request> &requests() const { return m_requests; }
    // Connections accepted so far, answered or not.
    int connectionCount() const { return m_connections; }
    // Connects once itself and waits until that connection is accepted (and counted): every
    // connection opened before it has been accepted by then. False if it never is.
    bool acceptsAProbe();

private:
    struct Answer {
        int status = 200;
        QByteArray body = "{}";
        QMap<QByteArray, QByteArray> headers;
    };

    QTcpServer m_server;
    Answer m_answer;
    QMap<QByteArray, Answer> m_answers; // by path
    QList<Request> m_requests;
    bool m_silent = false;
    int m_connections = 0;
};
