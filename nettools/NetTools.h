#pragma once

#include "app/Form1Hooks.h"
#include "nettools/DnsConverter.h"
#include "nettools/frmWhois.h"

#include <QPointer>

/// The network tools behind the main window: the DNS converter's two conversions and the WHOIS
/// window, which exists from its first "Whois" until the user closes it.
class NetTools : public NetToolsHooks
{
public:
    NetTools() = default;
    /// For tests that hold look-ups back (see DnsConverter).
    explicit NetTools(DnsConverter::Lookup lookup) : m_converter(std::move(lookup)) {}
    ~NetTools() override;

    void convertAddressToName(const QString& address, Result done) override;
    void convertNameToAddress(const QString& name, Result done) override;
    /// Remembers @p query; loads the WHOIS window when it is not open, has it ask the server for @p query (an
    /// exchange under way for an earlier query is dropped), then shows it and brings it forward.
    void showWhois(const QString& query) override;
    void unload() override;

    /// The open WHOIS window, or null.
    frmWhois* whoisWindow() const { return m_whois; }

private:
    DnsConverter m_converter;
    QString WhoisQuery;
    QPointer<frmWhois> m_whois;
};
