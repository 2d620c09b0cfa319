#pragma once

#include "notify/MailTransport.h"

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QSslSocket>

#include <memory>

/// The mail connection over TLS (QSslSocket on OpenSSL): from the first byte (implicit TLS, RFC 8314)
/// or after the session's STARTTLS (RFC 3207). TLS 1.2 at least; the server's certificate must chain
/// to a system CA or to one of the certificates given, and name the host asked for (also sent as
/// SNI). There is no way to accept a certificate that fails: the failure ends the connection with
/// failed() and its reason.
class TlsMailTransport : public MailTransport
{
    Q_OBJECT
public:
    enum class Mode
    {
        Implicit, // the handshake starts once TCP connects; connected() follows it
        StartTls, // plain until startTls(); connected() when TCP connects
    };

    explicit TlsMailTransport(QObject* parent = nullptr);

    /// How the next connectTo() starts TLS, and the certificates it trusts besides the system's.
    void configure(Mode mode, const QList<QSslCertificate>& extraCaCertificates);

    void connectTo(const QString& host, quint16 port) override;
    void send(const QByteArray& data) override;
    void close() override;
    State state() const override;
    void startTls() override;
    bool isEncrypted() const override { return m_socket && m_socket->isEncrypted(); }

    /// The certificates of a PEM file; false (and @p error) when it holds none.
    [[nodiscard]] static bool loadCertificates(const QString& pemPath, QList<QSslCertificate>* certificates,
                                               QString* error);

private:
    /// Made on the first connection: a QSslSocket loads and starts OpenSSL, which a watcher that never sends
    /// mail over TLS should not carry.
    QSslSocket& socket();
    void onSslErrors(const QList<QSslError>& errors);
    void onError(QAbstractSocket::SocketError error);
    void fail(const QString& reason);

    std::unique_ptr<QSslSocket> m_socket;
    Mode m_mode = Mode::Implicit;
    QList<QSslCertificate> m_extraCaCertificates;
    QString m_host;
    QString m_certificateFailure; // the verification's reason, reported when the handshake ends
    bool m_handshaking = false;
    bool m_closed = true;
};
