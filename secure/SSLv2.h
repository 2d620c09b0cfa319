#pragma once

#include "secure/CryptoCls.h"
#include "secure/Ssl2RecordReader.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

/// The client side of SSL 2.0 with the one cipher SSL_CK_RC4_128_WITH_MD5: session variables,
/// record layer (framing, MAC, sequence numbers, RC4), handshake messages and the handling of
/// received records by state. Knows no socket: records leave through the writer, received bytes
/// come in through receive(), whose outcome tells the caller what happened.
class SSLv2
{
public:
    enum class State
    {
        AwaitServerHello = 0,
        AwaitServerVerify = 1,
        AwaitServerFinished = 2,
        Established = 3,
        ReadingData = 4,
        Aborted = 5, ///< a check failed; nothing more is decoded or sent in this session
        Idle = 6,    ///< no session (before the first CLIENT-HELLO, after reset())
    };

    /// What one receive() call brought about.
    struct Outcome
    {
        bool established = false; ///< the handshake completed in this call
        QByteArray data;          ///< decrypted application data of the records completed in this call
        QString error;            ///< not empty: the message to show; the connection must be closed
    };

    using Writer = std::function<void(const QByteArray&)>;

    /// @p writer sends bytes on the secure socket.
    explicit SSLv2(Writer writer);

    /// Starts a handshake with @p crypto (ObjCrypto): resets the session and the record buffer and
    /// sends CLIENT-HELLO. False and @p error when no challenge could be made.
    [[nodiscard]] bool SendClientHello(std::unique_ptr<CryptoCls> crypto, QString* error);
    /// Sends @p data as encrypted records of at most 32751 data bytes each. Does nothing outside an
    /// established session.
    void SendSecureData(const QByteArray& data);
    /// Takes bytes from the socket: every record they complete is handled by state.
    Outcome receive(const QByteArray& bytes);
    /// Ends the session: drops ObjCrypto (and with it the keys) and the buffered bytes.
    void reset();

    State state() const { return m_state; }
    bool established() const { return m_state == State::Established || m_state == State::ReadingData; }

    /// Messages shown for failed checks.
    static const QString ChallengeError;
    static const QString MacError;
    static const QString DataMacError;
    static const QString MessageError;
    static const QString CertificateError;

private:
    /// Record MAC: MD5 over @p secret, @p data and @p sequence as four bytes, most significant first.
    static QByteArray recordMac(const CryptoCls& crypto, const QByteArray& secret, const QByteArray& data,
                                quint32 sequence);
    static QByteArray sequenceBytes(quint32 sequence);
    void setState(State state);
    void sendRecord(const QByteArray& body);
    /// Handles one record body; false when the session was aborted (Outcome::error set).
    bool handleRecord(const QByteArray& body, Outcome* outcome);
    bool SendClientMasterKey(const QByteArray& serverHello, Outcome* outcome);
    void SendClientFinished();
    QByteArray AddMAC(const QByteArray& data) const;
    bool VerifyMAC(const QByteArray& body);
    void abort(const QString& message, Outcome* outcome);

    Writer m_writer;
    std::unique_ptr<CryptoCls> m_crypto;
    State m_state = State::Idle;
    Ssl2RecordReader m_reader;
    QByteArray m_challenge;
    QByteArray m_connectionId;
    QByteArray m_masterKey;
    QByteArray m_readKey;
    QByteArray m_writeKey;
    quint32 m_clientSequence = 0;
    quint32 m_serverSequence = 0;
};
