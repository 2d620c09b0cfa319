#include "metrics/MetricsServer.h"

#include "metrics/RequestHead.h"

#include <QTcpSocket>
#include <QTimer>

MetricsServer::MetricsServer(std::function<QByteArray()> text, QObject* parent)
    : QObject(parent), m_text(std::move(text))
{
    connect(&m_server, &QTcpServer::newConnection, this, &MetricsServer::accept);
}

bool MetricsServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (m_server.listen(address, port))
        return true;
    *error = m_server.errorString();
    return false;
}

bool MetricsServer::parseListen(const QString& text, QHostAddress* address, quint16* port, QString* error)
{
    QString host;
    QString portText = text.trimmed();
    const qsizetype colon = portText.lastIndexOf(u':');
    if (colon >= 0) {
        host = portText.left(colon);
        portText = portText.mid(colon + 1);
        if (host.startsWith(u'[') && host.endsWith(u']'))
            host = host.mid(1, host.size() - 2);
    }
    bool ok = false;
    const uint number = portText.toUInt(&ok);
    if (!ok || number == 0 || number > 65535) {
        *error = QStringLiteral("\"%1\" has no port from 1 to 65535").arg(text.left(60));
        return false;
    }
    // Only a port: loopback; another address only when it is written out.
    *address = host.isEmpty() ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(host);
    if (address->isNull()) {
        *error = QStringLiteral("\"%1\" is no IP address").arg(host.left(60));
        return false;
    }
    *port = quint16(number);
    return true;
}

void MetricsServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_open >= MaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        connect(socket, &QObject::destroyed, &m_server, [this] { --m_open; }); // outlives disconnect(this)
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
        // A client that sends its head slowly, or never, is closed when its time is up.
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        timer->start(m_headTimeoutMs);
    }
}

void MetricsServer::readHead(QTcpSocket* socket)
{
    QByteArray received = socket->property("head").toByteArray();
    received += socket->read(RequestHead::MaxBytes + 4 - received.size());
    socket->setProperty("head", received);
    const RequestHead head = RequestHead::read(received);
    switch (head.state) {
    case RequestHead::State::Incomplete:
        return;
    case RequestHead::State::TooLarge:
        return answer(socket, "431 Request Header Fields Too Large", "request head too large\n");
    case RequestHead::State::Bad:
        return answer(socket, "400 Bad Request", "bad request\n");
    case RequestHead::State::Complete:
        break;
    }
    if (head.path != "/metrics")
        return answer(socket, "404 Not Found", "not found; the metrics are at /metrics\n");
    if (head.method != "GET")
        return answer(socket, "405 Method Not Allowed", "only GET\n", "Allow: GET\r\n");
    answer(socket, "200 OK", m_text(), "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n");
}

void MetricsServer::answer(QTcpSocket* socket, const QByteArray& status, const QByteArray& body,
                           const QByteArray& extra)
{
    socket->disconnect(this); // nothing more is read
    if (auto* timer = socket->findChild<QTimer*>())
        timer->stop();
    socket->setProperty("head", QVariant());
    if (extra.isEmpty())
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain; charset=utf-8\r\n");
    else
        socket->write("HTTP/1.1 " + status + "\r\n" + extra);
    socket->write("Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost(); // after what is written has gone; then disconnected deletes it
}
