#pragma once

#include <QHostAddress>
#include <QString>

/// One address the watcher keeps, or none: not seen yet, or no public IPv6 address. What stands for none in text
/// lives here only: "0" (or nothing) in the store, "000.000.000.000" for an IPv4 address and "none" for IPv6 where
/// it is shown.
///
/// An address keeps the text it was found or stored with and compares by it exactly: a stored address written
/// otherwise ("2001:DB8::1" for "2001:db8::1") differs from the one found, and the store gets the found text.
class WatchedAddress
{
public:
    enum class Family
    {
        IPv4,
        IPv6,
    };

    WatchedAddress() = default; ///< none
    /// The address @p text names; none for the texts that stand for none ("", "0", "none", "000.000.000.000").
    static WatchedAddress fromText(const QString& text);

    bool isNone() const { return m_text.isEmpty(); }
    QHostAddress address() const { return QHostAddress(m_text); }
    /// The address's text; "" for none.
    const QString& text() const { return m_text; }
    /// As the store keeps it: "0" for none.
    QString storedText() const;
    /// As the windows and the notices show it: "000.000.000.000" or "none" for none.
    QString shownText(Family family) const;

    bool operator==(const WatchedAddress&) const = default;

private:
    explicit WatchedAddress(QString text) : m_text(std::move(text)) {}

    QString m_text;
};
