#include "discovery/AddressSource.h"

AddressSource::AddressSource(QString uri, QObject* parent) : QObject(parent), m_uri(std::move(uri)) {}

const QString& AddressSource::uri() const
{
    return m_uri;
}

void AddressSource::abandonQuery()
{
    ++m_generation;
    m_running = false;
}

void AddressSource::finishLater(bool ok, const QHostAddress& address, const QString& reason)
{
    if (!m_running)
        return;
    m_running = false;
    haltQuery();
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, ok, address, reason] {
            if (generation != m_generation)
                return;
            releaseQuery();
            if (ok)
                emit answered(address);
            else
                emit failed(reason);
        },
        Qt::QueuedConnection);
}
