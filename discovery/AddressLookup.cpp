#include "discovery/AddressLookup.h"

AddressLookup::AddressLookup(QObject* parent)
    : QObject(parent)
{
}

AddressLookup::~AddressLookup() = default;

void AddressLookup::start(const Config& config)
{
    m_config = config;
    m_running = true;
    QMetaObject::invokeMethod(this, [this] { m_running = false; emit finished(LookupResult{}); }, Qt::QueuedConnection);
}

bool AddressLookup::isRunning() const
{
    return m_running;
}

void AddressLookup::cancel()
{
    m_running = false;
}
