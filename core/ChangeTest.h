#pragma once

#include "core/SettingsKeys.h"
#include "core/WatchedAddress.h"

#include <QList>
#include <QString>

#include <utility>

class Settings;

/// One address that a lookup found changed, as the log, the history and the desktop notice show it.
struct AddressChange
{
    QString name; // "Internal", "External", "External IPv6" or "IPv6 prefix"
    QString before;
    QString after;
};

/// The addresses seen last (none until one is seen), and the test whether a lookup's addresses differ from them.
class ChangeTest
{
public:
    /// What a comparison found: one entry for each address that changed (internal, external, IPv6, the IPv6 prefix in
    /// this order).
    /// An address never seen before is no change.
    struct Comparison
    {
        QList<AddressChange> changes;
        /// The addresses before this comparison where they changed; none where they did not.
        WatchedAddress internalBefore, externalBefore, external6Before, prefix6Before;

        bool changed() const { return !changes.isEmpty(); }
    };

    explicit ChangeTest(Settings& settings);

    /// Takes the remembered addresses from the store.
    void load();

    /// Compares with the remembered addresses (exactly, case-sensitive), then remembers them until save().
    /// The public IPv6 address is compared only when @p external6 holds one: none (no IPv6 route, no sources, no
    /// agreement) is neither a change nor remembered, so an address that comes back unchanged notifies nobody.
    /// When @p external6Temporary, the public IPv6 address is one of the machine's temporary addresses: it is
    /// remembered, but its rotation is no change. The prefix of the machine's stable IPv6 address, @p prefix6, is
    /// compared the way the public IPv6 address is: a new prefix is the change a renumbering makes.
    Comparison compareAndRemember(const WatchedAddress& external, const WatchedAddress& internal,
                                  const WatchedAddress& external6, const WatchedAddress& prefix6 = {},
                                  bool external6Temporary = false);

    /// Stores the addresses remembered since the last save together with @p with (what a change owes) in one
    /// write; @p with goes first where the store writes one value after another. Why they did not reach the
    /// store; empty when they did.
    QString save(const QList<std::pair<Key, QString>>& with = {});

    const WatchedAddress& oldExternal() const { return m_oldExternal; }
    const WatchedAddress& oldExternalIPv6() const { return m_oldExternal6; }
    const WatchedAddress& oldInternal() const { return m_oldInternal; }
    const WatchedAddress& oldIPv6Prefix() const { return m_oldPrefix6; }

private:
    Settings& m_settings;
    WatchedAddress m_oldInternal;
    WatchedAddress m_oldExternal;
    WatchedAddress m_oldExternal6;
    WatchedAddress m_oldPrefix6;
    bool m_unsaved4 = false; // internal and external
    bool m_unsaved6 = false;
};
