#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

/// The way one MQTT session's bytes take to the broker. libmosquitto connects to it as to a SOCKS5 proxy (RFC 1928,
/// no authentication) on 127.0.0.1; the relay looks the broker up and connects with Qt's sockets, without blocking,
/// and then passes the bytes on both ways (TLS included: the library still verifies the broker by its own name).
///
/// It exists to bound what the broker may send: libmosquitto (2.0) takes an incoming packet whole however long its
/// header says it is (up to 256 MiB), with no limit of its own for a client, while a session that publishes and
/// subscribes to nothing is owed a CONNACK, its PUBACKs and PINGRESPs. Past MaxIncomingBytes both sides are closed.
class MqttRelay : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxIncomingBytes = 1024 * 1024;

    /// Relays to @p host : @p port; @p brokerText names the broker in status lines.
    MqttRelay(QString host, quint16 port, QString brokerText, QObject* parent = nullptr);

    /// Listens on 127.0.0.1 for the one connection of the library. False when it cannot.
    [[nodiscard]] bool listen();
    quint16 port() const { return m_server.serverPort(); }

    /// Lets the relay outlive its session: it passes on what the library still writes (its DISCONNECT) and deletes
    /// itself once both sides are closed, or after a few seconds.
    void windDown();

signals:
    /// The broker could not be reached or sent too much: a status line ("Error: ..."). Emitted once.
    void failed(const QString& status);

private:
    void accept();
    void readClient();
    void brokerConnected();
    void readBroker();
    void brokerFailed();
    void fail(const QString& status);

    enum class State
    {
        Greeting,   // the client's version and methods
        Request,    // its CONNECT request
        Connecting, // to the broker
        Relaying,
        Closed,
    };

    QString m_host;
    quint16 m_port;
    QString m_brokerText;
    QTcpServer m_server;
    QTcpSocket* m_client = nullptr; // a child of m_server
    QTcpSocket m_broker;
    QByteArray m_pending; // from the client, before the broker is connected
    qint64 m_received = 0;
    bool m_loopback = false; // a localhost name not found, tried as 127.0.0.1
    State m_state = State::Greeting;
    QTimer m_linger;
};
