#pragma once

#include "platform/SocketControl.h"

#include <QByteArray>
#include <QObject>
#include <QString>

/// The connection that carries the SMTP dialogue: plain TCP, TLS, or a secure channel that runs its own
/// handshake first. The session chooses one per send and speaks only through this interface.
class MailTransport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    enum class State
    {
        Closed,     // never opened, or closed
        Connecting, // resolving, connecting, or a secure channel's handshake under way
        Connected,  // the dialogue can run
        Closing,
        Error, // the socket failed and is not closed yet
    };
    Q_ENUM(State)

    /// Starts connecting; returns at once. connected() follows when the dialogue can start (for a
    /// secure channel: once its session is established); failed() when a handshake breaks. A peer that
    /// closes or never answers ends in state() Closed or a stuck state, which the session's timer turns
    /// into its time-out.
    virtual void connectTo(const QString& host, quint16 port) = 0;
    /// Sends the bytes of one command or of the message, unchanged.
    virtual void send(const QByteArray& data) = 0;
    /// Ends the connection after what was sent has gone out (a TLS connection says close_notify first);
    /// state() is Closed afterwards.
    virtual void close() = 0;
    virtual State state() const = 0;
    /// Upgrades the open connection to TLS (STARTTLS): encrypted() or failed() follows. Bytes received
    /// before the upgrade are dropped. A transport without TLS reports failed().
    virtual void startTls() { emit failed(QStringLiteral("TLS is not available on this connection")); }

    /// What failed() says when nothing listens on the server's port: there is no point waiting for it.
    static QString refusedBy(const QString& host)
    {
        return QStringLiteral("Could not connect to %1 - the server refused the connection").arg(host);
    }
    /// Whether what is sent now travels encrypted.
    virtual bool isEncrypted() const { return false; }

    /// The state a SocketControl in @p code stands for.
    static State fromSocket(int code)
    {
        switch (code) {
        case SocketControl::Closed:
            return State::Closed;
        case SocketControl::Connected:
            return State::Connected;
        case SocketControl::Closing:
            return State::Closing;
        case SocketControl::Error:
            return State::Error;
        default:
            return State::Connecting;
        }
    }

signals:
    void connected();
    /// Bytes of the server's replies, in order, as they arrive (decrypted for a secure channel).
    void received(const QByteArray& data);
    /// The upgrade asked for by startTls() is done; the dialogue starts over inside it.
    void encrypted();
    /// The transport gave up for a reason the user must see (a certificate not trusted, a broken
    /// handshake); the connection is closed and nothing more is sent.
    void failed(const QString& reason);
};
