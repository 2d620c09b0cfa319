#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

/// The external address in an address service body: the body trimmed of surrounding white space
/// when that is an IPv4 or IPv6 address. A body that holds "error" in any letter case, is empty, is
/// longer than 256 bytes, or is anything else (an outage page, a captive portal) yields nothing.
std::optional<QString> externalAddressFromBody(const QByteArray& body);

/// Whether @p text is four decimal parts of one to three digits, each 0 to 255, joined by dots.
bool isDottedQuad(const QString& text);

/// Whether @p text is a dotted-quad IPv4 address (four decimal parts 0 to 255) or an IPv6 address.
bool isIpAddressText(const QString& text);

/// The address that @p text (isIpAddressText) names; dotted-quad parts are decimal even with leading zeros
/// ("093.0.113.9" is 93.0.113.9), which QHostAddress alone refuses. A null address for other text.
QHostAddress hostAddressFromText(const QString& text);
