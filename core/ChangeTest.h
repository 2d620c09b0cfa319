#pragma once

#include "core/SettingsKeys.h"

#include <QList>
#include <QString>

#include <utility>

class Settings;

/// One address that a lookup found changed.
struct AddressChange
{
    QString name; // "Internal", "External" or "External IPv6"
    QString before;
    QString after;
};

/// The addresses seen last ("0" until one is seen), and the test whether a lookup's addresses
/// differ from them. Every rule about "0" (nothing remembered yet) and "none" (no IPv6) lives here.
class ChangeTest
{
public:
    /// What a comparison found: one entry for each address that changed (internal, external, IPv6 in this order).
    /// An address remembered as "0" was never seen: taking its first value is no change.
    struct Comparison
    {
        QList<AddressChange> changes;

        bool changed() const { return !changes.isEmpty(); }
        /// The address @p name held before this comparison: @p now when it did not change.
        QString before(const QString& name, const QString& now) const;
    };

    explicit ChangeTest(Settings& settings);

    /// Takes the remembered addresses from the store.
    void load();

    /// Compares with the remembered addresses (exactly, case-sensitive), then remembers them until save().
    /// The public IPv6 address is compared only when @p external6 holds one: "none" or "" (no IPv6 route, no
    /// sources, no agreement) is neither a change nor remembered, so an address that comes back unchanged
    /// notifies nobody.
    Comparison compareAndRemember(const QString& external, const QString& internal, const QString& external6);

    /// Stores the addresses remembered since the last save together with @p with (what a change owes) in one
    /// write; @p with goes first where the store writes one value after another. Why they did not reach the
    /// store; empty when they did.
    QString save(const QList<std::pair<Key, QString>>& with = {});

    const QString& oldExternal() const { return m_oldExternal; }
    const QString& oldExternalIPv6() const { return m_oldExternal6; }
    const QString& oldInternal() const { return m_oldInternal; }

private:
    Settings& m_settings;
    QString m_oldInternal = QStringLiteral("0");
    QString m_oldExternal = QStringLiteral("0");
    QString m_oldExternal6 = QStringLiteral("0");
    bool m_unsaved4 = false; // internal and external
    bool m_unsaved6 = false;
};
