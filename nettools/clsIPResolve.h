#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

/// Converts between IPv4 addresses and host names with the system resolver (getaddrinfo for names,
/// getnameinfo for addresses). One object per conversion; each call blocks until the resolver answers,
/// so callers on the window's thread run it elsewhere (see DnsConverter). No call ever throws: every
/// failure is the empty text.
class clsIPResolve
{
public:
    /// Longest host name handed back; a longer official name is cut here.
    static constexpr int MaxHostNameLength = 255;

    clsIPResolve() = default;

    /// The host name of the dotted IPv4 address @p strIP, or the empty text when @p strIP is not
    /// exactly four parts of 0 to 255 or the resolver knows no name for it. No look-up is made for
    /// text that is not an address.
    QString AddressToName(const QString& strIP) const;
    /// The first IPv4 address of @p strName in dotted decimal, or the empty text. The text goes to the
    /// resolver as typed, with no check of its form.
    QString NameToAddress(const QString& strName) const;

    /// True when @p text is four parts separated by ".", each one to three decimal digits with a
    /// value from 0 to 255. Fewer or more than four parts, empty parts, signs, blanks and any other
    /// characters make it false.
    static bool IsIPAddress(const QString& text);
    /// The four bytes of a text IsIPAddress accepts, first part first (network order).
    static std::optional<std::array<std::uint8_t, 4>> IPToLong(const QString& text);
    /// @p name cut at its first NUL and to at most MaxHostNameLength bytes.
    static QByteArray TrimAtNull(const QByteArray& name);

private:
    static QString LookupName(const QString& strIP);
    static QString LookupAddress(const QString& strName);
};
