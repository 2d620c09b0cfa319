#include "discovery/DnsSource.h"

DnsSource::DnsSource(const QHostAddress& server, quint16 port, const DnsQuestion& question, QString uri,
                     QObject* parent)
    : AddressSource(std::move(uri), parent)
    , m_server(server)
    , m_port(port)
    , m_question(question)
{
}

DnsSource::~DnsSource() = default;

void DnsSource::start(int timeoutMs)
{
    Q_UNUSED(timeoutMs);
    QMetaObject::invokeMethod(this, [this] { emit failed(QStringLiteral("not implemented")); }, Qt::QueuedConnection);
}

void DnsSource::cancel()
{
}
