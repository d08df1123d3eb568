#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <deque>

// A small HTTP/1.1 server on 127.0.0.1 (ephemeral port) for the analytics tests. Each request is
// answered by the next queued reply, else by the default one: a status code, a close without any
// answer, or no answer at all (the connection stays open).
class TestHttpServer
{
public:
    enum class Mode { respond, closeWithoutAnswer, stall };
    struct Reply
    {
        Mode mode = Mode::respond;
        int status = 200;
        QByteArray body;
    };
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        QList<QByteArray> headerValues(const QByteArray &name) const
        {
            QList<QByteArray> values;
            for (const auto &header : headers) {
                if (header.first.compare(name, Qt::CaseInsensitive) == 0)
                    values.append(header.second);
            }
            return values;
        }
        QJsonArray jsonArray() const { return QJsonDocument::fromJson(body).array(); }
    };

    TestHttpServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }
    ~TestHttpServer()
    {
        for (const QPointer<QTcpSocket> &socket : m_sockets) {
            if (socket) {
                socket->disconnect();
                socket->abort();
                delete socket;
            }
        }
    }

    // On an ephemeral port, or on `port`.
    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_server.serverPort(); }
    QUrl baseUrl(const QString &path = QStringLiteral("/")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
    }

    void setDefaultReply(const Reply &reply) { m_defaultReply = reply; }
    void enqueueReply(const Reply &reply) { m_replies.push_back(reply); }

    const QList<Request> &requests() const { return m_requests; }
    // Every record of every request, in arrival order.
    QList<QJsonObject> records() const
    {
        QList<QJsonObject> all;
        for (const Request &request : m_requests) {
            for (const QJsonValue &value : request.jsonArray())
                all.append(value.toObject());
        }
        return all;
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            m_sockets.append(socket);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QObject::destroyed, &m_server, [this, socket] { m_buffers.remove(socket); });
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        for (;;) {
            const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
            Request request;
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            request.method = requestLine.value(0);
            request.path = requestLine.value(1);
            qsizetype contentLength = 0;
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QByteArray line = lines[i].trimmed();
                const qsizetype colon = line.indexOf(':');
                if (colon <= 0)
                    continue;
                const QByteArray name = line.left(colon).trimmed();
                const QByteArray value = line.mid(colon + 1).trimmed();
                request.headers.append({name, value});
                if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                    contentLength = value.toLongLong();
            }
            if (buffer.size() < headerEnd + 4 + contentLength)
                return;
            request.body = buffer.mid(headerEnd + 4, contentLength);
            buffer.remove(0, headerEnd + 4 + contentLength);
            m_requests.append(request);
            if (!answer(socket))
                return;
        }
    }

    // Returns whether the connection stays open for another request.
    bool answer(QTcpSocket *socket)
    {
        Reply reply = m_defaultReply;
        if (!m_replies.empty()) {
            reply = m_replies.front();
            m_replies.pop_front();
        }
        switch (reply.mode) {
        case Mode::stall: return true;
        case Mode::closeWithoutAnswer: socket->abort(); return false;
        case Mode::respond: break;
        }
        QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n";
        response += "Content-Type: text/plain\r\n";
        response += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        response += "Connection: close\r\n\r\n";
        response += reply.body;
        socket->write(response);
        socket->disconnectFromHost();
        return false;
    }

    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_sockets;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_requests;
    std::deque<Reply> m_replies;
    Reply m_defaultReply;
};
