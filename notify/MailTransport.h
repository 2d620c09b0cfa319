#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

/// The connection that carries the SMTP dialogue: plain TCP, or a secure channel that runs its own
/// handshake first. The session chooses one per send and speaks only through this interface.
class MailTransport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    /// Starts connecting; returns at once. connected() follows when the dialogue can start (for a
    /// secure channel: once its session is established); failures end in state() 0 or a stuck
    /// state, which the session's timer turns into its time-out.
    virtual void connectTo(const QString& host, quint16 port) = 0;
    /// Sends the bytes of one command or of the message, unchanged.
    virtual void send(const QByteArray& data) = 0;
    /// Ends the connection; state() is 0 afterwards.
    virtual void close() = 0;
    /// SocketControl's codes: 0 closed, 7 connected, 9 error, others in between.
    virtual int state() const = 0;

signals:
    void connected();
    /// Bytes of the server's replies, in order, as they arrive (decrypted for a secure channel).
    void received(const QByteArray& data);
};
