#include "discovery/StunSource.h"

StunSource::StunSource(QString host, quint16 port, QString uri, QObject* parent)
    : AddressSource(std::move(uri), parent)
    , m_host(std::move(host))
    , m_port(port)
{
}

StunSource::~StunSource() = default;

void StunSource::start(int timeoutMs)
{
    Q_UNUSED(timeoutMs);
    QMetaObject::invokeMethod(this, [this] { emit failed(QStringLiteral("not implemented")); }, Qt::QueuedConnection);
}

void StunSource::cancel()
{
}
