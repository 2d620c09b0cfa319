#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>

/// One TCP client connection with the operations, state codes and events that the mail and WHOIS
/// code rely on. Every operation returns at once; outcomes arrive as signals on the event loop.
class SocketControl : public QObject
{
    Q_OBJECT
public:
    /// State codes as callers compare them; the steps in between have codes of their own.
    enum State : int
    {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        Closing = 8,
        Error = 9,
    };

    explicit SocketControl(QObject* parent = nullptr);

    /// Starts a TCP connection; the outcome comes later as connected() or error().
    void connectTo(const QString& host, quint16 port);
    /// Queues @p data for sending, byte for byte.
    void sendData(const QByteArray& data);
    /// Takes up to @p maxBytes of the received bytes (all of them when @p maxBytes is negative).
    QByteArray getData(qint64 maxBytes = -1);
    /// Hands queued data to the network now, as far as it takes it without waiting.
    void flush();
    /// Ends the connection once queued data has gone out; state() is Closed afterwards. No event follows.
    void close();

    int state() const { return m_state; }
    qint64 bytesAvailable() const { return m_socket.bytesAvailable(); }
    /// The host of the connection last asked for.
    QString remoteHost() const { return m_remoteHost; }

    /// The local computer's host name.
    static QString localHostName();

signals:
    void connected();
    void dataArrival(qint64 bytesTotal);
    /// The peer closed the connection.
    void closed();
    void error(int number, const QString& description);

private:
    void setState(State state) { m_state = state; }

    QTcpSocket m_socket;
    State m_state = Closed;
    QString m_remoteHost;
};
