#pragma once

#include "notify/MailTransport.h"
#include "platform/SocketControl.h"
#include "secure/SSLv2.h"

#include <functional>

/// The mail connection inside an SSL 2.0 session over the secure socket winSSL. When the socket
/// connects it runs the handshake ("Creating Secure Session"), reports connected() once the session
/// is established ("Secure Session Connected"), hands every decrypted batch of application data to
/// received() as it completes, and sends the session's commands as encrypted records. Handshake
/// and socket failures close the socket (state() is then Closed) and report failed() with the text the
/// user is shown for them; which window shows it is decided above.
class SecureMailTransport : public MailTransport
{
    Q_OBJECT
public:
    using StatusWriter = std::function<void(const QString&)>;

    /// @p status replaces the status line with the handshake's progress.
    explicit SecureMailTransport(StatusWriter status, QObject* parent = nullptr);

    void connectTo(const QString& host, quint16 port) override;
    void send(const QByteArray& data) override { m_ssl.SendSecureData(data); }
    void close() override { winSSL_Close(); }
    State state() const override { return fromSocket(m_winSSL.state()); }
    bool isEncrypted() const override { return m_ssl.established(); }

    /// The message shown when the RC4 provider cannot be loaded.
    static QString providerMissingText();

    /// The session, for inspection.
    const SSLv2& session() const { return m_ssl; }
    /// The socket, for inspection.
    const SocketControl& socket() const { return m_winSSL; }

private:
    void winSSL_Connect();
    void winSSL_DataArrival(qint64 bytesTotal);
    void winSSL_Error(int number, const QString& description);
    void winSSL_Close();
    /// Closes the connection, then reports @p reason.
    void fail(const QString& reason);

    StatusWriter m_status;
    SocketControl m_winSSL;
    SSLv2 m_ssl;
};
