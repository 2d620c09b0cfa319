#pragma once

#include "discovery/AddressSource.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

/// A source for @p uri: http://, https://, dns://SERVER[:PORT]/NAME?type=A|AAAA|TXT[;class=IN|CH] (';' or '&'),
/// stun:HOST[:PORT]. nullptr and @p error (a sentence saying what is wrong) when the URI is malformed.
std::unique_ptr<AddressSource> makeAddressSource(const QString& uri, QString* error, QObject* parent = nullptr);
[[nodiscard]] bool checkSourceUri(const QString& uri, QString* error);
QStringList defaultAddressSources();  // IPv4 list, in order
QStringList defaultAddress6Sources(); // IPv6 list

/// The vendor's address service for the product website @p website (a bare domain).
QString vendorAddressServiceUrl(const QString& website);

/// The list from the environment: VISTREL_ADDRESS_SOURCES (URIs separated by white space), else
/// VISTREL_ADDRESS_URL as a list of that one URL; nothing when neither is set.
std::optional<QStringList> addressSourcesFromEnvironment();

/// @p uri as it may be shown and logged: a password in the user info becomes "***".
QString displayedSourceUri(const QString& uri);

/// The server that @p uri asks, as "host" or "host:port" in lower case (user information left out): sources
/// with the same server are one voice in an agreement, whatever their paths or schemes.
QString sourceServer(const QString& uri);
