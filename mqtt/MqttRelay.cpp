#include "mqtt/MqttRelay.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <utility>

namespace {
constexpr qsizetype MaxHandshakeBytes = 1024; // a greeting (2 + 255 methods) and a request (at most 262 bytes)
constexpr qint64 ReadChunkBytes = 64 * 1024;  // what Qt holds from the broker between two reads
constexpr int LingerMs = 5000;
constexpr char SocksVersion = 5;
constexpr char NoAuthentication = 0;
constexpr char CommandConnect = 1;
} // namespace

MqttRelay::MqttRelay(QString host, quint16 port, QString brokerText, QObject* parent)
    : QObject(parent), m_host(std::move(host)), m_port(port), m_brokerText(std::move(brokerText))
{
    m_server.setMaxPendingConnections(1);
    connect(&m_server, &QTcpServer::newConnection, this, &MqttRelay::accept);
    m_broker.setReadBufferSize(ReadChunkBytes);
    connect(&m_broker, &QTcpSocket::connected, this, &MqttRelay::brokerConnected);
    connect(&m_broker, &QTcpSocket::readyRead, this, &MqttRelay::readBroker);
    connect(&m_broker, &QTcpSocket::errorOccurred, this, &MqttRelay::brokerFailed);
    connect(&m_broker, &QTcpSocket::disconnected, this, [this] {
        if (m_client)
            m_client->disconnectFromHost(); // after what is still to be written to it
    });
    m_linger.setSingleShot(true);
    connect(&m_linger, &QTimer::timeout, this, &QObject::deleteLater);
}

bool MqttRelay::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

void MqttRelay::windDown()
{
    // Still deleted with the application when it ends first (--once), as its other objects are.
    setParent(QCoreApplication::instance());
    if (m_state != State::Relaying || m_broker.state() == QAbstractSocket::UnconnectedState)
        return deleteLater();
    connect(&m_broker, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    m_linger.start(LingerMs);
}

void MqttRelay::accept()
{
    QTcpSocket* client = m_server.nextPendingConnection();
    m_server.close(); // one connection: the library's
    if (!client || m_client)
        return;
    m_client = client;
    connect(m_client, &QTcpSocket::readyRead, this, &MqttRelay::readClient);
    connect(m_client, &QTcpSocket::disconnected, this, [this] { m_broker.disconnectFromHost(); });
    readClient();
}

void MqttRelay::readClient()
{
    if (m_state == State::Relaying)
        return (void)m_broker.write(m_client->readAll());
    if (m_state == State::Closed)
        return (void)m_client->readAll();
    m_pending += m_client->read(MaxHandshakeBytes + 1 - m_pending.size());
    const auto at = [this](qsizetype i) { return quint8(m_pending.at(i)); };
    if (m_state == State::Greeting) {
        // RFC 1928 section 3: version, the number of methods, the methods.
        if (m_pending.size() < 2 || m_pending.size() < 2 + at(1))
            return;
        if (m_pending.at(0) != SocksVersion || !m_pending.mid(2, at(1)).contains(NoAuthentication))
            return fail(QStringLiteral("Error: No connection to the MQTT broker %1 (the client's proxy greeting is "
                                       "not understood)")
                            .arg(m_brokerText));
        static const char chosen[] = {SocksVersion, NoAuthentication};
        m_client->write(chosen, sizeof chosen);
        m_pending.remove(0, 2 + at(1));
        m_state = State::Request;
    }
    if (m_state == State::Request) {
        // Section 4: version, command, reserved, address type, the address, the port. The address is the broker
        // this relay was made for; the one in the request is not needed.
        if (m_pending.size() < 5)
            return;
        const qsizetype length = at(3) == 1 ? 10 : at(3) == 4 ? 22 : at(3) == 3 ? 7 + at(4) : 0;
        if (length == 0 || m_pending.at(0) != SocksVersion || m_pending.at(1) != CommandConnect)
            return fail(QStringLiteral("Error: No connection to the MQTT broker %1 (the client's proxy request is "
                                       "not understood)")
                            .arg(m_brokerText));
        if (m_pending.size() < length)
            return;
        m_pending.remove(0, length);
        m_state = State::Connecting;
        m_broker.connectToHost(m_host, m_port);
    }
}

void MqttRelay::brokerConnected()
{
    // Section 6: succeeded; the bound address is of no use to the library.
    static const char succeeded[] = {SocksVersion, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    m_client->write(succeeded, sizeof succeeded);
    m_state = State::Relaying;
    if (!m_pending.isEmpty())
        m_broker.write(std::exchange(m_pending, {}));
    readClient(); // what was left unread while connecting
}

void MqttRelay::readBroker()
{
    while (m_state == State::Relaying && m_broker.bytesAvailable() > 0) {
        const QByteArray data = m_broker.read(ReadChunkBytes);
        m_received += data.size();
        if (m_received > MaxIncomingBytes) {
            return fail(QStringLiteral("Error: The MQTT broker %1 sent more than %2 MiB that nothing asked for: "
                                       "connection closed")
                            .arg(m_brokerText)
                            .arg(MaxIncomingBytes / (1024 * 1024)));
        }
        m_client->write(data);
    }
}

void MqttRelay::brokerFailed()
{
    // Once relaying, the library sees the connection close and tells it itself.
    if (m_state != State::Connecting)
        return;
    const QString name = m_host.toLower();
    const bool localhost = name == u"localhost" || name.endsWith(u".localhost");
    if (m_broker.error() == QAbstractSocket::HostNotFoundError && localhost && !std::exchange(m_loopback, true)) {
        // RFC 6761 6.3: a localhost name is the loopback address, also where the look-up knows no address for it
        // (getaddrinfo with AI_ADDRCONFIG on a machine whose only interface is the loopback one).
        return m_broker.connectToHost(QHostAddress::LocalHost, m_port);
    }
    if (m_broker.error() == QAbstractSocket::HostNotFoundError)
        return fail(QStringLiteral("Error: The MQTT broker's name %1 was not found").arg(m_host));
    fail(QStringLiteral("Error: No connection to the MQTT broker %1 (%2)").arg(m_brokerText, m_broker.errorString()));
}

void MqttRelay::fail(const QString& status)
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    m_broker.abort();
    if (m_client)
        m_client->abort();
    emit failed(status);
}
