#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

/// The system resolver's blocking look-ups of IPv4 addresses and host names (hosts file, DNS, whatever the system
/// is set up to ask).
namespace HostNames {

using IPv4 = std::array<std::uint8_t, 4>;

/// The name the resolver gives @p address (network order), as it wrote it; nothing and @p error when it knows none.
std::optional<QByteArray> nameOf(const IPv4& address, QString* error);

/// The first IPv4 address the resolver gives @p name (which holds no NUL); nothing and @p error (empty when the
/// answer held no IPv4 address) when it knows none.
std::optional<IPv4> addressOf(const QByteArray& name, QString* error);

} // namespace HostNames
