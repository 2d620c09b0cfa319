#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

/// Serves the metrics over HTTP/1.1: GET /metrics answers the text @p text gives at that moment, any other path
/// 404, any other method on it 405. One small answer per connection, then the connection is closed; a request
/// head must be whole within MaxBytes (RequestHead) and HeadTimeoutMs, and at most MaxConnections are open at once
/// (one more is closed at once). No threads: it runs in the event loop like everything else.
class MetricsServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int HeadTimeoutMs = 5000;
    static constexpr int MaxConnections = 8;

    explicit MetricsServer(std::function<QByteArray()> text, QObject* parent = nullptr);

    /// Listens on @p address : @p port; false with @p error saying why.
    [[nodiscard]] bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const { return m_server.serverPort(); }
    void setHeadTimeoutMs(int ms) { m_headTimeoutMs = ms; }

    /// "127.0.0.1:9464", "[::1]:9464" or "9464" (loopback) as the address and port to listen on; false with @p error
    /// saying why for anything else.
    [[nodiscard]] static bool parseListen(const QString& text, QHostAddress* address, quint16* port, QString* error);

private:
    void accept();
    void readHead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& status, const QByteArray& body, const QByteArray& extra = {});

    std::function<QByteArray()> m_text;
    QTcpServer m_server;
    int m_open = 0;
    int m_headTimeoutMs = HeadTimeoutMs;
};
