#include "support/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <QTcpSocket>

LoopbackHttpServer::LoopbackHttpServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            socket->setParent(this);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
                if (headerEnd < 0)
                    return;
                Request request;
                const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
                const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                request.method = first.value(0);
                request.path = first.value(1);
                for (qsizetype i = 1; i < lines.size(); ++i) {
                    const qsizetype colon = lines[i].indexOf(':');
                    if (colon > 0)
                        request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                               lines[i].mid(colon + 1).trimmed());
                }
                const qsizetype length = request.headers.value("content-length", "0").toLongLong();
                if (buffer->size() < headerEnd + 4 + length)
                    return;
                request.body = buffer->mid(headerEnd + 4, length);
                buffer->clear();
                m_requests.append(request);
                if (m_silent)
                    return;
                const Answer reply = m_answers.value(request.path.split('?').value(0), m_answer);
                QMap<QByteArray, QByteArray> headers = reply.headers;
                if (!headers.contains("Content-Type"))
                    headers.insert("Content-Type", "application/json");
                headers.insert("Connection", "close");
                headers.insert("Content-Length", QByteArray::number(reply.body.size()));
                QByteArray answer = "HTTP/1.1 " + QByteArray::number(reply.status) + " Answer\r\n";
                for (auto it = headers.cbegin(); it != headers.cend(); ++it)
                    answer += it.key() + ": " + it.value() + "\r\n";
                socket->write(answer + "\r\n" + reply.body);
                socket->disconnectFromHost();
            });
        }
    });
}

QString LoopbackHttpServer::baseURL() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

void LoopbackHttpServer::respondWith(int status, const QByteArray &body)
{
    m_answer.status = status;
    m_answer.body = body;
}

void LoopbackHttpServer::respondTo(const QByteArray &path, int status, const QByteArray &body,
                                   const QMap<QByteArray, QByteArray> &headers)
{
    m_answers.insert(path, {status, body, headers});
}

bool LoopbackHttpServer::acceptsAProbe()
{
    const int before = m_connections;
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, m_server.serverPort());
    return waitUntil([&] { return m_connections > before; }, 10000);
}
