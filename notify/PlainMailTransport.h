#pragma once

#include "notify/MailTransport.h"
#include "platform/SocketControl.h"

/// The mail connection over plain TCP. The connect and data-arrival events are passed on, and a refused
/// connection as failed(): a peer that closes or a connection that fails otherwise leaves the state as it is,
/// and the session's timer ends the attempt.
class PlainMailTransport : public MailTransport
{
    Q_OBJECT
public:
    explicit PlainMailTransport(QObject* parent = nullptr);

    void connectTo(const QString& host, quint16 port) override;
    void send(const QByteArray& data) override;
    /// Hands what was sent to the network first, so a last command is not lost by the close.
    void close() override;
    State state() const override { return fromSocket(m_socket.state()); }

    /// The host of the connection last asked for (empty before the first).
    QString remoteHost() const { return m_socket.remoteHost(); }

private:
    SocketControl m_socket;
};
