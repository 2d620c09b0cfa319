#pragma once

#include <QHostAddress>
#include <QStringView>

#include <optional>

/// IP addresses written as text by someone else (a server's body, a router's answer), read strictly. QHostAddress
/// alone also takes what inet_aton takes: "100.64" is 100.0.0.64, "1" is 0.0.0.1, and parts in octal or hex.
namespace AddressText {

/// How a dotted-quad part with a leading zero ("093") is read.
enum class LeadingZeros
{
    Refused, ///< only "0" itself may start with a zero
    Decimal, ///< read as decimal: "093" is 93 (never octal)
};

/// The address @p text names when it is exactly a dotted quad (four decimal parts of one to three digits, each 0 to
/// 255, nothing before, between or after them) or an IPv6 address (hex digits and colons, at most a dotted quad as
/// its last part, no scope); nothing for any other text.
std::optional<QHostAddress> parse(QStringView text, LeadingZeros zeros = LeadingZeros::Refused);

} // namespace AddressText
