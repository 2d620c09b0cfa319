#include "secure/SSLv2.h"

#include "secure/Ssl2ServerHello.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSsl2, "vistrel.secure.ssl2")

namespace {
constexpr int MacLength = 16;
constexpr int ChallengeLength = 16;
constexpr int MaxRecordData = Ssl2RecordReader::MaxBody - MacLength; // 32751
const QByteArray CipherRc4Md5 = QByteArray::fromHex("010080");        // SSL_CK_RC4_128_WITH_MD5

/// Whether the first @p length bytes of @p a and @p b are the same, in a time that does not tell where they differ.
bool sameBytes(const char* a, const char* b, int length)
{
    unsigned char difference = 0;
    for (int i = 0; i < length; ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}
} // namespace

const QString SSLv2::ChallengeError = QStringLiteral("SSL Error: Invalid Challenge data ... aborting connection.");
const QString SSLv2::MacError = QStringLiteral("SSL Error: Invalid MAC data ... aborting connection.");
const QString SSLv2::DataMacError = QStringLiteral("SSL Error: Invalid MAC data ... Data discarded.");
const QString SSLv2::MessageError = QStringLiteral("SSL Error: Invalid server message ... aborting connection.");
const QString SSLv2::CertificateError =
    QStringLiteral("SSL Error: The server certificate holds no 1024-bit RSA key ... aborting connection.");

SSLv2::SSLv2(Writer writer) : m_writer(std::move(writer)) {}

void SSLv2::setState(State state)
{
    if (state != m_state)
        qCDebug(lcSsl2) << "state" << int(m_state) << "->" << int(state);
    m_state = state;
}

QByteArray SSLv2::sequenceBytes(quint32 sequence)
{
    QByteArray out(4, '\0');
    for (int i = 3; i >= 0; --i, sequence >>= 8)
        out[i] = char(sequence & 0xFF);
    return out;
}

QByteArray SSLv2::recordMac(const CryptoCls& crypto, const QByteArray& secret, const QByteArray& data, quint32 sequence)
{
    return crypto.MD5_Hash(secret + data + sequenceBytes(sequence));
}

void SSLv2::sendRecord(const QByteArray& body)
{
    m_writer(Ssl2RecordReader::AddRecordHeader(body));
    ++m_clientSequence; // every record sent counts, the clear ones too; wraps at 2^32
}

bool SSLv2::SendClientHello(std::unique_ptr<CryptoCls> crypto, QString* error)
{
    reset();
    m_crypto = std::move(crypto);
    setState(State::AwaitServerHello);
    if (!m_crypto || !m_crypto->GenerateRandomBytes(ChallengeLength, &m_challenge)) {
        *error = QStringLiteral("SSL Error: No random challenge could be made ... aborting connection.");
        setState(State::Aborted);
        return false;
    }
    QByteArray hello;
    hello.append(char(0x01));                    // MSG-CLIENT-HELLO
    hello.append(QByteArray::fromHex("0002"));   // CLIENT-VERSION 2
    hello.append(QByteArray::fromHex("0003"));   // CIPHER-SPECS-LENGTH: one spec
    hello.append(QByteArray::fromHex("0000"));   // SESSION-ID-LENGTH
    hello.append(char(0x00));                    // CHALLENGE-LENGTH
    hello.append(char(ChallengeLength));
    hello.append(CipherRc4Md5);
    hello.append(m_challenge);
    sendRecord(hello);
    return true;
}

bool SSLv2::SendClientMasterKey(const QByteArray& serverHello, Outcome* outcome)
{
    Ssl2ServerHello hello;
    QString why;
    if (!Ssl2ServerHello::parse(serverHello, &hello, &why)) {
        qCWarning(lcSsl2) << why;
        abort(MessageError, outcome);
        return false;
    }
    QByteArray modulus;
    if (!Ssl2ServerHello::modulusFromCertificate(hello.certificate, &modulus, &why)) {
        qCWarning(lcSsl2) << why;
        abort(CertificateError, outcome);
        return false;
    }
    m_connectionId = hello.connectionId;
    ++m_serverSequence; // SERVER-HELLO counts as record 0

    setState(State::AwaitServerVerify);
    QByteArray encrypted;
    if (!m_crypto->GenerateRandomBytes(32, &m_masterKey) ||
        !m_crypto->ExportKeyBlob(&m_masterKey, &m_readKey, &m_writeKey, m_challenge, m_connectionId, modulus,
                                 &encrypted, &why) ||
        encrypted.size() != 128) {
        qCWarning(lcSsl2) << "no session key:" << why;
        abort(QStringLiteral("SSL Error: Could not create a session key ... aborting connection."), outcome);
        return false;
    }
    QByteArray message;
    message.append(char(0x02));                // MSG-CLIENT-MASTER-KEY
    message.append(CipherRc4Md5);              // CIPHER-KIND
    message.append(QByteArray::fromHex("0000")); // CLEAR-KEY-LENGTH
    message.append(QByteArray::fromHex("0080")); // ENCRYPTED-KEY-LENGTH
    message.append(QByteArray::fromHex("0000")); // KEY-ARG-LENGTH
    message.append(encrypted);
    sendRecord(message);
    return true;
}

void SSLv2::SendClientFinished()
{
    setState(State::AwaitServerFinished);
    SendSecureData(char(0x03) + m_connectionId);
}

QByteArray SSLv2::AddMAC(const QByteArray& data) const
{
    return recordMac(*m_crypto, m_writeKey, data, m_clientSequence) + data;
}

void SSLv2::SendSecureData(const QByteArray& data)
{
    if (!m_crypto || m_writeKey.isEmpty() || m_state == State::Aborted || m_state == State::Idle)
        return;
    qsizetype at = 0;
    do {
        const QByteArray part = data.mid(at, MaxRecordData);
        at += part.size();
        sendRecord(m_crypto->RC4_Encrypt(AddMAC(part)));
    } while (at < data.size());
}

bool SSLv2::VerifyMAC(const QByteArray& body)
{
    const QByteArray expected = recordMac(*m_crypto, m_readKey, body.mid(MacLength), m_serverSequence);
    ++m_serverSequence; // counted whatever the outcome
    return expected.size() == MacLength && body.size() >= MacLength &&
           sameBytes(expected.constData(), body.constData(), MacLength);
}

void SSLv2::abort(const QString& message, Outcome* outcome)
{
    qCWarning(lcSsl2) << "aborting in state" << int(m_state) << ":" << message;
    outcome->error = message;
    outcome->data.clear();
    m_reader.clear();
    setState(State::Aborted);
}

bool SSLv2::handleRecord(const QByteArray& body, Outcome* outcome)
{
    switch (m_state) {
    case State::AwaitServerHello:
        return SendClientMasterKey(body, outcome);
    case State::AwaitServerVerify: {
        // MAC, message type, challenge.
        if (body.size() < MacLength + 1 + ChallengeLength) {
            abort(MessageError, outcome);
            return false;
        }
        const QByteArray plain = m_crypto->RC4_Decrypt(body);
        // The challenge is compared first, so a wrong one is not counted as a received record.
        if (plain.right(ChallengeLength) != m_challenge) {
            abort(ChallengeError, outcome);
            return false;
        }
        if (!VerifyMAC(plain)) {
            abort(MacError, outcome);
            return false;
        }
        SendClientFinished();
        return true;
    }
    case State::AwaitServerFinished: {
        if (body.size() < MacLength + 1) {
            abort(MessageError, outcome);
            return false;
        }
        if (!VerifyMAC(m_crypto->RC4_Decrypt(body))) {
            abort(MacError, outcome);
            return false;
        }
        setState(State::Established);
        outcome->established = true;
        return true;
    }
    case State::Established:
    case State::ReadingData: {
        setState(State::ReadingData);
        if (body.size() < MacLength) {
            abort(MessageError, outcome);
            return false;
        }
        const QByteArray plain = m_crypto->RC4_Decrypt(body);
        if (!VerifyMAC(plain)) {
            abort(DataMacError, outcome);
            return false;
        }
        outcome->data.append(plain.mid(MacLength));
        return true;
    }
    case State::Aborted:
    case State::Idle:
        return false;
    }
    return false;
}

SSLv2::Outcome SSLv2::receive(const QByteArray& bytes)
{
    Outcome outcome;
    if (!m_crypto || m_state == State::Aborted || m_state == State::Idle)
        return outcome;
    m_reader.append(bytes);
    QByteArray body;
    for (;;) {
        const auto result = m_reader.next(&body);
        if (result == Ssl2RecordReader::Result::NeedMore)
            break;
        if (result == Ssl2RecordReader::Result::Malformed) {
            abort(MessageError, &outcome);
            break;
        }
        if (!handleRecord(body, &outcome))
            break;
    }
    if (m_state == State::ReadingData)
        setState(State::Established);
    return outcome;
}

void SSLv2::reset()
{
    m_crypto.reset();
    m_reader.clear();
    m_challenge.clear();
    m_connectionId.clear();
    m_masterKey.clear();
    m_readKey.clear();
    m_writeKey.clear();
    m_clientSequence = 0;
    m_serverSequence = 0;
    setState(State::Idle);
}
