#include "nettools/NetTools.h"

NetTools::~NetTools()
{
    unload();
}

void NetTools::convertAddressToName(const QString& address, Result done)
{
    m_converter.convert(DnsConverter::Direction::AddressToName, address, std::move(done));
}

void NetTools::convertNameToAddress(const QString& name, Result done)
{
    m_converter.convert(DnsConverter::Direction::NameToAddress, name, std::move(done));
}

void NetTools::showWhois(const QString& query)
{
    WhoisQuery = query;
    if (!m_whois) {
        // A window of its own, without owner; closing it unloads it, so the next "Whois" asks again.
        m_whois = new frmWhois;
        m_whois->setAttribute(Qt::WA_DeleteOnClose);
    }
    // Every "Whois" asks again, in the window that is open: the answer shown is always the last query's.
    m_whois->Form_Load(WhoisQuery);
    m_whois->show();
    m_whois->raise();
    m_whois->activateWindow();
}

void NetTools::unload()
{
    m_converter.cancelAll();
    delete m_whois.data();
}
