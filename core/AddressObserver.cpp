#include "core/AddressObserver.h"

#include "core/AddressSourceSettings.h"
#include "platform/LocalAddress.h"

AddressObserver::AddressObserver(Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_ipv6Route(&hasIPv6Route)
{
    connect(&m_lookup4, &AddressLookup::finished, this, [this](const LookupResult& result) {
        m_result4 = result;
        familyDone();
    });
    connect(&m_lookup6, &AddressLookup::finished, this, [this](const LookupResult& result) {
        m_result6 = result;
        familyDone();
    });
}

void AddressObserver::start()
{
    const AddressSourceSettings sources(m_settings);
    AddressLookup::Config config;
    config.quorum = sources.quorum();
    config.sources = sources.ipv4Sources();
    config.family = QAbstractSocket::IPv4Protocol;
    AddressLookup::Config config6 = config;
    config6.sources = sources.ipv6Sources();
    config6.family = QAbstractSocket::IPv6Protocol;
    m_result4.reset();
    m_result6.reset();
    // No IPv6 route: asking would only wait for the sources to time out.
    if (config6.sources.isEmpty() || !m_ipv6Route()) {
        m_result6 = LookupResult{LookupResult::Outcome::NoSources, QString(), {}};
    } else {
        m_lookup6.start(config6);
    }
    m_lookup4.start(config);
}

void AddressObserver::cancel()
{
    m_lookup4.cancel();
    m_lookup6.cancel();
}

void AddressObserver::familyDone()
{
    if (m_result4 && m_result6)
        emit observed({*m_result4, *m_result6});
}
