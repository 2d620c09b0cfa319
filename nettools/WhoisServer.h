#pragma once

#include <QString>

/// Where WHOIS questions go first: IANA's server on port 43, unless the environment variable
/// VISTREL_WHOIS_SERVER names another as "host" or "host:port" (an IPv6 address as "[addr]:port").
struct WhoisServer
{
    static constexpr const char* DefaultHost = "whois.iana.org"; // which refers each question on
    static constexpr quint16 DefaultPort = 43;
    static constexpr const char* EnvironmentVariable = "VISTREL_WHOIS_SERVER";

    QString host = QLatin1String(DefaultHost);
    quint16 port = DefaultPort;

    /// Reads "host" or "host:port". False and @p error for an empty host or a port that is not a whole
    /// number from 1 to 65535.
    [[nodiscard]] static bool parse(const QString& text, WhoisServer* server, QString* error);
    /// The server the environment names, or the default one when the variable is unset or empty.
    [[nodiscard]] static bool fromEnvironment(WhoisServer* server, QString* error);
};
