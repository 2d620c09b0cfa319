#include "discovery/AddressSource.h"

AddressSource::AddressSource(QString uri, QObject* parent) : QObject(parent), m_uri(std::move(uri)) {}

const QString& AddressSource::uri() const
{
    return m_uri;
}
