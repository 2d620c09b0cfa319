#pragma once

#include "core/SettingsKeys.h"

#include <QList>
#include <QString>

#include <utility>

class Settings;

/// The addresses seen last ("0" until one is seen), and the test whether a lookup's addresses
/// differ from them.
class ChangeTest
{
public:
    /// What a comparison found.
    struct Comparison
    {
        bool changed = false;
    };

    explicit ChangeTest(Settings& settings);

    /// Takes the remembered addresses from the store.
    void load();

    /// Compares with the remembered addresses (exactly, case-sensitive; a remembered "0" never counts
    /// as a change), then remembers both until save(). Whether either address changed.
    Comparison compareAndRemember(const QString& external, const QString& internal);

    /// The same for the public IPv6 address (`OldExternalIPv6`). "none" (no IPv6 route or no sources) is
    /// neither a change nor remembered, so an address that comes back unchanged notifies nobody.
    Comparison compareAndRememberIPv6(const QString& external6);

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
