#pragma once

#include "nettools/DnsConverter.h"
#include "nettools/frmWhois.h"

#include <QPointer>
#include <QString>

#include <functional>

/// The network tools behind the main window: the DNS converter's two conversions and the WHOIS
/// window, which exists from its first "Whois" until the user closes it.
class NetTools
{
public:
    /// Gets the answer, or the empty text. May be called later.
    using Result = std::function<void(const QString&)>;

    NetTools() = default;
    /// For tests that hold look-ups back (see DnsConverter).
    explicit NetTools(DnsConverter::Lookup lookup) : m_converter(std::move(lookup)) {}
    ~NetTools();

    /// Host name of an IPv4 address.
    void convertAddressToName(const QString& address, Result done);
    /// First IPv4 address of a host name.
    void convertNameToAddress(const QString& name, Result done);
    /// Remembers @p query; loads the WHOIS window when it is not open, has it ask the server for @p query (an
    /// exchange under way for an earlier query is dropped), then shows it and brings it forward.
    void showWhois(const QString& query);
    /// Closes the WHOIS window at shutdown.
    void unload();

    /// The open WHOIS window, or null.
    frmWhois* whoisWindow() const { return m_whois; }

private:
    DnsConverter m_converter;
    QString WhoisQuery;
    QPointer<frmWhois> m_whois;
};
